# Installs the library into fresh prefixes and uses it as an outsider would, for both linkages and
# as a subproject:
#   - this build's library (static or shared), installed;
#   - a second build of the library and the tool with the other linkage, installed;
#   - the consumer project taking this checkout in through FetchContent.
# For each install: checks what was installed (and, for a shared library, what it exports), builds
# the consumer project with find_package, builds the same program with pkg-config's flags, and runs
# everything on a sample archive. Also checks that the README shows that program as it is.
#
# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DLIBRARY_TYPE=... -DWORK_DIR=... -DCONSUMER_DIR=...
#       -DREADME=... -DSAMPLE_TOOL=... -DCXX_COMPILER=... -DGENERATOR=... -DBUILD_TYPE=...
#       -DEXPECTED_VERSION=... -DEXPORTED_SYMBOLS=... [-DCXX_FLAGS=...] [-DLINK_FLAGS=...]
#       [-DPKG_CONFIG=...] [-DNM=...] [-DKELVANE_CCACHE=ON]
#       -P install_test.cmake
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

# list_tables prints one line per string table, then the text of the known entry.
function(expect_left_alt what)
  string(REGEX MATCH "[^\n]*\n$" last_line "${run_output}")
  if(NOT last_line STREQUAL "Left Alt\n")
    message(FATAL_ERROR "${what} ended with '${last_line}':\n${run_output}")
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

set(sample "${WORK_DIR}/local_English.dat")
# The builds of the library are kept between runs, so a second run only rebuilds what changed.
file(MAKE_DIRECTORY "${WORK_DIR}")
file(GLOB previous RELATIVE "${WORK_DIR}" "${WORK_DIR}/*")
foreach(entry IN LISTS previous)
  if(NOT entry MATCHES "^(library|fetch)-build$")
    file(REMOVE_RECURSE "${WORK_DIR}/${entry}")
  endif()
endforeach()

# A sample archive to run the programs on; it holds the table 0x2300000A.
run("${SAMPLE_TOOL}" "${sample}")

separate_arguments(cxx_flags UNIX_COMMAND "${CXX_FLAGS}")
separate_arguments(link_flags UNIX_COMMAND "${LINK_FLAGS}")

