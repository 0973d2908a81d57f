# Run by CPack on the staged install, before it packs it: the manual pages
# and the changelog gzip-compressed (-9, without a time stamp), as Debian
# policy has them.
set(stage ${CPACK_TEMPORARY_DIRECTORY})
execute_process(COMMAND find ${stage}/usr/share/man -name *.1 -exec gzip -9nf {} +
  RESULT_VARIABLE pages)
execute_process(COMMAND gzip -9nf ${stage}${CPACK_SUITE_DOC_DIR}/changelog RESULT_VARIABLE changelog)
if(NOT pages EQUAL 0 OR NOT changelog EQUAL 0)
  message(FATAL_ERROR "cannot compress the manual pages or the changelog in ${stage}")
endif()
