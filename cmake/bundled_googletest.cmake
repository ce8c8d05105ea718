# GoogleTest and GoogleMock built with the project, from the sources of Debian's
# libgtest-dev, for a target that has no installed copy (the Windows cross build). Gives
# the same GTest::gtest, GTest::gtest_main and GTest::gmock targets as find_package.
set(TRELWICK_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${TRELWICK_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources at ${TRELWICK_GOOGLETEST_SOURCE} "
                      "(install libgtest-dev, or set TRELWICK_GOOGLETEST_SOURCE)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${TRELWICK_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
