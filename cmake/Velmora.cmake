# Velmora, the device-scan program, staged beside Quennet in the model's folder ${MODULE_DIR}, where it finds the
# driver library, its language libraries, the registration library and the still-image service stand-in. Its name
# gives its INI file: ScannerVazeDozi.exe less its last 12 characters is Scanner, hence C:\Windows\Scanner.ini, the
# INI file Quennet reads too.

add_executable(velmora ${PROJECT_SOURCE_DIR}/devicescan/program/VelmoraProgram.cpp)
target_link_libraries(velmora PRIVATE devicescan velmora_resources platform_main)
set_target_properties(velmora PROPERTIES OUTPUT_NAME "ScannerVazeDozi.exe" RUNTIME_OUTPUT_DIRECTORY ${MODULE_DIR})
project_warnings(velmora)
# What the program loads at run time: the driver library, the still-image service and registration stand-ins and a
# language library for every language it speaks.
get_property(velmora_languages GLOBAL PROPERTY LANGUAGE_CODES)
foreach(companion scandrv sti_standin quillet_standin)
    if(TARGET ${companion})
        add_dependencies(velmora ${companion})
    endif()
endforeach()
foreach(code ${velmora_languages})
    if(TARGET kvxpsrc${code})
        add_dependencies(velmora kvxpsrc${code})
    endif()
endforeach()
if(TARGET scankey)
    add_dependencies(scankey velmora)
endif()
if(TARGET scankey_tests)
    add_dependencies(scankey_tests velmora)
endif()
