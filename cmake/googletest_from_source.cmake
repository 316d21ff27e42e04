# GoogleTest and GoogleMock built from the distribution's sources with the
# cross toolchain: the host's prebuilt libraries are Linux objects. Provides
# the imported names find_package(GTest) would.
if(TARGET GTest::gtest)
    return()
endif()

set(ZOR_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest source tree to build for the target")
if(NOT EXISTS ${ZOR_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources at ${ZOR_GOOGLETEST_SOURCE_DIR} (install the googletest package)")
endif()

set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_build_tests OFF CACHE BOOL "" FORCE)
set(gtest_build_samples OFF CACHE BOOL "" FORCE)
set(gmock_build_tests OFF CACHE BOOL "" FORCE)
# Static libraries, like everything else in the Windows build: test programs
# must not need runtime DLLs beside them.
set(BUILD_SHARED_LIBS OFF)

add_subdirectory(${ZOR_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)

# Third-party code: its warnings are not ours to fix.
foreach(lib gtest gtest_main gmock gmock_main)
    target_compile_options(${lib} PRIVATE -w)
endforeach()

# Recent GoogleTest releases name their targets GTest::* themselves.
foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
        add_library(GTest::${lib} ALIAS ${lib})
    endif()
endforeach()
# Older spellings of the same targets.
add_library(GTest::GTest ALIAS gtest)
add_library(GTest::Main ALIAS gtest_main)

# Test folders that call find_package(GTest) get these targets rather than a
# search of the cross sysroot, which holds none.
set(_zor_gtest_config_dir ${CMAKE_BINARY_DIR}/_googletest_config)
file(WRITE ${_zor_gtest_config_dir}/GTestConfig.cmake
    "# Written by googletest_from_source.cmake: the targets exist already.\n"
    "if(NOT TARGET GTest::gtest)\n"
    "    set(GTest_FOUND FALSE)\n"
    "    set(GTest_NOT_FOUND_MESSAGE \"GoogleTest from source was not added\")\n"
    "endif()\n")
set(GTest_DIR ${_zor_gtest_config_dir} CACHE PATH "GoogleTest built from source" FORCE)
