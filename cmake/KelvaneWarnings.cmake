# Strict warnings for the project's own targets only (third-party headers stay system includes).
function(kelvane_strict_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow -Werror)
endfunction()
