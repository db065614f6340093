# Runs the program on a fresh data folder with one script and checks its exit status and,
# when given, a pattern in what it wrote on standard error.
#   -DQUORIX=program -DSCRIPT=file -DHOME=folder [-DARGS=a|b...] [-DEXPECT_EXIT=n] [-DEXPECT_ERROR=regex]
#   [-DEXPECT_NO_HOME=1: the data folder must not have been made]
if(NOT DEFINED EXPECT_EXIT)
  set(EXPECT_EXIT 0)
endif()
string(REPLACE "|" ";" ARGS "${ARGS}")
file(REMOVE_RECURSE "${HOME}")
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
if(EXPECT_NO_HOME AND EXISTS "${HOME}")
  message(FATAL_ERROR "the data folder ${HOME} was made")
endif()
file(REMOVE_RECURSE "${HOME}")
