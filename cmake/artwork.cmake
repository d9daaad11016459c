# The editor's artwork: drawn and encoded at build time by tools/artwork, a
# host program built with the build machine's compilers in every preset (the
# cross builds and the sanitizer build included), then embedded: in the
# Windows DLL (and qzsh.exe) as "DATA" resources through a generated resource
# script, natively as a generated table linked into qz (QZ_Resources.h).
include(ExternalProject)

set(VR_ARTWORK_DIR ${CMAKE_BINARY_DIR}/resources)
set(VR_ARTWORK_TOOL ${CMAKE_BINARY_DIR}/artwork-tool/build/artwork${CMAKE_HOST_EXECUTABLE_SUFFIX})

# Its own project, so neither the cross toolchain nor the sanitizer flags reach it.
ExternalProject_Add(artwork_tool
    PREFIX ${CMAKE_BINARY_DIR}/artwork-tool
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools/artwork
    BINARY_DIR ${CMAKE_BINARY_DIR}/artwork-tool/build
    CMAKE_ARGS -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=Release
    # The tool's own build decides whether anything changed.
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${VR_ARTWORK_TOOL}
    INSTALL_COMMAND "")

# The images, named as the editor asks for them.
set(VR_ARTWORK_IMAGES
    ALB.qzif ALM.qzif ALT.qzif AMB.qzif AMT.qzif ARB.qzif ARM.qzif ART.qzif
    BGND.qzif BUT.qzvf
    GLB.qzif GLM.qzif GLT.qzif GMB.qzif GMM.qzif GMT.qzif GRB.qzif GRM.qzif GRT.qzif
    I61X11.qzif TUNE.qzvf)
list(TRANSFORM VR_ARTWORK_IMAGES PREPEND ${VR_ARTWORK_DIR}/ OUTPUT_VARIABLE VR_ARTWORK_FILES)
set(VR_ARTWORK_RC ${VR_ARTWORK_DIR}/resources.rc)
set(VR_ARTWORK_TABLE ${VR_ARTWORK_DIR}/resources_table.cpp)

file(GLOB VR_ARTWORK_TOOL_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/tools/artwork/*.cpp
     ${CMAKE_SOURCE_DIR}/tools/artwork/*.h
     ${CMAKE_SOURCE_DIR}/tools/artwork/CMakeLists.txt)

# The tool rewrites only files whose content changed, so an edit that leaves
# the images alone rebuilds nothing downstream.
add_custom_command(
    OUTPUT ${VR_ARTWORK_FILES} ${VR_ARTWORK_RC} ${VR_ARTWORK_TABLE}
           ${VR_ARTWORK_DIR}/contact-sheet.png
    COMMAND ${VR_ARTWORK_TOOL} ${VR_ARTWORK_DIR}
    DEPENDS artwork_tool ${VR_ARTWORK_TOOL} ${VR_ARTWORK_TOOL_SOURCES}
    COMMENT "Drawing and encoding the editor's artwork"
    VERBATIM)
add_custom_target(artwork ALL DEPENDS ${VR_ARTWORK_FILES} ${VR_ARTWORK_RC} ${VR_ARTWORK_TABLE})

if(WIN32)
    enable_language(RC)
    # windres reads the files the script names; it does not report them as dependencies.
    set_source_files_properties(${VR_ARTWORK_RC} PROPERTIES OBJECT_DEPENDS "${VR_ARTWORK_FILES}")
else()
    target_sources(qz PRIVATE ${VR_ARTWORK_TABLE})
endif()

# Targets defined further down the top-level list: attached once it is read.
function(vr_artwork_attach)
    if(WIN32 AND TARGET VelvetRampart)
        target_sources(VelvetRampart PRIVATE ${VR_ARTWORK_RC})
    endif()
    # qzsh makes widgets from the same images: its own copy of them, found
    # in the program's module as the DLL finds its own.
    if(WIN32 AND TARGET qzsh)
        target_sources(qzsh PRIVATE ${VR_ARTWORK_RC})
    endif()
    # The encoder runs in the test programs too; tool_tests also checks the
    # generated images and what each build embeds of them.
    foreach(suite qz_tests tool_tests)
        if(TARGET ${suite})
            target_sources(${suite} PRIVATE ${CMAKE_SOURCE_DIR}/tools/artwork/QZ_Encode.cpp)
            target_include_directories(${suite} PRIVATE ${CMAKE_SOURCE_DIR}/tools/artwork)
        endif()
    endforeach()
    if(TARGET tool_tests)
        target_sources(tool_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/artwork/Decode.cpp)
        add_dependencies(tool_tests artwork)
        # On Windows it reads them back from the DLL's resources.
        if(WIN32 AND TARGET VelvetRampart)
            add_dependencies(tool_tests VelvetRampart)
        endif()
    endif()
endfunction()
cmake_language(DEFER CALL vr_artwork_attach)
