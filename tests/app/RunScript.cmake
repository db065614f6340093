# Runs the program on a fresh data folder with one script and checks its exit status and,
# when given, a pattern in what it wrote on standard error. With THEN, the program is started
# again on the same data folder with a second script, which must succeed (what was kept).
# DOCUMENTS are copied into the data folder's Documents/ before the first run; PREFERENCES is
# copied as its Preferences.json.
#   -DQUORIX=program -DSCRIPT=file -DHOME=folder [-DARGS=a|b...] [-DEXPECT_EXIT=n] [-DEXPECT_ERROR=regex]
#   [-DTHEN=file] [-DDOCUMENTS=file|file...] [-DBYTE_NAMED=file] [-DPREFERENCES=file] [-DEXPECT_NO_HOME=1: the data folder must not have been made]
if(NOT DEFINED EXPECT_EXIT)
  set(EXPECT_EXIT 0)
endif()
string(REPLACE "|" ";" ARGS "${ARGS}")

# One run of the program on HOME; fails unless it exits with `expected`. Leaves its standard
# error in `err`. The clock starts on a fixed morning, so that a script moving it by hours keeps
# its readings on one day whenever it runs.
function(run_script script expected)
  execute_process(COMMAND "${QUORIX}" --home "${HOME}" --script "${script}" --start-time 2026-12-07T09:00 ${ARGS}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE error)
  message("${out}")
  message("${error}")
  if(NOT status STREQUAL "${expected}")
    message(FATAL_ERROR "${script}: exit status ${status}, expected ${expected}")
  endif()
  set(err "${error}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${HOME}")
if(DEFINED DOCUMENTS)
  string(REPLACE "|" ";" DOCUMENTS "${DOCUMENTS}")
  file(COPY ${DOCUMENTS} DESTINATION "${HOME}/Documents")
endif()
if(DEFINED BYTE_NAMED)
  # The byte 0xFF alone, which no UTF-8 text holds.
  file(MAKE_DIRECTORY "${HOME}/Documents")
  string(ASCII 255 byte)
  get_filename_component(stem "${BYTE_NAMED}" NAME_WLE)
  get_filename_component(ext "${BYTE_NAMED}" LAST_EXT)
  file(COPY_FILE "${BYTE_NAMED}" "${HOME}/Documents/${stem}${byte}${ext}")
endif()
if(DEFINED PREFERENCES)
  file(MAKE_DIRECTORY "${HOME}")
  file(COPY_FILE "${PREFERENCES}" "${HOME}/Preferences.json")
endif()
run_script("${SCRIPT}" "${EXPECT_EXIT}")
if(DEFINED EXPECT_ERROR AND NOT err MATCHES "${EXPECT_ERROR}")
  message(FATAL_ERROR "standard error does not match: ${EXPECT_ERROR}")
endif()
if(EXPECT_NO_HOME AND EXISTS "${HOME}")
  message(FATAL_ERROR "the data folder ${HOME} was made")
endif()
if(DEFINED THEN)
  run_script("${THEN}" 0)
endif()
file(REMOVE_RECURSE "${HOME}")
