# A caller that drops a Result gets a diagnostic: ignored_result.cpp compiles when it keeps the
# result of DatDatabase::open and fails with -Wunused-result when it drops it.
#
# cmake -DCXX_COMPILER=... -DSOURCE=... -DINCLUDE_DIRS="a;b" -P ignored_result_test.cmake

set(includes)
foreach(dir IN LISTS INCLUDE_DIRS)
  list(APPEND includes "-I${dir}")
endforeach()
set(compile "${CXX_COMPILER}" -std=c++23 -fsyntax-only -Werror=unused-result ${includes} "${SOURCE}")

execute_process(COMMAND ${compile} RESULT_VARIABLE kept_status ERROR_VARIABLE kept_errors)
if(NOT kept_status EQUAL 0)
  message(FATAL_ERROR "keeping the result should compile:\n${kept_errors}")
endif()

execute_process(COMMAND ${compile} -DKELVANE_DROP_RESULT
  RESULT_VARIABLE dropped_status ERROR_VARIABLE dropped_errors)
if(dropped_status EQUAL 0 OR NOT dropped_errors MATCHES "unused-result")
  message(FATAL_ERROR "dropping the result should fail with -Werror=unused-result:\n${dropped_errors}")
endif()
