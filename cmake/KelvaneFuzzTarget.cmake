# kelvane_fuzz_target(<name> LIBS <libraries>...): the fuzz target <name>_fuzzer, a
# LLVMFuzzerTestOneInput in <name>_fuzzer.cpp of the calling folder, with the fuzz support headers
# (kelvane_fuzz_support, crates/kelvane-dat/fuzz).
#
# In the fuzz build (KELVANE_FUZZ, clang) a target links libFuzzer. In every other build it links
# the replay main (kelvane_fuzz_replay_main) instead, and CTest runs it over the calling folder's
# committed corpus: the seeds in corpus/<name>/ and every input that ever found a fault in
# regressions/<name>/.
function(kelvane_fuzz_target name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  set(target ${name}_fuzzer)
  add_executable(${target} ${name}_fuzzer.cpp)
  target_link_libraries(${target} PRIVATE kelvane_fuzz_support ${ARG_LIBS})
  kelvane_strict_warnings(${target})
  if(KELVANE_FUZZ)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    return()
  endif()
  target_link_libraries(${target} PRIVATE kelvane_fuzz_replay_main)
  set(inputs ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name})
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/regressions/${name})
    list(APPEND inputs ${CMAKE_CURRENT_SOURCE_DIR}/regressions/${name})
  endif()
  add_test(NAME fuzz_replay.${name} COMMAND ${target} ${inputs})
endfunction()
