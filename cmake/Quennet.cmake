# Quennet, the TWAIN data source module, laid out as installed: Scanner64.ds in the model's module folder
# ${MODULE_DIR}, the data source manager stand-in in ${STAGE_DIR}/lib and the command-line imaging application in
# ${STAGE_DIR}/bin. Standard managers on Linux find the module as a file whose name contains ".ds" in a subfolder of
# their data-source folder (here ${STAGE_DIR}/twain).

add_library(quennet MODULE ${PROJECT_SOURCE_DIR}/twain/Module.cpp)
target_link_libraries(quennet PRIVATE ui_scanwindow ui_dialogs ui_controls quennet_resources twain scanner imaging settings
                                      platform_twain platform_user platform_gdi platform_base)
set_target_properties(quennet PROPERTIES
    PREFIX ""
    SUFFIX ""
    OUTPUT_NAME "Scanner64.ds"
    LIBRARY_OUTPUT_DIRECTORY ${MODULE_DIR}
    LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/Quennet.map)
target_link_options(quennet PRIVATE -Wl,--no-undefined -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/Quennet.map)
project_warnings(quennet)

# What the module loads at run time stands beside it as installed: the driver library, the image-effect library and
# a language library for every language it speaks.
get_property(quennet_languages GLOBAL PROPERTY LANGUAGE_CODES)
foreach(companion scandrv tonalis)
    if(TARGET ${companion})
        add_dependencies(quennet ${companion})
    endif()
endforeach()
foreach(code ${quennet_languages})
    if(TARGET kvxtwrc${code})
        add_dependencies(quennet kvxtwrc${code})
    endif()
endforeach()
if(TARGET twaindsm_standin)
    set_target_properties(twaindsm_standin PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${STAGE_DIR}/lib)
endif()
if(TARGET twainapp)
    set_target_properties(twainapp PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${STAGE_DIR}/bin)
endif()
