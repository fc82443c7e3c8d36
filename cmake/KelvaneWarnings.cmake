# Strict warnings for the project's own targets only (third-party headers stay system includes).
# They are on in every build; KELVANE_WERROR (on in the project's presets and in CI, off by
# default) makes them errors.
function(kelvane_strict_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow)
  if(KELVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  # GCC 12 at -O2 and above flags std::string's operator+ as an overlapping memcpy
  # (a known false positive inside libstdc++), which -Werror would turn into a failed build.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()
