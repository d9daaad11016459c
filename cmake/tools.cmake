# The programs: qzsh, rampart (and the library its tests link), rtsdemo.

vr_sources(VR_QZSH_SOURCES FLAT tools/qzsh/*.cpp)
if(VR_QZSH_SOURCES)
    add_executable(qzsh ${VR_QZSH_SOURCES})
    vr_warnings(qzsh)
    target_link_libraries(qzsh PRIVATE qz)
    target_compile_definitions(qzsh PRIVATE VR_VERSION="${PROJECT_VERSION}")
endif()

# rtsdemo: the audio device classes in a program of their own (Windows).
if(WIN32)
    add_executable(rtsdemo tools/rtsdemo/rtsdemo.cpp)
    vr_warnings(rtsdemo)
    target_link_libraries(rtsdemo PRIVATE qz)
endif()

# rampart, the command-line host: everything but main() in a library that the
# tests link too.
vr_sources(VR_RAMPART_SOURCES FLAT tools/rampart/*.cpp)
list(FILTER VR_RAMPART_SOURCES EXCLUDE REGEX "/rampart\\.cpp$")
if(VR_RAMPART_SOURCES)
    add_library(rampart_core STATIC ${VR_RAMPART_SOURCES})
    vr_warnings(rampart_core)
    # `rampart --version` (and its tests) take the version from project().
    target_compile_definitions(rampart_core PUBLIC VR_VERSION="${PROJECT_VERSION}")
    target_include_directories(rampart_core PUBLIC ${CMAKE_SOURCE_DIR}/tools/rampart)
    target_link_libraries(rampart_core PUBLIC vr_plugin_headers)
    if(NOT WIN32)
        # Natively: every format libsndfile reads, and FLAC out. The Windows
        # build reads and writes WAV itself.
        find_package(PkgConfig REQUIRED)
        pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)
        target_link_libraries(rampart_core PUBLIC PkgConfig::SNDFILE ${CMAKE_DL_LIBS})
        # `rampart shot` makes the plug-in in-process to read its off-screen
        # editor, and writes the PNG with cairo. rampart.exe stays a pure host
        # of the DLL.
        pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
        target_link_libraries(rampart_core PUBLIC vr_plugin_code PkgConfig::CAIRO)
    endif()
    if(VR_BUILD_FUZZERS)
        # Coverage feedback from the WAV reader for its fuzzer.
        target_compile_options(rampart_core PRIVATE -fsanitize=fuzzer-no-link)
    endif()
    add_executable(rampart tools/rampart/rampart.cpp)
    vr_warnings(rampart)
    target_link_libraries(rampart PRIVATE rampart_core)
endif()
