# The plug-in: VelvetRampart.dll or VelvetRampart.so.

vr_sources(VR_PLUGIN_SOURCES RECURSE plugin/*.cpp)
# The LV2 bundle's code is built into libraries of its own (cmake/lv2.cmake).
list(FILTER VR_PLUGIN_SOURCES EXCLUDE REGEX "/plugin/lv2/")
if(WIN32)
    vr_sources(VR_PLUGIN_RESOURCES RECURSE plugin/*.rc)
    if(VR_PLUGIN_RESOURCES)
        enable_language(RC)
        list(APPEND VR_PLUGIN_SOURCES ${VR_PLUGIN_RESOURCES})
    endif()
    # Exports the entry point under its other names (main=VSTPluginMain).
    vr_sources(VR_PLUGIN_DEF FLAT plugin/VelvetRampart.def)
    list(APPEND VR_PLUGIN_SOURCES ${VR_PLUGIN_DEF})
endif()

# The plug-in's headers, for what hosts it or looks inside it: plug-in code,
# its tools and its tests. The framework does not see them.
add_library(vr_plugin_headers INTERFACE)
target_include_directories(vr_plugin_headers INTERFACE ${CMAKE_SOURCE_DIR}/plugin)

# The plug-in's own code without the library's load routine, entry aliases
# and export list: tests, benchmarks and rampart's editor shot link it to
# look inside the plug-in.
set(VR_PLUGIN_CODE ${VR_PLUGIN_SOURCES})
list(FILTER VR_PLUGIN_CODE INCLUDE REGEX "\\.cpp$")
list(FILTER VR_PLUGIN_CODE EXCLUDE REGEX "_(Dll|Entry)_[A-Za-z0-9]+\\.cpp$")
add_library(vr_plugin_code INTERFACE)
target_sources(vr_plugin_code INTERFACE ${VR_PLUGIN_CODE})
target_link_libraries(vr_plugin_code INTERFACE vr_plugin_headers qz)

# Its sample loops are meant to vectorise (see the framework's).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set_source_files_properties(plugin/QZ_Application.cpp
                                PROPERTIES COMPILE_OPTIONS -fvect-cost-model=dynamic)
endif()

add_library(VelvetRampart SHARED ${VR_PLUGIN_SOURCES})
target_link_libraries(VelvetRampart PRIVATE vr_plugin_headers)
vr_warnings(VelvetRampart)
set_target_properties(VelvetRampart PROPERTIES PREFIX "")
# Whole archive: every exported framework symbol must be in the plug-in,
# whether or not the plug-in's own code uses it.
target_link_libraries(VelvetRampart PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,qz>")
if(NOT WIN32)
    # The entry points and nothing else, whatever the objects and the
    # static libraries linked in mark as visible.
    set(VR_PLUGIN_VERSION_SCRIPT ${CMAKE_SOURCE_DIR}/plugin/VelvetRampart.map)
    set_target_properties(VelvetRampart PROPERTIES
        CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
        LINK_DEPENDS ${VR_PLUGIN_VERSION_SCRIPT})
    target_link_options(VelvetRampart PRIVATE
        LINKER:--version-script=${VR_PLUGIN_VERSION_SCRIPT} LINKER:--exclude-libs,ALL)
endif()
if(NOT WIN32 AND NOT VR_SANITIZED)
    # A host finds a missing symbol only when it loads us: fail at link time.
    target_link_options(VelvetRampart PRIVATE LINKER:--no-undefined)
endif()
