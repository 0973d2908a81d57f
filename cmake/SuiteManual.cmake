# Manual pages and bash completion of the suite's programs.
#
# suite_manual_page(<Name> [OPTIONS_FROM <path>...] [EXACT_OPTIONS])
#   From docs/manual/<Name>.page (the format: docs/manual/README.md) makes
#   <Name>'s English and Japanese manual pages and its bash completion,
#   installed as share/man/man1/<Name>.1, share/man/ja/man1/<Name>.1 and
#   share/bash-completion/completions/<Name> under the prefix (so the user
#   install puts them where `man <Name>` and bash-completion look).
#   With the tests, adds manual_page_<Name>: both pages render with groff
#   without a single warning (the English one in ASCII too), and, given OPTIONS_FROM (files or folders,
#   relative to the top of the tree), every option name of the program's
#   option table (the upper-case "-NAME" literals of those sources) appears
#   in both pages, and the page describes no option the table lacks.
#   EXACT_OPTIONS: the program takes its option names only exactly as
#   written, in lower case ("--close", "-h"); its table is then the
#   lower-case "--name" and "-n" literals, and the completion matches
#   them exactly.
#   A new program needs its .page file and one line in
#   docs/manual/CMakeLists.txt, for example:
#     suite_manual_page(Fennick OPTIONS_FROM tools/encoder common)

find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(SUITE_MANUAL_SOURCE_DIR ${CMAKE_SOURCE_DIR}/docs/manual)
set(SUITE_MANUAL_DIR ${CMAKE_BINARY_DIR}/manual)
set(SUITE_MANUAL_TOOL ${CMAKE_SOURCE_DIR}/cmake/manual_page.py)
# The parts pages take in with @include (docs/manual/<part>.part): a page
# is made again when one of them changes.
set(SUITE_MANUAL_PARTS arguments common-options environment files format pipes threads)

function(suite_manual_page name)
  cmake_parse_arguments(SM "EXACT_OPTIONS" "" "OPTIONS_FROM" ${ARGN})
  set(exact)
  if(SM_EXACT_OPTIONS)
    set(exact --exact-options)
  endif()
  set(source ${SUITE_MANUAL_SOURCE_DIR}/${name}.page)
  set(en ${SUITE_MANUAL_DIR}/man1/${name}.1)
  set(ja ${SUITE_MANUAL_DIR}/ja/man1/${name}.1)
  set(completion ${SUITE_MANUAL_DIR}/completions/${name})
  list(TRANSFORM SUITE_MANUAL_PARTS PREPEND ${SUITE_MANUAL_SOURCE_DIR}/ OUTPUT_VARIABLE parts)
  list(TRANSFORM parts APPEND .part)
  add_custom_command(OUTPUT ${en} ${ja} ${completion}
    COMMAND ${Python3_EXECUTABLE} ${SUITE_MANUAL_TOOL} ${source} --parts ${SUITE_MANUAL_SOURCE_DIR}
            --en ${en} --ja ${ja} --completion ${completion} ${exact}
    DEPENDS ${source} ${parts} ${SUITE_MANUAL_TOOL}
    COMMENT "Manual pages and completion of ${name}" VERBATIM)
  add_custom_target(${name}_manual ALL DEPENDS ${en} ${ja} ${completion})
  install(FILES ${en} DESTINATION share/man/man1)
  install(FILES ${ja} DESTINATION share/man/ja/man1)
  install(FILES ${completion} DESTINATION share/bash-completion/completions)
  if(SUITE_TESTS)
    set(args --source ${source} --parts ${SUITE_MANUAL_SOURCE_DIR} --tool ${SUITE_MANUAL_TOOL}
        --top ${CMAKE_SOURCE_DIR} --en ${en} --ja ${ja} ${exact})
    if(SM_OPTIONS_FROM)
      list(APPEND args --options-from ${SM_OPTIONS_FROM})
    endif()
    add_test(NAME manual_page_${name}
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/support/check_manual_page.py ${args})
    set_tests_properties(manual_page_${name} PROPERTIES LABELS manual)
  endif()
endfunction()
