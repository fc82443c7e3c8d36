# Runs Doxygen for the docs target: cmake -DDOXYGEN=... -DDOXYFILE=... -DOUTPUT=... -P run_doxygen.cmake
# On any warning (an undocumented public name, a broken doc command) it prints the warnings and
# fails, leaving no index.html behind, so the next build runs Doxygen again.
file(REMOVE_RECURSE "${OUTPUT}/html")
file(REMOVE "${OUTPUT}/warnings.log")
execute_process(COMMAND "${DOXYGEN}" "${DOXYFILE}" RESULT_VARIABLE status)
set(warnings "")
if(EXISTS "${OUTPUT}/warnings.log")
  file(READ "${OUTPUT}/warnings.log" warnings)
endif()
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
  file(REMOVE "${OUTPUT}/html/index.html")
  message(FATAL_ERROR "docs: Doxygen reported problems (${OUTPUT}/warnings.log):\n${warnings}")
endif()
message(STATUS "docs: ${OUTPUT}/html/index.html")
