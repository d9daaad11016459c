# The test suites (GoogleTest, one program per source area), the stand-in
# plug-ins they load, and the checks that run whole programs: exports, the
# window under Xvfb, X11, Ardour, builds against one another.

enable_testing()

if(CMAKE_CROSSCOMPILING)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(${VR_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest
                     EXCLUDE_FROM_ALL SYSTEM)
    foreach(lib gtest gtest_main gmock gmock_main)
        if(NOT TARGET GTest::${lib})
            add_library(GTest::${lib} ALIAS ${lib})
        endif()
    endforeach()
else()
    find_package(GTest REQUIRED)
endif()

# Tests find qzsh and the plug-in through these. Under wine the program
# needs a Windows path: wine shows the Unix root as drive Z:.
if(CMAKE_CROSSCOMPILING)
    set(VR_PATH_PREFIX "Z:")
    set(VR_TEST_ARGS --gtest_color=no)
else()
    set(VR_PATH_PREFIX "")
    set(VR_TEST_ARGS "")
endif()
set(VR_TEST_ENV
    "VR_BUILD_DIR=${VR_PATH_PREFIX}${CMAKE_BINARY_DIR}"
    "VR_SOURCE_DIR=${VR_PATH_PREFIX}${CMAKE_SOURCE_DIR}"
    "VR_BUILD_DIR_UNIX=${CMAKE_BINARY_DIR}"
    "VR_SOURCE_DIR_UNIX=${CMAKE_SOURCE_DIR}"
    # The wine wrapper keeps its prefix in this build directory.
    "VR_WINE_BUILD_DIR=${CMAKE_BINARY_DIR}"
    "VR_WINE_ARCH=${VR_WINE_ARCH}")
if(CMAKE_CROSSCOMPILING)
    # Wine's sound driver on ALSA's null device: real wave devices anywhere.
    list(APPEND VR_TEST_ENV "ALSA_CONFIG_PATH=${CMAKE_SOURCE_DIR}/tests/rts/alsa-null.conf")
endif()
if(VR_SANITIZE)
    list(APPEND VR_TEST_ENV "UBSAN_OPTIONS=print_stacktrace=1")
endif()
if(VR_SANITIZE_THREADS)
    # Any report fails the test: no race is accepted.
    list(APPEND VR_TEST_ENV "TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1")
endif()

vr_sources(VR_TEST_SUPPORT_SOURCES RECURSE tests/support/*.cpp)

# One executable, and one ctest test, per source area.
function(vr_test_suite name)
    vr_sources(srcs RECURSE ${ARGN})
    # Fixtures are built into their own libraries, not into the suite.
    list(FILTER srcs EXCLUDE REGEX "/fixtures/")
    if(NOT srcs)
        return()
    endif()
    add_executable(${name} ${srcs} ${VR_TEST_SUPPORT_SOURCES})
    vr_warnings(${name})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
    target_link_libraries(${name} PRIVATE qz GTest::gmock GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name} ${VR_TEST_ARGS})
    # The wine wrapper exits 77 where 32-bit programs cannot run.
    set_tests_properties(${name} PROPERTIES
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
        TIMEOUT 300
        SKIP_RETURN_CODE 77
        ENVIRONMENT "${VR_TEST_ENV}")
endfunction()

vr_test_suite(qz_tests tests/projects/*.cpp)
if(TARGET qz_tests AND NOT WIN32)
    # The Fourier transform's accuracy is measured against FFTW, natively.
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(FFTW REQUIRED IMPORTED_TARGET fftw3)
    target_link_libraries(qz_tests PRIVATE PkgConfig::FFTW)
endif()
vr_test_suite(plugin_tests tests/plugin/*.cpp)
if(TARGET plugin_tests)
    target_link_libraries(plugin_tests PRIVATE vr_plugin_code)
endif()
vr_test_suite(tool_tests tests/tools/*.cpp)
if(TARGET tool_tests)
    # The shell's core is tested in-process as well as through the program.
    target_sources(tool_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/qzsh/QZ_Shell.cpp
                   ${CMAKE_SOURCE_DIR}/tools/qzsh/QZ_Door.cpp)
    target_include_directories(tool_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/qzsh)
endif()
# The audio device tests: an ASIO driver of our own for them to load, and
# rtsdemo run against it end to end. Both write the driver list under
# HKLM\Software\ASIO in the prefix, so they take turns.
if(WIN32 AND TARGET qz_tests)
    # The wave device tests ask winmm what devices wine offers.
    target_link_libraries(qz_tests PRIVATE winmm)
endif()
if(WIN32 AND TARGET qz_tests AND TARGET rtsdemo)
    add_library(FakeAsio SHARED ${CMAKE_SOURCE_DIR}/tests/rts/FakeAsio.cpp)
    vr_warnings(FakeAsio)
    set_target_properties(FakeAsio PROPERTIES PREFIX "")
    target_include_directories(FakeAsio PRIVATE ${CMAKE_SOURCE_DIR}/include)
    target_link_libraries(FakeAsio PRIVATE ole32 uuid)
    # COM looks the entry points up by their plain names.
    target_link_options(FakeAsio PRIVATE -Wl,--kill-at)
    add_dependencies(qz_tests FakeAsio)
    set_tests_properties(qz_tests PROPERTIES RESOURCE_LOCK asio_registry)
    add_test(NAME rtsdemo_fake_asio
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/rts/rtsdemo_test.sh
                     ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh ${VR_WINE_ARCH}
                     $<TARGET_FILE:rtsdemo> $<TARGET_FILE:FakeAsio>)
    set_tests_properties(rtsdemo_fake_asio PROPERTIES
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
        ENVIRONMENT "${VR_TEST_ENV}"
        RESOURCE_LOCK asio_registry
        SKIP_RETURN_CODE 77
        TIMEOUT 120)
endif()

# Tests that load the plug-in or run qzsh need them built first.
if(TARGET plugin_tests AND TARGET VelvetRampart)
    add_dependencies(plugin_tests VelvetRampart)
endif()
# Natively the plug-in is also loaded beside another plug-in that exports
# AudioEffectX, as many Linux plug-ins do.
if(TARGET plugin_tests AND NOT WIN32)
    add_library(PeerEffect SHARED ${CMAKE_SOURCE_DIR}/tests/plugin/fixtures/PeerEffect.cpp)
    vr_warnings(PeerEffect)
    set_target_properties(PeerEffect PROPERTIES PREFIX "")
    add_dependencies(plugin_tests PeerEffect)
endif()
# Natively the text widget's tests leave a PNG of what they rendered.
if(TARGET qz_tests AND NOT WIN32)
    pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
    target_link_libraries(qz_tests PRIVATE PkgConfig::CAIRO)
endif()
# The widget tests read the images from the plug-in's resources.
if(TARGET qz_tests AND TARGET VelvetRampart)
    add_dependencies(qz_tests VelvetRampart)
endif()
if(TARGET tool_tests AND TARGET qzsh)
    add_dependencies(tool_tests qzsh)
endif()

# Stand-in plug-ins for the host's tests (tests/tools/fixtures/), beside
# the test programs and rampart.
function(vr_test_plugin name source)
    add_library(${name} SHARED ${CMAKE_SOURCE_DIR}/tests/tools/fixtures/${source})
    vr_warnings(${name})
    set_target_properties(${name} PROPERTIES PREFIX "")
    target_link_libraries(${name} PRIVATE vr_plugin_headers)
    target_compile_definitions(${name} PRIVATE ${ARGN})
endfunction()
if(TARGET rampart)
    vr_test_plugin(TestGain TestGain.cpp)
    vr_test_plugin(TestGainMain TestGain.cpp TESTGAIN_MAIN_ONLY)
    if(WIN32)
        target_sources(TestGainMain PRIVATE
            ${CMAKE_SOURCE_DIR}/tests/tools/fixtures/TestGainMain.def)
    endif()
    vr_test_plugin(NotVst NotVst.cpp)
    vr_test_plugin(WrongMagic BadRecord.cpp BAD_MAGIC)
    vr_test_plugin(NullRecord BadRecord.cpp)
    if(CMAKE_CROSSCOMPILING)
        # Renders of these plug-ins (names without suffix) by this build
        # must match the native build's, and the 64-bit build's also the
        # 32-bit build's, bit for bit. Builds beside this one that are
        # missing or cannot run here are left out; none left: skipped.
        set(VR_CROSS_CHECK_PLUGINS TestGain,VelvetRampart)
        set(VR_CROSS_CHECK_BUILDS ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}/build/native)
        if(VR_WINE_ARCH STREQUAL "win64")
            list(APPEND VR_CROSS_CHECK_BUILDS ${CMAKE_SOURCE_DIR}/build/win32)
        endif()
        add_test(NAME cross_build_identity
                 COMMAND bash ${CMAKE_SOURCE_DIR}/tests/tools/cross_build_identity_test.sh
                         ${CMAKE_SOURCE_DIR} ${VR_CROSS_CHECK_PLUGINS} ${VR_CROSS_CHECK_BUILDS})
        set_tests_properties(cross_build_identity PROPERTIES
            SKIP_RETURN_CODE 77 TIMEOUT 300)
    endif()
    if(TARGET tool_tests)
        target_link_libraries(tool_tests PRIVATE rampart_core)
        add_dependencies(tool_tests rampart TestGain TestGainMain NotVst WrongMagic NullRecord)
        if(TARGET VelvetRampart)
            add_dependencies(tool_tests VelvetRampart)
        endif()
    endif()
endif()

if(NOT CMAKE_CROSSCOMPILING)
    add_test(NAME check_exports_script
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/tools/check_exports_test.sh)
    add_test(NAME scripts_without_32bit
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/tools/scripts_test.sh)
endif()

# The DLL's export and import tables, read on the build machine.
if(WIN32 AND TARGET VelvetRampart)
    add_test(NAME dll_exports
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/tools/check_exports.sh
                     ${CMAKE_OBJDUMP} $<TARGET_FILE:VelvetRampart>
                     ${CMAKE_SOURCE_DIR}/tests/tools/dll_exports.txt
                     ${CMAKE_SOURCE_DIR}/tests/tools/dll_imports.txt)
    set_tests_properties(dll_exports PROPERTIES TIMEOUT 60)
endif()
# The Linux library's dynamic symbols: the entry points alone.
if(NOT WIN32 AND TARGET VelvetRampart)
    add_test(NAME so_exports
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/tools/check_so_exports.sh
                     ${CMAKE_NM} $<TARGET_FILE:VelvetRampart>
                     ${CMAKE_SOURCE_DIR}/tests/tools/so_exports.txt)
    set_tests_properties(so_exports PROPERTIES TIMEOUT 60)
endif()

# The native editor in a host's X11 window: tests/xwindow/ on an Xvfb of
# its own; the screenshot it leaves is x11-editor.png.
if(NOT WIN32 AND TARGET VelvetRampart)
    vr_sources(VR_X11_TEST_SOURCES FLAT tests/xwindow/*.cpp)
    add_executable(x11_tests ${VR_X11_TEST_SOURCES} ${VR_TEST_SUPPORT_SOURCES}
                   ${CMAKE_SOURCE_DIR}/tests/plugin/QZ_PluginHost.cpp)
    vr_warnings(x11_tests)
    target_include_directories(x11_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/support
                               ${CMAKE_SOURCE_DIR}/tests/plugin)
    pkg_check_modules(XCB_XTEST REQUIRED IMPORTED_TARGET xcb xcb-xtest)
    pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
    target_link_libraries(x11_tests PRIVATE vr_plugin_code PkgConfig::XCB_XTEST PkgConfig::CAIRO
                          GTest::gmock GTest::gtest_main)
    add_test(NAME x11_under_xvfb
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/xwindow/x11_under_xvfb.sh
                     $<TARGET_FILE:x11_tests> ${CMAKE_BINARY_DIR}/x11-editor)
    set_tests_properties(x11_under_xvfb PROPERTIES
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
        ENVIRONMENT "${VR_TEST_ENV}"
        TIMEOUT 300)
endif()

# The LV2 bundle: its plug-in and editor in-process beside the VST 2.x plug-in
# (tests/lv2/, on an Xvfb of its own for the editor; the editor as the server
# showed it is lv2-editor.png), and the built bundle as LV2's own tools see it.
if(TARGET VelvetRampart_lv2)
    vr_sources(VR_LV2_TEST_SOURCES FLAT tests/lv2/*.cpp)
    add_executable(lv2_tests ${VR_LV2_TEST_SOURCES} ${VR_TEST_SUPPORT_SOURCES}
                   ${CMAKE_SOURCE_DIR}/tests/plugin/QZ_PluginHost.cpp)
    vr_warnings(lv2_tests)
    target_include_directories(lv2_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/support
                               ${CMAKE_SOURCE_DIR}/tests/plugin ${CMAKE_SOURCE_DIR}/tests/xwindow)
    pkg_check_modules(XCB_XTEST REQUIRED IMPORTED_TARGET xcb xcb-xtest)
    pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
    target_link_libraries(lv2_tests PRIVATE vr_plugin_code vr_lv2_code PkgConfig::XCB_XTEST
                          PkgConfig::CAIRO GTest::gmock GTest::gtest_main)
    add_test(NAME lv2_tests
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/xwindow/x11_under_xvfb.sh
                     $<TARGET_FILE:lv2_tests> ${CMAKE_BINARY_DIR}/lv2-editor)
    set_tests_properties(lv2_tests PROPERTIES
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
        ENVIRONMENT "${VR_TEST_ENV}"
        TIMEOUT 300)
    if(NOT VR_SANITIZED AND TARGET rampart)
        add_test(NAME lv2_bundle
                 COMMAND bash ${CMAKE_SOURCE_DIR}/tests/lv2/lv2_bundle_test.sh
                         ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
        set_tests_properties(lv2_bundle PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
    endif()
endif()

# A real Linux host: Debian's Ardour renders through the plug-in headlessly,
# bit for bit as rampart does (skipped where Ardour is not installed).
if(NOT WIN32 AND NOT VR_SANITIZED AND TARGET rampart)
    add_test(NAME ardour_render
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/ardour/ardour_render_test.sh
                     ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
    set_tests_properties(ardour_render PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
    # And its GUI shows the plug-in's own editor, on an Xvfb of its own.
    add_test(NAME ardour_editor
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/ardour/ardour_editor_shot.sh
                     ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}
                     ${CMAKE_BINARY_DIR}/ardour-editor.png)
    set_tests_properties(ardour_editor PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
    # The same for the LV2 bundle: Ardour's render, latency made up for, and
    # its GUI with the bundle's X11 editor.
    if(TARGET VelvetRampart_lv2)
        add_test(NAME ardour_lv2_render
                 COMMAND bash ${CMAKE_SOURCE_DIR}/tests/lv2/ardour_lv2_render_test.sh
                         ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
        set_tests_properties(ardour_lv2_render PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
        add_test(NAME ardour_lv2_editor
                 COMMAND bash ${CMAKE_SOURCE_DIR}/tests/ardour/ardour_editor_shot.sh
                         ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}
                         ${CMAKE_BINARY_DIR}/ardour-lv2-editor.png lv2)
        set_tests_properties(ardour_lv2_editor PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
    endif()
endif()

# The framework window on a real screen: tests/window/ under wine on an
# Xvfb display of its own, with the plug-in's artwork; the screenshot it
# leaves becomes window-under-xvfb.png through the artwork tool.
if(WIN32 AND TARGET VelvetRampart)
    vr_sources(VR_WINDOW_TEST_SOURCES FLAT tests/window/*.cpp)
    add_executable(window_tests ${VR_WINDOW_TEST_SOURCES} ${VR_TEST_SUPPORT_SOURCES})
    vr_warnings(window_tests)
    target_include_directories(window_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
    # The plug-in's code too, for the editor's own counts; psapi for the
    # process's memory, which the plug-in itself may not import.
    target_link_libraries(window_tests PRIVATE vr_plugin_code psapi GTest::gmock
                          GTest::gtest_main)
    add_dependencies(window_tests VelvetRampart artwork_tool)
    add_test(NAME window_under_xvfb
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/window/window_under_xvfb.sh
                     $<TARGET_FILE:window_tests> ${VR_ARTWORK_TOOL}
                     ${CMAKE_BINARY_DIR}/window-under-xvfb)
    set_tests_properties(window_under_xvfb PROPERTIES
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
        ENVIRONMENT "${VR_TEST_ENV}"
        SKIP_RETURN_CODE 77
        TIMEOUT 240)
endif()

# The layers: a framework file that includes a plug-in header does not build.
# The probe is compiled as the framework's own files are, on demand only.
add_library(vr_layer_probe OBJECT EXCLUDE_FROM_ALL
            ${CMAKE_SOURCE_DIR}/tests/layers/framework_includes_plugin.cpp)
target_link_libraries(vr_layer_probe PRIVATE qz)
add_test(NAME framework_cannot_include_plugin_headers
         COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target vr_layer_probe)
set_tests_properties(framework_cannot_include_plugin_headers PROPERTIES
    PASS_REGULAR_EXPRESSION "QZ_Main_Vst\\.h.*(No such file|not found)"
    TIMEOUT 120)
