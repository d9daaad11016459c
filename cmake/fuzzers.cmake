# The libFuzzer targets: tests/fuzz/NAME_fuzz.cpp.

vr_sources(VR_FUZZ_SOURCES FLAT tests/fuzz/*_fuzz.cpp)
foreach(src IN LISTS VR_FUZZ_SOURCES)
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    vr_warnings(${name})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE qz)
    if(TARGET rampart_core)
        target_link_libraries(${name} PRIVATE rampart_core)
    endif()
endforeach()
