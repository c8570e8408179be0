# Writes the help of each command of korvalen25-cli as a section of its manual page, in the
# form of a help2man include file.
#
#   cmake -DCLI=path/to/korvalen25-cli -DOUT=commands.h2m -P cli-commands.cmake
execute_process(COMMAND ${CLI} --help OUTPUT_VARIABLE general RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${CLI} --help failed: ${status}")
endif()
# The commands are the lines of the general help's list: "  NAME ARGUMENTS  what it does".
string(REGEX MATCH "Commands:\n(.*)\n\n" list "${general}")
string(REGEX MATCHALL "\n  [a-z][a-z-]*" names "\n${CMAKE_MATCH_1}")
set(text "[COMMANDS]\n")
foreach(name ${names})
    string(STRIP "${name}" command)
    execute_process(COMMAND ${CLI} help ${command} OUTPUT_VARIABLE help RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${CLI} help ${command} failed: ${status}")
    endif()
    # As roff: backslashes and minus signs escaped, no line taken for a request.
    string(REPLACE "\\" "\\e" help "${help}")
    string(REPLACE "-" "\\-" help "${help}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
    string(APPEND text ".SS ${command}\n.nf\n${help}.fi\n")
endforeach()
file(WRITE ${OUT} "${text}")
