# Writes a program's manual page from its own help texts, with help2man.
# Run as a script:
#   cmake -DHELP2MAN=... -DPROGRAM=... -DOUTPUT=... [-DSEE_ALSO=a;b] [-DSOURCE_DIR=...]
#         -P help2man.cmake
# The page's NAME line is the first line of `PROGRAM --help` after its usage
# lines. A program whose help lists "Commands:" gets a COMMANDS section with
# each command's own `PROGRAM COMMAND --help`, as it prints it.
foreach(var HELP2MAN PROGRAM OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "help2man.cmake: ${var} is not set")
    endif()
endforeach()

function(help_of out)
    execute_process(COMMAND ${PROGRAM} ${ARGN} --help
                    OUTPUT_VARIABLE text ERROR_VARIABLE err RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0 OR text STREQUAL "")
        list(JOIN ARGN " " what)
        message(FATAL_ERROR "help2man.cmake: '${PROGRAM} ${what} --help' answered ${rc}: ${err}")
    endif()
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# roff takes text literally only with its escape character and a leading
# dot or apostrophe neutralised; \- keeps a minus a minus (options stay
# copyable).
function(roff_literal out text)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

help_of(help)
# One list item per line: semicolons escaped, and brackets (which would hold
# list items together) stood in for until a line is used.
string(REPLACE ";" "\\;" lines "${help}")
string(REPLACE "[" "<lsqb>" lines "${lines}")
string(REPLACE "]" "<rsqb>" lines "${lines}")
string(REPLACE "\n" ";" lines "${lines}")

# NAME: the summary line after "Usage:" and its "or:" lines.
set(summary "")
foreach(line IN LISTS lines)
    if(line MATCHES "^Usage: " OR line MATCHES "^  or: ")
        continue()
    endif()
    set(summary "${line}")
    break()
endforeach()
string(REPLACE "<lsqb>" "[" summary "${summary}")
string(REPLACE "<rsqb>" "]" summary "${summary}")
string(REGEX REPLACE "\\.$" "" summary "${summary}")
if(summary STREQUAL "" OR summary MATCHES "^ " OR NOT help MATCHES "^Usage: ")
    message(FATAL_ERROR "help2man.cmake: '${PROGRAM} --help' must start with \"Usage: \" "
                        "lines and then a one-line summary")
endif()
# "Run framework commands" becomes "run framework commands"; an acronym stays.
if(NOT summary MATCHES "^[A-Z][A-Z]")
    string(SUBSTRING "${summary}" 0 1 first)
    string(SUBSTRING "${summary}" 1 -1 rest)
    string(TOLOWER "${first}" first)
    set(summary "${first}${rest}")
endif()

set(include "")
# COMMANDS: the commands the overview lists, two spaces in, one word first.
set(in_commands OFF)
foreach(line IN LISTS lines)
    if(line STREQUAL "Commands:")
        set(in_commands ON)
        set(include "${include}[COMMANDS]\n")
        continue()
    endif()
    if(NOT in_commands)
        continue()
    endif()
    if(NOT line MATCHES "^  ([a-z][a-z0-9-]*)( |$)")
        break()
    endif()
    set(command ${CMAKE_MATCH_1})
    help_of(text ${command})
    roff_literal(text "${text}")
    set(include "${include}.SS ${command}\n.nf\n${text}.fi\n")
endforeach()

if(SEE_ALSO)
    set(refs "")
    foreach(page IN LISTS SEE_ALSO)
        if(refs)
            set(refs "${refs},\n")
        endif()
        set(refs "${refs}.BR ${page} (1)")
    endforeach()
    set(include "${include}[SEE ALSO]\n${refs}\n")
endif()

# The page's date is the last commit's, as the packages' entries are, so that
# the same sources give the same page; help2man takes it from here.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND DEFINED SOURCE_DIR)
    execute_process(COMMAND git -C ${SOURCE_DIR} log -1 --format=%ct
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                    ERROR_QUIET RESULT_VARIABLE rc)
    if(rc EQUAL 0 AND epoch MATCHES "^[0-9]+$")
        set(ENV{SOURCE_DATE_EPOCH} ${epoch})
    endif()
endif()

set(include_file "${OUTPUT}.include")
file(WRITE "${include_file}" "${include}")
execute_process(
    COMMAND ${HELP2MAN} --no-info --section=1 "--name=${summary}"
            "--include=${include_file}" "--output=${OUTPUT}.part" ${PROGRAM}
    RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    file(REMOVE "${OUTPUT}.part")
    message(FATAL_ERROR "help2man.cmake: help2man failed for ${PROGRAM}: ${err}")
endif()
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
