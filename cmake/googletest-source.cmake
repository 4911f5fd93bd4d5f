# GoogleTest compiled from Debian's source package, for builds (the mingw-w64 cross build)
# where no prebuilt library matches the target. Provides the same GTest:: targets that
# find_package(GTest) gives on Linux, so tests/CMakeLists.txt links them the same way.
set(VEXAL_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest source tree for cross builds")
if(NOT EXISTS ${VEXAL_GTEST_SOURCE_DIR}/googletest/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${VEXAL_GTEST_SOURCE_DIR} (Debian package googletest)")
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${VEXAL_GTEST_SOURCE_DIR}/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# GoogleTest's own sources are not ours to hold to -Werror.
foreach(lib gtest gtest_main)
    target_compile_options(${lib} PRIVATE -w)
    if(NOT TARGET GTest::${lib})
        add_library(GTest::${lib} ALIAS ${lib})
    endif()
endforeach()
