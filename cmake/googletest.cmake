# GoogleTest for the tests, when BUILD_TESTING asks for them: from sources where there are some
# (Debian's, by default), built by whichever compiler this tree uses, so that the native and the
# Windows tests share one framework; else as an installed package (MSYS2's, vcpkg's). Without
# either, the tests are off and the programs still build. Sets QUORVANE_TESTS.
set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")

set(QUORVANE_TESTS OFF)
if(NOT BUILD_TESTING)
    message(STATUS "Tests off: BUILD_TESTING is OFF")
    return()
endif()

if(EXISTS ${GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
    find_package(GTest QUIET)
endif()

if(TARGET GTest::gtest_main)
    set(QUORVANE_TESTS ON)
else()
    message(STATUS "Tests off: GoogleTest is neither in GOOGLETEST_SOURCE_DIR "
                   "(${GOOGLETEST_SOURCE_DIR}) nor installed as a package")
endif()
