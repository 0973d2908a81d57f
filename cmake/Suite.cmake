# Shared build rules of the suite.
#
# Every program lives in a folder of its own, in the build tree under
# apps/<Name>/ and installed under <prefix>/<libdir>/velmor/<Name>/, with
# its dictionaries beside it in Language/Dictionaries/ and a link to it in
# <prefix>/bin/. The programs find their dictionaries through their own
# (link-resolved) location, so the folder must stay whole.
#
# The layout of an installation, relative to its prefix: <libdir> is lib
# (lib/<multiarch> for the prefix /usr, as Debian has it). A user install
# (~/.local) puts the codec library in lib/, the user library folder, and
# the GStreamer plug-in where GStreamer looks for a user's plug-ins; a
# system install (/usr, the package) keeps the codec library private to
# the suite, beside the kits library, and puts the plug-in in GStreamer's
# own folder. A program, the add-on and the plug-in find the installation
# they belong to from their own file (codec/Installation.h), so the same
# build works under any prefix of the same layout.
include(GNUInstallDirs)
set(SUITE_PLAYER ApePlayer)
set(SUITE_APPS_DIR ${CMAKE_BINARY_DIR}/apps)
set(SUITE_DICTIONARY_SOURCE_DIR ${CMAKE_SOURCE_DIR}/dictionaries)
set(SUITE_INSTALL_APP_DIR ${CMAKE_INSTALL_LIBDIR}/velmor)
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(suite_codec_dir ${SUITE_INSTALL_APP_DIR})
  set(suite_gst_dir ${CMAKE_INSTALL_LIBDIR}/gstreamer-1.0)
else()
  set(suite_codec_dir lib)
  set(suite_gst_dir share/gstreamer-1.0/plugins)
endif()
set(SUITE_INSTALL_CODEC_DIR ${suite_codec_dir} CACHE STRING
  "Where libMonkeysAudio.so is installed, relative to the prefix")
set(SUITE_INSTALL_GST_PLUGIN_DIR ${suite_gst_dir} CACHE STRING
  "Where the GStreamer plug-in is installed, relative to the prefix")
# The layout as the code that finds an installation sees it.
set(SUITE_LAYOUT_DEFINITIONS
  SUITE_INSTALL_APP_DIR="${SUITE_INSTALL_APP_DIR}" SUITE_INSTALL_CODEC_DIR="${SUITE_INSTALL_CODEC_DIR}"
  SUITE_INSTALL_GST_PLUGIN_DIR="${SUITE_INSTALL_GST_PLUGIN_DIR}" SUITE_PLAYER="${SUITE_PLAYER}")
set(SUITE_LANGUAGES en ja)
# The player (host/) loads the add-ons in this folder beside itself.
set(SUITE_PLAYER_ADDONS_DIR ${SUITE_APPS_DIR}/${SUITE_PLAYER}/add-ons)
set(SUITE_INSTALL_PLAYER_ADDONS_DIR ${SUITE_INSTALL_APP_DIR}/${SUITE_PLAYER}/add-ons)

# The codec library and the programs are compiled the way users run them,
# whatever the build type the tests use (-g may stay): the user install of
# any build is the one the benchmark measures.
option(SUITE_FAST_CODE "Compile the codec library and the programs with -O3 whatever the build type" ON)
function(suite_fast_code)
  if(SUITE_FAST_CODE)
    foreach(target ${ARGN})
      target_compile_options(${target} PRIVATE -O3)
    endforeach()
  endif()
endfunction()

# The command-line programs and the codec library carry their own copy of
# the C++ runtime: loading the shared one costs about a millisecond a
# process here, as much as decoding a short file. The library keeps its
# copy to itself (its export map), and nothing of the runtime crosses
# between a program and the library: no exception leaves an entry point,
# and the interface's objects are made and destroyed inside the library.
# The sanitizer builds keep the shared runtime, where the sanitizers
# watch every allocation.
option(SUITE_STATIC_CXX_RUNTIME "Link the C++ runtime into the command-line programs and the codec library" ON)
function(suite_static_cxx_runtime)
  if(SUITE_STATIC_CXX_RUNTIME AND NOT SUITE_SANITIZE)
    foreach(target ${ARGN})
      target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
    endforeach()
  endif()
endfunction()

# suite_program(<target> [NO_INSTALL] DICTIONARIES <base>...
#               [DICTIONARY_DIR <folder>])
# A dictionary is taken from DICTIONARY_DIR when it is there, else from
# dictionaries/; test programs keep theirs beside their tests.
function(suite_program target)
  cmake_parse_arguments(SP "NO_INSTALL" "DICTIONARY_DIR" "DICTIONARIES" ${ARGN})
  set(dir ${SUITE_APPS_DIR}/${target})
  if(NOT SP_NO_INSTALL)
    suite_fast_code(${target})
  endif()
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${dir})
  set(outputs)
  set(sources)
  foreach(base ${SP_DICTIONARIES})
    foreach(lang ${SUITE_LANGUAGES})
      set(src ${SUITE_DICTIONARY_SOURCE_DIR}/${base}.${lang})
      if(SP_DICTIONARY_DIR AND EXISTS ${SP_DICTIONARY_DIR}/${base}.${lang})
        set(src ${SP_DICTIONARY_DIR}/${base}.${lang})
      endif()
      set(out ${dir}/Language/Dictionaries/${base}.${lang})
      add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E copy ${src} ${out}
        DEPENDS ${src} VERBATIM)
      list(APPEND outputs ${out})
      list(APPEND sources ${src})
    endforeach()
  endforeach()
  if(outputs)
    add_custom_target(${target}_dictionaries ALL DEPENDS ${outputs})
    add_dependencies(${target} ${target}_dictionaries)
  endif()
  if(NOT SP_NO_INSTALL)
    install(TARGETS ${target} RUNTIME DESTINATION ${SUITE_INSTALL_APP_DIR}/${target})
    if(sources)
      install(FILES ${sources} DESTINATION ${SUITE_INSTALL_APP_DIR}/${target}/Language/Dictionaries)
    endif()
    install(CODE "
      set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
      file(MAKE_DIRECTORY \"\${bin}\")
      file(REMOVE \"\${bin}/${target}\")
      file(CREATE_LINK \"../${SUITE_INSTALL_APP_DIR}/${target}/${target}\" \"\${bin}/${target}\" SYMBOLIC)
      message(STATUS \"Linking: \${bin}/${target}\")")
  endif()
endfunction()

include(SuiteResources)
include(SuiteTesting)
include(SuiteManual)
