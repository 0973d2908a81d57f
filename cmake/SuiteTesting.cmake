# Test rules of the suite, for every tests/<area>/CMakeLists.txt.
#
# suite_test(<target> <source>... [LIBS <lib>...] [LABELS <label>...])
#   A GoogleTest program run by CTest, linked with gtest_main and the test
#   support library (tests/support: run_program, TempHome, fake codec
#   libraries). Its tests are listed when CTest runs, not at build time,
#   with the LABELS given (ctest -L).
#
# suite_fake_monkeys_audio(<name> [VERSION <text>] [OMIT <symbol>...]
#                          [VERIFY_AS_DATA])
#   A stand-in codec library built from tests/support/FakeMonkeysAudio.cpp,
#   written to ${SUITE_FAKES_DIR}/<name>.so; tests find it with
#   suite_test::fake_library("<name>") and install it into a temporary home
#   with TempHome::InstallLibrary. The support library already builds:
#   complete (Ver 1.50), no_verify, v139 ("Ver 1.39"), v140 ("Ver 1.40"),
#   v2 ("Ver 2"), vbad ("Ver x.y"), short ("V1"), verify_data (VerifyFile
#   is a data object).
#
# suite_dictionary_check(<name> DICTIONARIES <base>... SOURCES <path>...
#                        [KEYS <key>...] [FUNCTIONS <name>...]
#                        [DICTIONARY_DIR <folder>])
#   (a dictionary is looked for in DICTIONARY_DIR first, then in dictionaries/)
#   One CTest test, dictionary_keys_<name>: every key the SOURCES (files or
#   folders, relative to the top of the tree) use must be in the
#   DICTIONARIES (dictionaries/<base>.en and .ja; a key may come from any
#   of them, as at run time), both languages must hold the same keys, and
#   every text must use exactly the placeholders its key names. Keys used:
#   the first string literal passed to GetString or get_text (and to the
#   FUNCTIONS), every literal of the enclosed form "@Name %Ph%...@", and
#   the KEYS given (for keys passed through variables, e.g. gAppAuthorE).
#   A program adds its own check with one line, for example:
#     suite_dictionary_check(Fennick DICTIONARIES Halbrook Fennick SOURCES tools/encoder)

set(SUITE_FAKES_DIR ${CMAKE_BINARY_DIR}/fakes)
set(SUITE_TEST_SUPPORT_DIR ${CMAKE_SOURCE_DIR}/tests/support)

function(suite_test target)
  cmake_parse_arguments(ST "" "" "LIBS;LABELS" ${ARGN})
  add_executable(${target} ${ST_UNPARSED_ARGUMENTS})
  target_link_libraries(${target} PRIVATE suite_test_support GTest::gtest_main ${ST_LIBS})
  set(properties)
  if(ST_LABELS)
    set(properties PROPERTIES LABELS "${ST_LABELS}")
  endif()
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${properties})
endfunction()

function(suite_fake_monkeys_audio name)
  cmake_parse_arguments(SF "VERIFY_AS_DATA" "VERSION" "OMIT" ${ARGN})
  set(target fake_monkeys_audio_${name})
  add_library(${target} MODULE ${SUITE_TEST_SUPPORT_DIR}/FakeMonkeysAudio.cpp)
  target_link_libraries(${target} PRIVATE monkeys_contract)
  set_target_properties(${target} PROPERTIES
    PREFIX "" OUTPUT_NAME ${name} SUFFIX ".so"
    LIBRARY_OUTPUT_DIRECTORY ${SUITE_FAKES_DIR})
  if(SF_VERSION)
    target_compile_definitions(${target} PRIVATE "FAKE_VERSION=\"${SF_VERSION}\"")
  endif()
  foreach(symbol ${SF_OMIT})
    target_compile_definitions(${target} PRIVATE FAKE_OMIT_${symbol})
  endforeach()
  if(SF_VERIFY_AS_DATA)
    target_compile_definitions(${target} PRIVATE FAKE_VERIFY_AS_DATA)
  endif()
  if(NOT TARGET suite_fakes)
    add_custom_target(suite_fakes)
  endif()
  add_dependencies(suite_fakes ${target})
endfunction()

function(suite_dictionary_check name)
  cmake_parse_arguments(SD "" "DICTIONARY_DIR" "DICTIONARIES;SOURCES;KEYS;FUNCTIONS" ${ARGN})
  set(args --top ${CMAKE_SOURCE_DIR} --dictionary-dir ${SD_DICTIONARY_DIR} ${SUITE_DICTIONARY_SOURCE_DIR}
      --languages ${SUITE_LANGUAGES} --dictionaries ${SD_DICTIONARIES} --sources ${SD_SOURCES})
  if(SD_KEYS)
    list(APPEND args --keys ${SD_KEYS})
  endif()
  if(SD_FUNCTIONS)
    list(APPEND args --functions ${SD_FUNCTIONS})
  endif()
  add_test(NAME dictionary_keys_${name}
    COMMAND /usr/bin/python3 ${SUITE_TEST_SUPPORT_DIR}/check_dictionaries.py ${args})
endfunction()
