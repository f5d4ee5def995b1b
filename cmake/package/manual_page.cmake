# Writes the canxlate(1) manual page from the program's own help texts, so the
# two never disagree. Run by the build: cmake -DPROGRAM=... -DOUTPUT=... -DVERSION=... -P manual_page.cmake
function(help_of out)
  execute_process(COMMAND ${PROGRAM} ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${ARGN} failed")
  endif()
  # roff: escape backslashes, keep lines starting with a dot or quote literal.
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

help_of(main --help)
set(page ".TH CANXLATE 1 \"\" \"canxlate ${VERSION}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\ncanxlate \\- decode and encode CAN frames with a DBC or .zcd database\n")
string(APPEND page ".SH DESCRIPTION\n.nf\n${main}.fi\n")
foreach(command info decode encode)
  help_of(text help ${command})
  string(TOUPPER ${command} title)
  string(APPEND page ".SH ${title}\n.nf\n${text}.fi\n")
endforeach()
file(WRITE ${OUTPUT} "${page}")
