# Fails unless the library exports exactly the eleven entry points and the
# four stream entries.
# cmake -DLIB=<path of libMonkeysAudio.so> -P CheckExports.cmake
execute_process(COMMAND nm -D --defined-only ${LIB} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${out}")
set(names)
foreach(line ${lines})
  string(REGEX REPLACE "^.* " "" name "${line}")
  list(APPEND names ${name})
endforeach()
list(SORT names)
set(expected CompressFile CreateIAPEDecompress DecompressFile VerifyFile CompressStream
  CreateIAPEDecompressStream DecompressStream VerifyStream create_capetag_1
  create_capetag_2 destroy_capetag lib_monkeys_audio_components lib_monkeys_audio_copyright
  lib_monkeys_audio_name lib_monkeys_audio_version)
list(SORT expected)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exports are: ${names}\nexpected: ${expected}")
endif()