# Checks the install at `prefix` of a `type` (STATIC_LIBRARY or SHARED_LIBRARY) library and builds
# and runs the consumer against it.
function(check_install prefix type)
  message(STATUS "checking the ${type} install in ${prefix}")
  # 1. Nothing but the library, its headers, its package files, the licence and the tool with its
  #    shell completions and manual page.
  file(GLOB_RECURSE installed RELATIVE "${prefix}" "${prefix}/*")
  set(expected_kinds library config version targets pkgconfig tool umbrella version_header
                     licence bash_completion zsh_completion fish_completion man_page)
  if(type STREQUAL "SHARED_LIBRARY")
    list(APPEND expected_kinds soname_link)
    set(library_pattern "libkelvane_dat\\.so(\\.[0-9]+\\.[0-9]+\\.[0-9]+)?")
  else()
    set(library_pattern "libkelvane_dat\\.a")
  endif()
  string(REPLACE "." ";" version_parts "${EXPECTED_VERSION}")
  list(GET version_parts 0 major)
  foreach(path IN LISTS installed)
    if(path MATCHES "^include/kelvane_dat/.+\\.hpp$")
      if(path STREQUAL "include/kelvane_dat/kelvane_dat.hpp")
        list(REMOVE_ITEM expected_kinds umbrella)
      elseif(path STREQUAL "include/kelvane_dat/version.hpp")
        list(REMOVE_ITEM expected_kinds version_header)
      endif()
    elseif(path MATCHES "^(lib[^/]*(/[^/]+)?)/${library_pattern}$")
      list(REMOVE_ITEM expected_kinds library)
      set(libdir "${CMAKE_MATCH_1}")
    elseif(type STREQUAL "SHARED_LIBRARY" AND path MATCHES "^lib[^/]*(/[^/]+)?/libkelvane_dat\\.so\\.${major}$")
      list(REMOVE_ITEM expected_kinds soname_link)
    elseif(path MATCHES "/cmake/kelvane_dat/kelvane_datConfig\\.cmake$")
      list(REMOVE_ITEM expected_kinds config)
    elseif(path MATCHES "/cmake/kelvane_dat/kelvane_datConfigVersion\\.cmake$")
      list(REMOVE_ITEM expected_kinds version)
    elseif(path MATCHES "/cmake/kelvane_dat/kelvane_datTargets(-[a-z]+)?\\.cmake$")
      list(REMOVE_ITEM expected_kinds targets)
    elseif(path MATCHES "/pkgconfig/kelvane_dat\\.pc$")
      list(REMOVE_ITEM expected_kinds pkgconfig)
    elseif(path STREQUAL "share/doc/kelvane_dat/LICENSE")
      list(REMOVE_ITEM expected_kinds licence)
    elseif(path STREQUAL "bin/kelvane-dat")
      list(REMOVE_ITEM expected_kinds tool)
    elseif(path STREQUAL "share/bash-completion/completions/kelvane-dat")
      list(REMOVE_ITEM expected_kinds bash_completion)
    elseif(path STREQUAL "share/zsh/site-functions/_kelvane-dat")
      list(REMOVE_ITEM expected_kinds zsh_completion)
    elseif(path STREQUAL "share/fish/vendor_completions.d/kelvane-dat.fish")
      list(REMOVE_ITEM expected_kinds fish_completion)
    elseif(path STREQUAL "share/man/man1/kelvane-dat.1")
      list(REMOVE_ITEM expected_kinds man_page)
    else()
      message(FATAL_ERROR "installed something that is not part of the library: ${path}")
    endif()
  endforeach()
  if(expected_kinds)
    message(FATAL_ERROR "not installed: ${expected_kinds}\ninstalled: ${installed}")
  endif()

  # 2. The headers stand on their own: every project include resolves inside the installed tree
  #    (a private src/detail header would not), and the umbrella header includes every header: the
  #    helpers the library builds on are private, so every installed header is public API.
  set(helper_headers kelvane_dat/kelvane_dat.hpp kelvane_dat/export.hpp)
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

  # 3. A shared library exports its public API and nothing else: each of the library's own
  #    symbols it exports is on the list in exported_symbols.txt. The list only shrinks: a symbol
  #    joins it only with a public declaration that needs it. (The standard library's templates
  #    instantiated for our types are exported too, and vary with the optimisation level; they are
  #    not counted.)
  if(type STREQUAL "SHARED_LIBRARY" AND NM)
    run("${NM}" -D --defined-only -C "${prefix}/${libdir}/libkelvane_dat.so.${major}")
    foreach(symbol IN ITEMS "kelvane_dat::DatDatabase::open(" "kelvane_dat::decompress_lrs(")
      expect_output_has("${symbol}")
    endforeach()
    file(STRINGS "${EXPORTED_SYMBOLS}" allowed REGEX "^[^#]")
    string(REPLACE "\n" ";" exported "${run_output}")
    set(ours 0)
    set(unlisted "")
    foreach(line IN LISTS exported)
      # "<address> <type> <name>"
      string(REGEX REPLACE "^[0-9a-fA-F]+ [A-Za-z] " "" name "${line}")
      if(NOT name MATCHES "^((typeinfo name|typeinfo|vtable|VTT) for )?kelvane_dat::")
        continue()
      endif()
      math(EXPR ours "${ours} + 1")
      if(NOT name IN_LIST allowed)
        list(APPEND unlisted "${name}")
      endif()
    endforeach()
    list(LENGTH allowed listed)
    message(STATUS "the shared library exports ${ours} of its own symbols; ${listed} are allowed")
    if(unlisted)
      list(JOIN unlisted "\n  " unlisted)
      message(FATAL_ERROR "exported but not in exported_symbols.txt:\n  ${unlisted}")
    endif()
  endif()

  # 4. The installed tool runs.
  run("${prefix}/bin/kelvane-dat" --version)
  expect_output_has("kelvane-dat ${EXPECTED_VERSION}\n")
  run("${prefix}/bin/kelvane-dat" strings "${sample}" 0x2300000A)
  expect_output_has("  0x014152D5  \"Left Alt\"\n")

  # 5. The consumer project, through find_package.
  get_filename_component(name "${prefix}" NAME)
  set(consumer_build "${WORK_DIR}/${name}-consumer")
  run("${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${consumer_build}" -G "${GENERATOR}"
      "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}"
      "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
      "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
      "-DEXPECT_LIBRARY_TYPE=${type}")
  run("${CMAKE_COMMAND}" --build "${consumer_build}")
  run("${consumer_build}/version_check")
  run("${consumer_build}/list_tables" "${sample}")
  expect_output_has("0x2300000A  ")
  expect_left_alt("list_tables (${type})")

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
  # Against the shared library the headers must know it (kelvane_dat/export.hpp).
  string(FIND " ${pc_flags} " " -DKELVANE_DAT_SHARED " at)
  set(marked_shared YES)
  if(at EQUAL -1)
    set(marked_shared NO)
  endif()
  set(is_shared NO)
  if(type STREQUAL "SHARED_LIBRARY")
    set(is_shared YES)
  endif()
  if(NOT marked_shared STREQUAL is_shared)
    message(FATAL_ERROR "pkg-config flags of a ${type}: ${pc_flags}")
  endif()
  separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
  set(program "${WORK_DIR}/${name}-list_tables_pc")
  run("${CXX_COMPILER}" -std=c++23 ${cxx_flags} ${link_flags} "${CONSUMER_DIR}/list_tables.cpp"
      -o "${program}" ${pc_flags} "-Wl,-rpath,${prefix}/${libdir}")
  run("${program}" "${sample}")
  expect_left_alt("list_tables (pkg-config, ${type})")
