# PCRE2's 8-bit library built from source with the project's own compiler, for builds where the
# system's cannot be linked: pkg-config finds the host's libpcre2 in a cross build, and Debian has
# no MinGW build of it. ./scripts/install-deps.sh windows unpacks Debian's sources of the host's
# version (scripts/fetch-pcre2-source.sh). Defines kelvane_pcre2, the target the tool links.
set(KELVANE_PCRE2_SOURCE_DIR "${PROJECT_SOURCE_DIR}/build/deps/pcre2" CACHE PATH
    "PCRE2 sources to build")
if(NOT EXISTS "${KELVANE_PCRE2_SOURCE_DIR}/CMakeLists.txt")
  message(FATAL_ERROR "no PCRE2 sources in ${KELVANE_PCRE2_SOURCE_DIR}; run ./scripts/install-deps.sh windows or set KELVANE_PCRE2_SOURCE_DIR")
endif()

# Only the static 8-bit library: grep matches UTF-8 texts, and the executables link statically.
# A normal variable, so PCRE2 (in this directory's scope) builds static whatever the user chose for
# the project's own libraries.
set(BUILD_SHARED_LIBS OFF)
set(PCRE2_BUILD_PCRE2_8 ON CACHE BOOL "" FORCE)
set(PCRE2_BUILD_PCRE2GREP OFF CACHE BOOL "" FORCE)
set(PCRE2_BUILD_TESTS OFF CACHE BOOL "" FORCE)
set(PCRE2_SUPPORT_UNICODE ON CACHE BOOL "" FORCE)
set(PCRE2_SUPPORT_JIT ON CACHE BOOL "" FORCE)
set(PCRE2_SHOW_REPORT OFF CACHE BOOL "" FORCE)
# SYSTEM: its headers are third-party to our strict warnings. EXCLUDE_FROM_ALL: only what the tool
# links is built, and none of PCRE2's install rules reach the project's install or cpack zip.
add_subdirectory("${KELVANE_PCRE2_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/_deps/pcre2-build"
                 EXCLUDE_FROM_ALL SYSTEM)
add_library(kelvane_pcre2 ALIAS pcre2-8-static)
