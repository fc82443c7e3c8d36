#pragma once

// The check API used by case bodies. A case passes by returning; the first failed check
// throws CheckFailure, which the runner catches at the case thread's boundary, reports
// with the check's source location, and which ends only that case.

#include <concepts>
#include <ostream>
#include <source_location>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "case_runner/debug_repr.hpp"

namespace case_runner {

// Thrown by every failed check. `message` is the complete failure text.
struct CheckFailure {
  std::string message;
  std::source_location location;
};

// Fails the current case with `message`, unchanged.
[[noreturn]] void fail(std::string message,
                       std::source_location where = std::source_location::current());

// Where a case prints: the case's own capture buffer while output is captured, the
// runner's standard output under --no-capture, and std::cout outside any case.
std::ostream& case_output();

namespace detail {

// Integers of different types compare by value (std::cmp_equal), so check_eq(size, 2)
// neither warns about signedness nor wraps around.
template <class T>
concept ComparableInteger =
    std::is_integral_v<T> && !std::is_same_v<T, bool> && !kIsCharacter<std::remove_cv_t<T>>;

template <class L, class R>
constexpr bool values_equal(const L& left, const R& right) {
  if constexpr (ComparableInteger<L> && ComparableInteger<R>) {
    return std::cmp_equal(left, right);
  } else {
    return static_cast<bool>(left == right);
  }
}

// Builds "assertion `left {op} right` failed[: {message}]\n  left: {l}\n right: {r}" and
// throws it as a CheckFailure. A null `message` means the check had none.
[[noreturn]] void fail_comparison(std::string_view op, const std::string* message,
                                  const std::string& left, const std::string& right,
                                  std::source_location where);

}  // namespace detail

template <class L, class R>
void check_eq(const L& left, const R& right,
              std::source_location where = std::source_location::current()) {
  if (!detail::values_equal(left, right)) {
    detail::fail_comparison("==", nullptr, debug_repr(left), debug_repr(right), where);
  }
}

template <class L, class R>
void check_eq(const L& left, const R& right, std::string message,
              std::source_location where = std::source_location::current()) {
  if (!detail::values_equal(left, right)) {
    detail::fail_comparison("==", &message, debug_repr(left), debug_repr(right), where);
  }
}

template <class L, class R>
void check_ne(const L& left, const R& right,
              std::source_location where = std::source_location::current()) {
  if (detail::values_equal(left, right)) {
    detail::fail_comparison("!=", nullptr, debug_repr(left), debug_repr(right), where);
  }
}

template <class L, class R>
void check_ne(const L& left, const R& right, std::string message,
              std::source_location where = std::source_location::current()) {
  if (detail::values_equal(left, right)) {
    detail::fail_comparison("!=", &message, debug_repr(left), debug_repr(right), where);
  }
}

// Fails with `message` unless `condition` holds.
inline void check(bool condition, std::string message,
                  std::source_location where = std::source_location::current()) {
  if (!condition) fail(std::move(message), where);
}

}  // namespace case_runner
