# The plug-in as an LV2 bundle for Linux hosts, beside the VST 2.x .so:
# VelvetRampart.lv2/ with its descriptions (manifest.ttl, VelvetRampart.ttl),
# the plug-in's library and the editor's. The names, the URIs and the version
# are set here alone: the descriptions are written from plugin/lv2/*.ttl.in
# and the code's names from plugin/lv2/QZ_Lv2_Names.h.in.

if(WIN32)
    return()
endif()

find_package(PkgConfig REQUIRED)
pkg_check_modules(LV2 REQUIRED IMPORTED_TARGET lv2)

set(VR_LV2_NAME "Velvet Rampart")
set(VR_LV2_VENDOR "rampart.audio")
set(VR_LV2_TITLE "${VR_LV2_VENDOR} ${VR_LV2_NAME}")
set(VR_LV2_PROJECT "https://${VR_LV2_VENDOR}/VelvetRampart")
set(VR_LV2_URI "https://${VR_LV2_VENDOR}/lv2/VelvetRampart")
set(VR_LV2_UI_URI "${VR_LV2_URI}#ui")
set(VR_LV2_BUNDLE_NAME VelvetRampart.lv2)
set(VR_LV2_BUNDLE ${CMAKE_BINARY_DIR}/${VR_LV2_BUNDLE_NAME})
set(VR_LV2_DSP VelvetRampart_dsp.so)
set(VR_LV2_UI VelvetRampart_ui.so)
set(VR_LV2_TTL VelvetRampart.ttl)

configure_file(${CMAKE_SOURCE_DIR}/plugin/lv2/manifest.ttl.in ${VR_LV2_BUNDLE}/manifest.ttl @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/plugin/lv2/VelvetRampart.ttl.in ${VR_LV2_BUNDLE}/${VR_LV2_TTL}
               @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/plugin/lv2/QZ_Lv2_Names.h.in
               ${CMAKE_BINARY_DIR}/generated/lv2/QZ_Lv2_Names.h @ONLY)

# The code both libraries share (and the tests link): the ports and their
# mapping, the sustainer application.
vr_sources(VR_APPLICATION_SOURCES FLAT plugin/QZ_Application*.cpp)
add_library(vr_lv2_headers INTERFACE)
target_include_directories(vr_lv2_headers INTERFACE ${CMAKE_SOURCE_DIR}/plugin/lv2
                           ${CMAKE_BINARY_DIR}/generated/lv2)
target_link_libraries(vr_lv2_headers INTERFACE vr_plugin_headers PkgConfig::LV2)

# The plug-in's and the editor's code, for the tests (which link the
# application through vr_plugin_code).
add_library(vr_lv2_code INTERFACE)
target_sources(vr_lv2_code INTERFACE ${CMAKE_SOURCE_DIR}/plugin/lv2/QZ_Lv2.cpp
               ${CMAKE_SOURCE_DIR}/plugin/lv2/QZ_Lv2_Plugin.cpp
               ${CMAKE_SOURCE_DIR}/plugin/lv2/QZ_Lv2_Ui.cpp)
target_link_libraries(vr_lv2_code INTERFACE vr_lv2_headers)

# vr_lv2_library(target file entry sources...): one of the bundle's libraries,
# exporting its entry point alone, as the VST 2.x .so does.
function(vr_lv2_library target file entry)
    add_library(${target} MODULE ${ARGN} ${CMAKE_SOURCE_DIR}/plugin/lv2/QZ_Lv2.cpp
                ${VR_APPLICATION_SOURCES})
    vr_warnings(${target})
    target_link_libraries(${target} PRIVATE vr_lv2_headers qz)
    set(map ${CMAKE_BINARY_DIR}/generated/lv2/${target}.map)
    file(WRITE ${map}.in "/* Written by cmake/lv2.cmake. */\n{\n    global:\n        ${entry};\n    local:\n        *;\n};\n")
    configure_file(${map}.in ${map} COPYONLY)
    set_target_properties(${target} PROPERTIES
        PREFIX "" OUTPUT_NAME ${file} SUFFIX ""
        LIBRARY_OUTPUT_DIRECTORY ${VR_LV2_BUNDLE}
        CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
        LINK_DEPENDS ${map})
    target_link_options(${target} PRIVATE LINKER:--version-script=${map} LINKER:--exclude-libs,ALL)
    if(NOT VR_SANITIZED)
        target_link_options(${target} PRIVATE LINKER:--no-undefined)
    endif()
endfunction()

vr_lv2_library(VelvetRampart_lv2 ${VR_LV2_DSP} lv2_descriptor
               ${CMAKE_SOURCE_DIR}/plugin/lv2/QZ_Lv2_Plugin.cpp)
vr_lv2_library(VelvetRampart_lv2ui ${VR_LV2_UI} lv2ui_descriptor
               ${CMAKE_SOURCE_DIR}/plugin/lv2/QZ_Lv2_Ui.cpp)
