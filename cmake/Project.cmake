# Shared helpers for the folders' CMakeLists.

function(project_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-unused-parameter
                                             -Wno-missing-field-initializers)
endfunction()

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
    target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gtest_main GTest::gmock pthread)
    project_warnings(${name})
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES TIMEOUT 120 ENVIRONMENT "STAGE_DIR=${STAGE_DIR};MODULE_DIR=${MODULE_DIR}")
endfunction()
