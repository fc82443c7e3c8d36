# Installs the build into a fresh prefix and uses it as an outsider would: checks what was
# installed, builds the consumer project with find_package, builds the same program with
# pkg-config's flags, and runs everything on a sample archive. Also checks that the README shows
# that program as it is.
#
# cmake -DBUILD_DIR=... -DWORK_DIR=... -DCONSUMER_DIR=... -DREADME=... -DSAMPLE_TOOL=...
#       -DCXX_COMPILER=...
#       -DGENERATOR=... -DBUILD_TYPE=... -DEXPECTED_VERSION=... [-DCXX_FLAGS=...]
#       [-DLINK_FLAGS=...] [-DPKG_CONFIG=...] -P install_test.cmake
cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    string(JOIN " " command ${ARGN})
    message(FATAL_ERROR "failed (${status}): ${command}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

function(expect_output_has text)
  string(FIND "${run_output}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "expected output containing '${text}', got:\n${run_output}")
  endif()
endfunction()

# 0. The README shows the consumer's program, word for word (less its leading comment).
file(READ "${README}" readme)
string(FIND "${readme}" "## Use the library" section)
string(SUBSTRING "${readme}" ${section} -1 readme)
string(FIND "${readme}" "```cpp\n" block_start)
math(EXPR block_start "${block_start} + 7")
string(SUBSTRING "${readme}" ${block_start} -1 shown)
string(FIND "${shown}" "```\n" block_end)
string(SUBSTRING "${shown}" 0 ${block_end} shown)
file(READ "${CONSUMER_DIR}/list_tables.cpp" program)
string(REGEX REPLACE "^(//[^\n]*\n)+\n" "" program "${program}")
if(section EQUAL -1 OR block_start EQUAL 6 OR NOT shown STREQUAL program)
  message(FATAL_ERROR "the README's example differs from consumer/list_tables.cpp:\n${shown}")
endif()

set(prefix "${WORK_DIR}/prefix")
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

# 1. Install, and nothing but the library, its headers, its package files and the tool.
run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")
file(GLOB_RECURSE installed RELATIVE "${prefix}" "${prefix}/*")
set(expected_kinds library config version targets pkgconfig tool umbrella version_header)
foreach(path IN LISTS installed)
  if(path MATCHES "^include/kelvane_dat/.+\\.hpp$")
    if(path STREQUAL "include/kelvane_dat/kelvane_dat.hpp")
      list(REMOVE_ITEM expected_kinds umbrella)
    elseif(path STREQUAL "include/kelvane_dat/version.hpp")
      list(REMOVE_ITEM expected_kinds version_header)
    endif()
  elseif(path MATCHES "^lib[^/]*(/[^/]+)?/libkelvane_dat\\.a$")
    list(REMOVE_ITEM expected_kinds library)
    string(REGEX REPLACE "/libkelvane_dat\\.a$" "" libdir "${path}")
  elseif(path MATCHES "/cmake/kelvane_dat/kelvane_datConfig\\.cmake$")
    list(REMOVE_ITEM expected_kinds config)
  elseif(path MATCHES "/cmake/kelvane_dat/kelvane_datConfigVersion\\.cmake$")
    list(REMOVE_ITEM expected_kinds version)
  elseif(path MATCHES "/cmake/kelvane_dat/kelvane_datTargets(-[a-z]+)?\\.cmake$")
    list(REMOVE_ITEM expected_kinds targets)
  elseif(path MATCHES "/pkgconfig/kelvane_dat\\.pc$")
    list(REMOVE_ITEM expected_kinds pkgconfig)
  elseif(path STREQUAL "bin/kelvane-dat")
    list(REMOVE_ITEM expected_kinds tool)
  else()
    message(FATAL_ERROR "installed something that is not part of the library: ${path}")
  endif()
endforeach()
if(expected_kinds)
  message(FATAL_ERROR "not installed: ${expected_kinds}\ninstalled: ${installed}")
endif()

# 2. The headers stand on their own: every project include resolves inside the installed tree
#    (a private src/detail header would not), and the umbrella header includes every header but
#    the helpers the library builds on, which programs include on their own when they want them.
set(helper_headers kelvane_dat/kelvane_dat.hpp kelvane_dat/block_chain.hpp
    kelvane_dat/debug_format.hpp kelvane_dat/endian.hpp kelvane_dat/export.hpp
    kelvane_dat/file_descriptor.hpp)
file(GLOB_RECURSE headers RELATIVE "${prefix}/include" "${prefix}/include/kelvane_dat/*.hpp")
file(READ "${prefix}/include/kelvane_dat/kelvane_dat.hpp" umbrella)
foreach(header IN LISTS headers)
  file(STRINGS "${prefix}/include/${header}" includes REGEX "^#include \"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*$" "\\1" included "${line}")
    if(NOT EXISTS "${prefix}/include/${included}")
      message(FATAL_ERROR "${header} includes \"${included}\", which is not installed")
    endif()
  endforeach()
  if(NOT header IN_LIST helper_headers)
    string(FIND "${umbrella}" "#include \"${header}\"" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "kelvane_dat/kelvane_dat.hpp does not include ${header}")
    endif()
  endif()
endforeach()

# 3. A sample archive to run the programs on; it holds the table 0x2300000A.
set(sample "${WORK_DIR}/local_English.dat")
run("${SAMPLE_TOOL}" "${sample}")

# 4. The installed tool runs.
run("${prefix}/bin/kelvane-dat" --version)
expect_output_has("kelvane-dat ${EXPECTED_VERSION}\n")
run("${prefix}/bin/kelvane-dat" strings "${sample}" 0x2300000A)
expect_output_has("  0x014152D5  \"Left Alt\"\n")

# 5. The consumer project, through find_package.
set(consumer_build "${WORK_DIR}/consumer-build")
run("${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${consumer_build}" -G "${GENERATOR}"
    "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}"
    "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
run("${CMAKE_COMMAND}" --build "${consumer_build}")
run("${consumer_build}/version_check")
run("${consumer_build}/list_tables" "${sample}")
expect_output_has("0x2300000A  ")
string(REGEX MATCH "[^\n]*\n$" last_line "${run_output}")
if(NOT last_line STREQUAL "Left Alt\n")
  message(FATAL_ERROR "list_tables ended with '${last_line}':\n${run_output}")
endif()

# 6. The same program built with nothing but pkg-config's flags.
if(NOT PKG_CONFIG)
  message(STATUS "pkg-config not found: the .pc file is not checked")
  return()
endif()
set(ENV{PKG_CONFIG_PATH} "${prefix}/${libdir}/pkgconfig")
run("${PKG_CONFIG}" --modversion kelvane_dat)
expect_output_has("${EXPECTED_VERSION}")
run("${PKG_CONFIG}" --cflags --libs kelvane_dat)
string(STRIP "${run_output}" pc_flags)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(cxx_flags UNIX_COMMAND "${CXX_FLAGS}")
separate_arguments(link_flags UNIX_COMMAND "${LINK_FLAGS}")
run("${CXX_COMPILER}" -std=c++23 ${cxx_flags} ${link_flags} "${CONSUMER_DIR}/list_tables.cpp"
    -o "${WORK_DIR}/list_tables_pc" ${pc_flags})
run("${WORK_DIR}/list_tables_pc" "${sample}")
string(REGEX MATCH "[^\n]*\n$" last_line "${run_output}")
if(NOT last_line STREQUAL "Left Alt\n")
  message(FATAL_ERROR "list_tables (pkg-config) ended with '${last_line}':\n${run_output}")
endif()
