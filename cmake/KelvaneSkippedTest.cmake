# kelvane_skipped_test(<name> <reason>): a test that cannot run on this target stays visible. CTest
# reports it as skipped, and its output (ctest --output-on-failure, or -V) gives the reason.
function(kelvane_skipped_test name reason)
  add_test(NAME ${name} COMMAND sh -c "echo \"skipped on ${CMAKE_SYSTEM_NAME}: $1\"; exit 77" sh
                                       "${reason}")
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()
