# Helpers every area uses.

# Our own targets only: GoogleTest's sources are not ours to keep warning-free.
function(vr_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# vr_sources(<out> RECURSE|FLAT <globs>...): sorted sources for this platform.
# A file named *_Win32.cpp is Windows only, *_Posix.cpp native only.
function(vr_sources out mode)
    list(TRANSFORM ARGN PREPEND "${CMAKE_SOURCE_DIR}/" OUTPUT_VARIABLE patterns)
    if(mode STREQUAL "RECURSE")
        file(GLOB_RECURSE files CONFIGURE_DEPENDS ${patterns})
    else()
        file(GLOB files CONFIGURE_DEPENDS ${patterns})
    endif()
    if(WIN32)
        list(FILTER files EXCLUDE REGEX "_Posix\\.cpp$")
    else()
        list(FILTER files EXCLUDE REGEX "_Win32\\.cpp$")
    endif()
    list(SORT files)
    set(${out} ${files} PARENT_SCOPE)
endfunction()
