# GoogleTest built from source with the project's own compiler, for builds that cannot use the
# host's prebuilt copy (a cross build for Windows). Debian's googletest package ships the sources.
# find_package(GTest) anywhere in the project then finds these targets (GTest::gtest,
# GTest::gtest_main) instead of searching the system.
include(FetchContent)

set(KELVANE_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest sources to build")
if(NOT EXISTS "${KELVANE_GTEST_SOURCE_DIR}/googletest/CMakeLists.txt")
  message(FATAL_ERROR "no GoogleTest sources in ${KELVANE_GTEST_SOURCE_DIR}; install Debian's googletest package or set KELVANE_GTEST_SOURCE_DIR")
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
FetchContent_Declare(GTest SOURCE_DIR "${KELVANE_GTEST_SOURCE_DIR}" SYSTEM OVERRIDE_FIND_PACKAGE)
FetchContent_MakeAvailable(GTest)
