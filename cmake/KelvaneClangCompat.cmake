# clang 14 with libstdc++ 12, the compilers of the fuzz build, cannot use two C++23 headers the
# library relies on:
#   <expected>         is hidden unless __cpp_concepts >= 202002L, and clang 14 reports 201907L
#                      because it lacks conditionally trivial special members (P0848). Defining
#                      the macro is not enough: the header then fails on exactly those members.
#   <source_location>  needs __builtin_source_location, which arrived in clang 15.
# When the standard library's own headers do not compile, this writes replacements into the build
# tree and puts them ahead of the standard library's: <expected> is the standard library's own
# header with the guard relaxed, its trivial/non-trivial member pairs collapsed into the
# non-trivial ones, and the "not constructible from another expected" constraints of its
# converting constructors dropped (clang 14 recurses on them for error types with a constructor
# template, like DatError); <source_location> is cmake/compat/source_location. Behaviour is the
# same for every use in this project; only triviality of expected's special members differs.
include(CheckCXXSourceCompiles)

set(_kelvane_compat_probe [[
#include <expected>
#include <source_location>
#include <string>
std::expected<std::string, int> probe(bool ok) {
  if (ok) return std::string("x");
  return std::unexpected(1);
}
int main() {
  auto copy = probe(true);
  auto other = copy;
  return static_cast<int>(other->size() + std::source_location::current().line());
}
]])

check_cxx_source_compiles("${_kelvane_compat_probe}" KELVANE_STDLIB_CXX23_WORKS)
if(NOT KELVANE_STDLIB_CXX23_WORKS)
  set(_compat_dir "${PROJECT_BINARY_DIR}/stdlib-compat")
  file(MAKE_DIRECTORY "${_compat_dir}")

  # Where the standard library's <expected> lives, from the compiler's own dependency list.
  file(WRITE "${_compat_dir}/locate.cpp" "#include <expected>\n")
  execute_process(
    COMMAND "${CMAKE_CXX_COMPILER}" -std=c++2b -M "${_compat_dir}/locate.cpp"
    OUTPUT_VARIABLE _dependencies RESULT_VARIABLE _located)
  string(REGEX MATCH "[^ \t\n\\\\]*/c\\+\\+/[^ \t\n\\\\]*/expected" _expected_header "${_dependencies}")
  if(NOT _located EQUAL 0 OR NOT EXISTS "${_expected_header}")
    message(FATAL_ERROR "cannot find the standard library's <expected> to adapt for ${CMAKE_CXX_COMPILER}")
  endif()
  file(READ "${_expected_header}" _expected)

  # Each pattern must occur; a standard library that changed shape fails here, not in a build.
  # (A "." stands for each ";", which would split the list.)
  set(_ws "[ \t\n]*")
  set(_patches
    "__cplusplus > 202002L && __cpp_concepts >= 202002L|__cplusplus > 202002L"
    "expected\\(const expected&\\) = default.|"
    "expected\\(expected&&\\) = default.|"
    "constexpr ~expected\\(\\) = default.|"
    "&& \\(!is_trivially_(copy|move)_constructible_v<_Tp>${_ws}\\|\\| !is_trivially_(copy|move)_constructible_v<_Er>\\)|"
    "&& \\(!is_trivially_(copy|move)_constructible_v<_Er>\\)|"
    "~expected\\(\\)${_ws}requires \\(!is_trivially_destructible_v<_Tp>\\)${_ws}\\|\\| \\(!is_trivially_destructible_v<_Er>\\)|~expected()"
    "~expected\\(\\) requires \\(!is_trivially_destructible_v<_Er>\\)|~expected()"
    "&& \\(!__cons_from_expected<_Up, _Gr>\\)|")
  foreach(_patch IN LISTS _patches)
    string(FIND "${_patch}" "|" _bar REVERSE)
    string(SUBSTRING "${_patch}" 0 ${_bar} _pattern)
    math(EXPR _after "${_bar} + 1")
    string(SUBSTRING "${_patch}" ${_after} -1 _replacement)
    if(NOT _expected MATCHES "${_pattern}")
      message(FATAL_ERROR "${_expected_header} no longer contains '${_pattern}'; update ${CMAKE_CURRENT_LIST_FILE}")
    endif()
    string(REGEX REPLACE "${_pattern}" "${_replacement}" _expected "${_expected}")
  endforeach()
  file(WRITE "${_compat_dir}/expected" "${_expected}")
  configure_file("${CMAKE_CURRENT_LIST_DIR}/compat/source_location" "${_compat_dir}/source_location" COPYONLY)

  set(CMAKE_REQUIRED_INCLUDES "${_compat_dir}")
  check_cxx_source_compiles("${_kelvane_compat_probe}" KELVANE_STDLIB_COMPAT_WORKS)
  unset(CMAKE_REQUIRED_INCLUDES)
  if(NOT KELVANE_STDLIB_COMPAT_WORKS)
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} cannot build C++23 <expected> even with ${_compat_dir}")
  endif()
  message(STATUS "Using adapted <expected> and <source_location> from ${_compat_dir}")
  include_directories(SYSTEM BEFORE "${_compat_dir}")
endif()
