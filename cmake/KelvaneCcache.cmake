# Compiles through ccache when KELVANE_CCACHE is on (the project's presets turn it on) and ccache is
# installed. Paths under the source tree are hashed relative to it and the build directory is left
# out of the hash, so a fresh clone in another folder hits the cache its developer's builds filled.
option(KELVANE_CCACHE "Compile through ccache when it is installed (on in the project's presets)" OFF)
if(KELVANE_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  find_program(KELVANE_CCACHE_PROGRAM ccache)
  if(KELVANE_CCACHE_PROGRAM)
    set(CMAKE_CXX_COMPILER_LAUNCHER
        ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${PROJECT_SOURCE_DIR} CCACHE_NOHASHDIR=1
        ${KELVANE_CCACHE_PROGRAM})
    set(CMAKE_C_COMPILER_LAUNCHER ${CMAKE_CXX_COMPILER_LAUNCHER})
  endif()
endif()
