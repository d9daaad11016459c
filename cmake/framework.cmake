# The framework library, qz.

# The whole framework, the audio devices and the file dialog included: the
# Windows plug-in exports their entry points. It loads winmm, ole32 and
# comdlg32 only when a device or a dialog is first used, so that a host loads
# none of them for it.
vr_sources(VR_QZ_SOURCES RECURSE projects/QZ/*.cpp)
add_library(qz STATIC ${VR_QZ_SOURCES})
vr_warnings(qz)
# Linked whole into the plug-in's shared object natively.
set_target_properties(qz PROPERTIES POSITION_INDEPENDENT_CODE ON)
# The framework's own folders: a framework file that includes a plug-in
# header does not build (the layers test tries).
target_include_directories(qz PUBLIC
    ${CMAKE_SOURCE_DIR}/projects/QZ
    ${CMAKE_SOURCE_DIR}/projects/QZ/QZ
    ${CMAKE_SOURCE_DIR}/include)
if(WIN32)
    # Only the system libraries the DLL may import; unused ones add no import.
    # winmm, ole32 and comdlg32 are loaded at run time (see above).
    target_link_libraries(qz PUBLIC user32 gdi32 advapi32)
else()
    # The text widget's glyphs, where GDI is not there to draw them, and the
    # editor's window in Linux hosts.
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
    pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb)
    target_link_libraries(qz PRIVATE PkgConfig::FREETYPE PkgConfig::XCB)
    # The shared object exports none of it (the DLLs' exports are marked).
    set_target_properties(qz PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endif()
# Sample loops meant to vectorise. GCC's -O2 cost model ("very cheap") turns
# down every loop that needs an alias check or a remainder loop, which is all
# of them; clang vectorises them at -O2 as it is.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set_source_files_properties(
        projects/QZ/QZ_Effect_Copy.cpp
        projects/QZ/QZ_Effect_Koef.cpp
        projects/QZ/QZ_Effect_Oper.cpp
        PROPERTIES COMPILE_OPTIONS -fvect-cost-model=dynamic)
endif()
if(VR_BUILD_FUZZERS)
    # Coverage feedback from the framework, without linking libFuzzer's main.
    target_compile_options(qz PRIVATE -fsanitize=fuzzer-no-link)
endif()
