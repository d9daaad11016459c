# The contents of a user's package.

# What `cmake --install` puts into a user's package (scripts/package.sh strips
# the plug-in and archives it): the plug-in, where hosts look for it, the licence;
# on Linux also the LV2 bundle, a folder ready to copy into ~/.lv2.
if(TARGET VelvetRampart AND NOT VR_SANITIZED)
    if(WIN32)
        set(VR_INSTALL_TEXT ${CMAKE_SOURCE_DIR}/packaging/INSTALL-${VR_WINE_ARCH}.txt)
        set(VR_NEWLINES WIN32)
    else()
        set(VR_INSTALL_TEXT ${CMAKE_SOURCE_DIR}/packaging/INSTALL-linux.txt)
        set(VR_NEWLINES UNIX)
    endif()
    set(VERSION ${PROJECT_VERSION})
    configure_file(${VR_INSTALL_TEXT} ${CMAKE_BINARY_DIR}/generated/INSTALL.txt
                   @ONLY NEWLINE_STYLE ${VR_NEWLINES})
    install(FILES $<TARGET_FILE:VelvetRampart> DESTINATION . COMPONENT plugin)
    install(FILES ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/generated/INSTALL.txt
            DESTINATION . COMPONENT plugin)
    if(TARGET VelvetRampart_lv2)
        install(FILES ${VR_LV2_BUNDLE}/manifest.ttl ${VR_LV2_BUNDLE}/${VR_LV2_TTL}
                      $<TARGET_FILE:VelvetRampart_lv2> $<TARGET_FILE:VelvetRampart_lv2ui>
                DESTINATION ${VR_LV2_BUNDLE_NAME} COMPONENT plugin)
    endif()
endif()