endfunction()

# This build's library.
run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${WORK_DIR}/prefix")
check_install("${WORK_DIR}/prefix" "${LIBRARY_TYPE}")

# The other linkage: the library and the tool alone, built as a packager would (no tests, no
# -Werror), with this build's compiler and flags.
if(LIBRARY_TYPE STREQUAL "SHARED_LIBRARY")
  set(other_type STATIC_LIBRARY)
  set(shared OFF)
else()
  set(other_type SHARED_LIBRARY)
  set(shared ON)
endif()
set(library_build "${WORK_DIR}/library-build")
run("${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${library_build}" -G "${GENERATOR}"
    "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}"
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}"
    "-DCMAKE_SHARED_LINKER_FLAGS=${LINK_FLAGS}" "-DBUILD_SHARED_LIBS=${shared}"
    -DKELVANE_BUILD_TESTS=OFF -DKELVANE_BUILD_PROGRAMS=ON "-DKELVANE_CCACHE=${KELVANE_CCACHE}")
run("${CMAKE_COMMAND}" --build "${library_build}" --target kelvane_dat kelvane-dat
    kelvane_dat_shell_files_all)
run("${CMAKE_COMMAND}" --install "${library_build}" --prefix "${WORK_DIR}/other-prefix")
check_install("${WORK_DIR}/other-prefix" "${other_type}")

# 7. This checkout as a subproject, through FetchContent: only the library is built, nothing looks
#    for GoogleTest or Google Benchmark, and the source-location prefix map is this project's root.
set(fetch_build "${WORK_DIR}/fetch-build")
run("${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${fetch_build}" -G "${GENERATOR}"
    "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}"
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}"
    -DKELVANE_DAT_FROM=fetch "-DKELVANE_DAT_SOURCE_DIR=${SOURCE_DIR}"
    -DEXPECT_LIBRARY_TYPE=STATIC_LIBRARY -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON
    -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
    "-DKELVANE_CCACHE=${KELVANE_CCACHE}")
run("${CMAKE_COMMAND}" --build "${fetch_build}")
file(READ "${fetch_build}/compile_commands.json" compile_commands)
string(FIND "${compile_commands}" "-ffile-prefix-map=${SOURCE_DIR}/=" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the subproject does not map ${SOURCE_DIR} away in source locations")
endif()
run("${fetch_build}/version_check")
run("${fetch_build}/list_tables" "${sample}")
expect_left_alt("list_tables (FetchContent)")
