# Runs the program on a fresh data folder with one script and checks its exit status and,
# when given, a pattern in what it wrote on standard error.
#   -DQUORIX=program -DSCRIPT=file -DHOME=folder [-DARGS=a|b...] [-DDOCUMENTS=file|file...]
#   [-DEXPECT_EXIT=n] [-DEXPECT_ERROR=regex]
if(NOT DEFINED EXPECT_EXIT)
  set(EXPECT_EXIT 0)
endif()
string(REPLACE "|" ";" ARGS "${ARGS}")
file(REMOVE_RECURSE "${HOME}")
if(DEFINED DOCUMENTS)
  string(REPLACE "|" ";" DOCUMENTS "${DOCUMENTS}")
  file(COPY ${DOCUMENTS} DESTINATION "${HOME}/Documents")
endif()
execute_process(COMMAND "${QUORIX}" --home "${HOME}" --script "${SCRIPT}" ${ARGS}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}")
message("${err}")
if(NOT status STREQUAL "${EXPECT_EXIT}")
  message(FATAL_ERROR "exit status ${status}, expected ${EXPECT_EXIT}")
endif()
if(DEFINED EXPECT_ERROR AND NOT err MATCHES "${EXPECT_ERROR}")
  message(FATAL_ERROR "standard error does not match: ${EXPECT_ERROR}")
endif()
file(REMOVE_RECURSE "${HOME}")
