# Runs the canxlate program on one case folder under cases/ and compares what it
# did with the files there:
#   args     the arguments, one a line; @EXAMPLES@ stands for the project's examples/ folder
#   stdin    standard input (none: empty)
#   stdout   what it must write on standard output (none: nothing)
#   stderr   the same for standard error
#   status   its exit status
# Other files are inputs named in args; the program runs inside the folder. In the outputs
# the examples folder is written @EXAMPLES@ again.
# CANXLATE_REGENERATE_GOLDEN=1 in the environment rewrites stdout, stderr and status from
# what the program does instead of comparing: for a deliberate change of output; read the
# diff before committing it.
# Called as: cmake -DPROGRAM=<canxlate> -DCASE=<folder> -DEXAMPLES=<folder> -DACTUAL=<prefix> -P run_case.cmake
# with -DWRAPPER=<runner> for a program that runs through another (Windows builds under Wine).
cmake_minimum_required(VERSION 3.25)

file(STRINGS "${CASE}/args" arguments)
list(REMOVE_ITEM arguments "")
list(TRANSFORM arguments REPLACE "^@EXAMPLES@" "${EXAMPLES}")
set(input /dev/null)
if(EXISTS "${CASE}/stdin")
  set(input "${CASE}/stdin")
endif()
execute_process(COMMAND ${WRAPPER} "${PROGRAM}" ${arguments} WORKING_DIRECTORY "${CASE}" INPUT_FILE "${input}"
                OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr RESULT_VARIABLE status)
set(status "${status}\n")

set(failed "")
foreach(stream stdout stderr status)
  string(REPLACE "${EXAMPLES}" "@EXAMPLES@" actual "${${stream}}")
  set(expected_file "${CASE}/${stream}")
  if("$ENV{CANXLATE_REGENERATE_GOLDEN}" STREQUAL "1")
    if(actual STREQUAL "")
      file(REMOVE "${expected_file}")
    else()
      file(WRITE "${expected_file}" "${actual}")
    endif()
    continue()
  endif()
  set(expected "")
  if(EXISTS "${expected_file}")
    file(READ "${expected_file}" expected)
  else()
    set(expected_file /dev/null)
  endif()
  if(NOT actual STREQUAL expected)
    file(WRITE "${ACTUAL}.${stream}" "${actual}")
    execute_process(COMMAND diff -u "${expected_file}" "${ACTUAL}.${stream}")
    list(APPEND failed ${stream})
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "${CASE}: ${failed} not as expected (diff above)")
endif()
