# kelvane_unity_build(<target> <batches>): compiles the target's .cpp sources as <batches>
# translation units, each including a share of them, when KELVANE_UNITY_BUILD is on.
#
# Most of what a tool source costs to compile is the CLI11 and nlohmann/json headers it includes,
# parsed, instantiated and code-generated again in every file; a batch pays for them once. The
# batches include their sources by paths relative to the target's source directory, not by absolute paths as CMake's own UNITY_BUILD does, so a batch reads the
# same in every checkout and ccache serves a fresh clone from the cache its developer's builds
# filled. Call it after every source is added.
option(KELVANE_UNITY_BUILD
       "Compile the tool's sources in a few batches (faster full builds, slower edit-one-file rebuilds)"
       ON)

function(kelvane_unity_build target batches)
  if(NOT KELVANE_UNITY_BUILD)
    return()
  endif()
  get_target_property(sources ${target} SOURCES)
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  list(LENGTH sources count)
  # Consecutive sources share a batch, so a batch holds related files (the translation formats).
  math(EXPR per_batch "(${count} + ${batches} - 1) / ${batches}")
  set(batch_sources)
  set(index 0)
  set(content "")
  foreach(source IN LISTS sources)
    string(APPEND content "#include \"${source}\"\n")
    math(EXPR index "${index} + 1")
    math(EXPR in_batch "${index} % ${per_batch}")
    if(in_batch EQUAL 0 OR index EQUAL count)
      list(LENGTH batch_sources batch)
      set(batch_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_unity_${batch}.cpp")
      # Written only when it changes, so an unchanged batch does not rebuild.
      file(CONFIGURE OUTPUT "${batch_file}" CONTENT "${content}" @ONLY)
      list(APPEND batch_sources "${batch_file}")
      set(content "")
    endif()
  endforeach()
  set_source_files_properties(${sources} TARGET_DIRECTORY ${target} PROPERTIES HEADER_FILE_ONLY ON)
  target_sources(${target} PRIVATE ${batch_sources})
  target_include_directories(${target} PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}")
endfunction()
