# The documentation's build side, included at the end of the top-level list:
# the manual pages of rampart and qzsh, written by help2man from the
# programs' own help texts (native build only), which the Linux package
# carries with the programs; and the test that runs the commands the README
# and docs/ mark as runnable.

if(NOT WIN32 AND NOT CMAKE_CROSSCOMPILING AND NOT VR_SANITIZED
   AND TARGET rampart AND TARGET qzsh)
    find_program(VR_HELP2MAN help2man)
    if(NOT VR_HELP2MAN)
        message(FATAL_ERROR "help2man is missing: the manual pages are made with it "
                            "(scripts/setup.sh installs it; Debian package help2man)")
    endif()
    set(VR_MAN_DIR ${CMAKE_BINARY_DIR}/man)
    set(VR_MAN_PAGES "")
    foreach(program rampart qzsh)
        set(page ${VR_MAN_DIR}/${program}.1)
        set(others rampart qzsh)
        list(REMOVE_ITEM others ${program})
        add_custom_command(
            OUTPUT ${page}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${VR_MAN_DIR}
            COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${VR_HELP2MAN} -DPROGRAM=$<TARGET_FILE:${program}>
                    -DOUTPUT=${page} -DSEE_ALSO=${others} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
                    -P ${CMAKE_SOURCE_DIR}/cmake/help2man.cmake
            DEPENDS ${program} ${CMAKE_SOURCE_DIR}/cmake/help2man.cmake
            COMMENT "Writing the manual page ${program}.1"
            VERBATIM)
        list(APPEND VR_MAN_PAGES ${page})
    endforeach()
    add_custom_target(manpages ALL DEPENDS ${VR_MAN_PAGES})

    # The Linux package: the tools beside the plug-in (rampart finds the
    # plug-in beside itself), and their pages.
    install(PROGRAMS $<TARGET_FILE:rampart> $<TARGET_FILE:qzsh> DESTINATION . COMPONENT plugin)
    install(FILES ${VR_MAN_PAGES} DESTINATION . COMPONENT plugin)
endif()

# Every fenced sh block of README.md and docs/*.md marked as runnable runs as
# written, from a copy of the source tree's top with this build as its
# build/native (tests/tools/docs_commands_test.sh).
if(VR_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING AND NOT VR_SANITIZED AND TARGET rampart)
    add_test(NAME docs_commands
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/tools/docs_commands_test.sh
                     ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
    set_tests_properties(docs_commands PROPERTIES TIMEOUT 300)
endif()
