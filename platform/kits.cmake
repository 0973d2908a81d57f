# The kits of the platform layer: the sources of each, the kits it builds
# on (USES) and the kits whose private headers it reads (PRIVATE). Each kit
# keeps its public headers in platform/<kit>/ and those only its own code
# and the kits named here may read in platform/<kit>/private/.
# platform/CMakeLists.txt makes a library of each kit; the fuzz projects
# under tests/ build the same lists with clang.
set(PLATFORM_CORE_KITS support kernel storage textencoding app locale)
set(PLATFORM_KITS_WITH_PRIVATE kernel storage app interface)

set(platform_support_SOURCES Errors.cpp Geometry.cpp String.cpp)
set(platform_support_USES)

set(platform_kernel_SOURCES Debug.cpp KernelTime.cpp Ports.cpp Threads.cpp image.cpp)
# Ports keep their names in files (storage's whole writes and file
# replacement).
set(platform_kernel_USES support storage)

set(platform_storage_SOURCES
  AppFileInfo.cpp Entry.cpp EntryRef.cpp File.cpp FileIO.cpp FindDirectory.cpp MimeType.cpp Node.cpp
  NodeInfo.cpp Path.cpp ReplacementFile.cpp Resources.cpp Statable.cpp)
# find_path finds an image's file among the kernel kit's images; the two
# kits lean on each other (the ports' names are storage's files).
set(platform_storage_USES kernel support)

set(platform_textencoding_SOURCES UTF8.cpp)
set(platform_textencoding_USES support)

set(platform_app_SOURCES
  Application.cpp Archivable.cpp Handler.cpp Looper.cpp Message.cpp MessageFilter.cpp
  Messenger.cpp Roster.cpp WindowList.cpp)
set(platform_app_USES kernel storage support)
set(platform_app_PRIVATE kernel)

# The locale kit tells every window of the process of a new language
# through the app kit's window list.
set(platform_locale_SOURCES Locale.cpp)
set(platform_locale_USES app storage textencoding support)
set(platform_locale_PRIVATE app)

# The interface kit puts each window on the app kit's window list.
set(platform_interface_SOURCES
  Alert.cpp Bitmap.cpp Box.cpp Button.cpp CheckBox.cpp Control.cpp ControlLook.cpp Display.cpp
  FilePanel.cpp Font.cpp GraphicsDefs.cpp IconStorage.cpp Invoker.cpp Menu.cpp MenuField.cpp
  MenuWindow.cpp Screen.cpp StringView.cpp Surface.cpp TextControl.cpp View.cpp ViewHost.cpp Window.cpp)
set(platform_interface_USES app kernel storage textencoding support)
set(platform_interface_PRIVATE app)

# The sources of the kits named, as absolute paths, in out.
function(platform_kit_sources out)
  set(all)
  foreach(kit ${ARGN})
    list(TRANSFORM platform_${kit}_SOURCES PREPEND ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${kit}/
      OUTPUT_VARIABLE sources)
    list(APPEND all ${sources})
  endforeach()
  set(${out} ${all} PARENT_SCOPE)
endfunction()

# The include folders of the kits named, public and private, in out.
function(platform_kit_includes out)
  set(all)
  foreach(kit ${ARGN})
    list(APPEND all ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${kit})
    if(kit IN_LIST PLATFORM_KITS_WITH_PRIVATE)
      list(APPEND all ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${kit}/private)
    endif()
  endforeach()
  set(${out} ${all} PARENT_SCOPE)
endfunction()
