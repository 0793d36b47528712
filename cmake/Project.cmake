# Shared helpers for the folders' CMakeLists.

function(project_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)
    # The fuzz configuration is clang's: its other warnings do not stop it.
    if(NOT FUZZ)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# project_subfolders(): adds every subfolder of the current folder that has a CMakeLists.txt, in name order; each is
# one target (or one test program). A macro, so the subfolders see the current folder's scope as their parent.
macro(project_subfolders)
    file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
    list(SORT children)
    foreach(child ${children})
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
            add_subdirectory(${child})
        endif()
    endforeach()
endmacro()

# project_library(<name> [DEPS ...] [SOURCES ...]): a static library of every .cpp in the current folder.
function(project_library name)
    cmake_parse_arguments(A "" "" "DEPS;SOURCES" ${ARGN})
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_library(${name} STATIC ${srcs} ${A_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${A_DEPS})
    project_warnings(${name})
endfunction()

# project_tests(<name> [DEPS ...]): one GoogleTest program of every .cpp in the current folder, each test a ctest case.
find_package(GTest REQUIRED)
include(GoogleTest)
function(project_tests name)
    cmake_parse_arguments(A "" "" "DEPS;SOURCES" ${ARGN})
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_executable(${name} ${srcs} ${A_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/test_main.cpp)
    target_compile_definitions(${name} PRIVATE PROJECT_STAGE_DIR="${STAGE_DIR}" PROJECT_MODULE_DIR="${MODULE_DIR}")
    target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gmock pthread)
    project_warnings(${name})
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endfunction()

# The resource compiler (platform/rc) is a host tool; it is added on first need when the platform folder has not.
function(project_add_resource_compiler)
    if(NOT TARGET platform_rc)
        add_subdirectory(${PROJECT_SOURCE_DIR}/platform/rc ${CMAKE_BINARY_DIR}/platform/rc_tool)
    endif()
endfunction()

# project_resources(<target> <manifest>): compiles the manifest's resources into <target>. At run time they belong
# to the module <target> is linked into (FindResourceW with that module's handle); nothing is exported. On a static
# library the resources are kept alive in every module that links it.
function(project_resources target manifest)
    project_add_resource_compiler()
    get_filename_component(manifest ${manifest} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    get_filename_component(stem ${manifest} NAME_WE)
    string(MAKE_C_IDENTIFIER "platform_resources_${target}_${stem}" anchor)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_${stem}_rc.cpp)
    add_custom_command(OUTPUT ${out}
        COMMAND platform_rc --module ${manifest} ${out} --depfile ${out}.d --anchor ${anchor}
        DEPENDS platform_rc ${manifest}
        DEPFILE ${out}.d
        COMMENT "Compiling resources ${stem} into ${target}"
        VERBATIM)
    target_sources(${target} PRIVATE ${out})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "STATIC_LIBRARY")
        target_link_options(${target} INTERFACE "LINKER:--undefined=${anchor}")
    endif()
endfunction()

# project_resource_module(<name> <manifest> <output-file-name> <dest-dir>): a data-only shared object (no code of
# platform in it) holding the manifest's resources, written as <dest-dir>/<output-file-name>. LoadLibraryW of the
# matching ".dll" name, then FindResourceW/LoadStringW read it.
function(project_resource_module name manifest output dest)
    project_add_resource_compiler()
    get_filename_component(manifest ${manifest} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${name}_rc.cpp)
    add_custom_command(OUTPUT ${out}
        COMMAND platform_rc --data ${manifest} ${out} --depfile ${out}.d
        DEPENDS platform_rc ${manifest}
        DEPFILE ${out}.d
        COMMENT "Compiling resource module ${output}"
        VERBATIM)
    add_library(${name} MODULE ${out})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX "" OUTPUT_NAME ${output}
                                             LIBRARY_OUTPUT_DIRECTORY ${dest})
endfunction()

# Copies what the data source loads beside itself at run time (the driver, the image-effect library and the language
# libraries) into the current binary folder and makes `target` depend on it, so a program or test built there finds
# them as the installed module does.
function(project_quennet_companions target)
    set(companions ${CMAKE_CURRENT_BINARY_DIR}/${SCANDRV_FILE_PREFIX}lld.so
                   ${CMAKE_CURRENT_BINARY_DIR}/${SCANDRV_FILE_PREFIX}Tonalis.so)
    add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${SCANDRV_FILE_PREFIX}lld.so
                       COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:scandrv> ${CMAKE_CURRENT_BINARY_DIR}/
                       DEPENDS scandrv)
    add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${SCANDRV_FILE_PREFIX}Tonalis.so
                       COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tonalis> ${CMAKE_CURRENT_BINARY_DIR}/
                       DEPENDS tonalis)
    get_property(codes GLOBAL PROPERTY LANGUAGE_CODES)
    foreach(code ${codes})
        if(TARGET kvxtwrc${code})
            list(APPEND companions ${CMAKE_CURRENT_BINARY_DIR}/kvxtwrc${code}.so)
            add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/kvxtwrc${code}.so
                               COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:kvxtwrc${code}> ${CMAKE_CURRENT_BINARY_DIR}/
                               DEPENDS kvxtwrc${code})
        endif()
    endforeach()
    add_custom_target(${target}_companions DEPENDS ${companions})
    add_dependencies(${target} ${target}_companions)
endfunction()
