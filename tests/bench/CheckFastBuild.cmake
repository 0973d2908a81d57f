# The installed codec library is the fast build whatever the build type:
# every compilation unit of it says -O3 last among its -O options (GCC
# records its options in the debug information). Skipped (77) for builds
# without debug information.
# usage: cmake -DLIB=<installed libMonkeysAudio.so> -P CheckFastBuild.cmake
find_program(READELF readelf)
if(NOT READELF)
  message("no readelf")
  cmake_language(EXIT 77)
endif()
execute_process(COMMAND ${READELF} --debug-dump=info ${LIB} OUTPUT_VARIABLE info ERROR_QUIET)
string(REGEX MATCHALL "DW_AT_producer[^\n]*" producers "${info}")
if(NOT producers)
  message("no debug information in ${LIB}")
  cmake_language(EXIT 77)
endif()
foreach(p ${producers})
  if(NOT p MATCHES "C\\+\\+")
    continue()  # the C runtime's own objects
  endif()
  string(REGEX MATCHALL " -O[0-3sgz]?" levels "${p}")
  list(GET levels -1 last)
  if(NOT last STREQUAL " -O3")
    message(FATAL_ERROR "${LIB} has code built with${last}: ${p}")
  endif()
endforeach()
