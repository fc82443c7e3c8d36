#pragma once

// A registered check case and the registry that holds them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace case_runner {

enum class ExpectedFailureKind {
  // The case passes by returning.
  None,
  // The case passes only by failing, with any message.
  Any,
  // The case passes only by failing with a message that contains `required_message`.
  WithMessage,
};

struct ExpectedFailure {
  ExpectedFailureKind kind = ExpectedFailureKind::None;
  std::string_view required_message{};

  static constexpr ExpectedFailure none() { return {}; }
  static constexpr ExpectedFailure any() { return {ExpectedFailureKind::Any, {}}; }
  static constexpr ExpectedFailure with_message(std::string_view text) {
    return {ExpectedFailureKind::WithMessage, text};
  }
};

// The case body: passes by returning, fails by throwing (see check.hpp).
using CaseEntry = void (*)();

struct CaseDescriptor {
  // Full name, module path included; unique; also the name of the case's thread.
  std::string_view name{};
  // Reported as ignored and not run, unless --ignored or --include-ignored is given.
  bool ignored = false;
  // Shown after "ignored, " in the result line.
  std::optional<std::string_view> ignore_message = std::nullopt;
  ExpectedFailure expected_failure = {};
  // Repository-relative file that defines the case, and the span of the case's name there
  // (1-based; the end column is the column just past the name).
  std::string_view source_file{};
  std::uint32_t start_line = 0;
  std::uint32_t start_col = 0;
  std::uint32_t end_line = 0;
  std::uint32_t end_col = 0;
  CaseEntry entry = nullptr;
};

namespace detail {

// Never defined: calling one of these in a constant expression makes the registry
// definition fail to compile, and the function's name says why.
void registry_names_must_be_in_ascending_byte_wise_order_and_unique();
void registry_case_has_no_name();

struct NoCases {};

}  // namespace detail

// Builds a registry from descriptors listed in ascending byte-wise name order, checking
// the order and the uniqueness of the names at compile time:
//   constexpr auto kRegistry = case_runner::make_registry({
//       {.name = "a", .source_file = "f.cpp", ..., .entry = &a},
//       {.name = "b", .source_file = "f.cpp", ..., .entry = &b},
//   });
template <std::size_t N>
consteval std::array<CaseDescriptor, N> make_registry(const CaseDescriptor (&cases)[N]) {
  std::array<CaseDescriptor, N> registry{};
  for (std::size_t i = 0; i < N; ++i) {
    // (A missing entry cannot be checked here: with sanitizers, GCC does not treat a
    // function's address as a constant known to be non-null. The runner fails such a case.)
    if (cases[i].name.empty()) detail::registry_case_has_no_name();
    // string_view compares through char_traits<char>, which orders bytes as unsigned char.
    if (i > 0 && !(cases[i - 1].name < cases[i].name)) {
      detail::registry_names_must_be_in_ascending_byte_wise_order_and_unique();
    }
    registry[i] = cases[i];
  }
  return registry;
}

// The empty registry: `make_registry({})`.
consteval std::array<CaseDescriptor, 0> make_registry(detail::NoCases) { return {}; }

}  // namespace case_runner
