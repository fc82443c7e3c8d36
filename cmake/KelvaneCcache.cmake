# Compiles through ccache when KELVANE_CCACHE is on (the project's presets turn it on) and ccache is
# installed. Paths under the source tree are hashed relative to it and the build directory is left
# out of the hash, so a fresh clone in another folder hits the cache its developer's builds filled.
option(KELVANE_CCACHE "Compile through ccache when it is installed (on in the project's presets)" OFF)
if(KELVANE_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  find_program(KELVANE_CCACHE_PROGRAM ccache)
  if(KELVANE_CCACHE_PROGRAM)
    # ccache hands the compiler the source path relative to the build directory, which the
    # absolute -ffile-prefix-map of the top-level list no longer matches: map that form away too,
    # so failure locations still read as paths relative to the project's root.
    file(RELATIVE_PATH kelvane_source_from_build "${CMAKE_BINARY_DIR}" "${PROJECT_SOURCE_DIR}")
    string(REGEX REPLACE "/$" "" kelvane_source_from_build "${kelvane_source_from_build}")
    add_compile_options("-ffile-prefix-map=${kelvane_source_from_build}/=")
    # ccache leaves prefix maps out of its hash, yet they decide the file names that
    # std::source_location compiles in: the namespace keys the cache by the mapping instead.
    set(CMAKE_CXX_COMPILER_LAUNCHER
        ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${PROJECT_SOURCE_DIR} CCACHE_NOHASHDIR=1
        CCACHE_NAMESPACE=kelvane-file-prefix-map-${kelvane_source_from_build}
        ${KELVANE_CCACHE_PROGRAM})
    set(CMAKE_C_COMPILER_LAUNCHER ${CMAKE_CXX_COMPILER_LAUNCHER})
  endif()
endif()
