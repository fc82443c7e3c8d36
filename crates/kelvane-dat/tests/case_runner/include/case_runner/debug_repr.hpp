#pragma once

// Debug renderings of values, as shown in the "left:" and "right:" lines of a failed
// equality check:
//   integers        decimal (also signed/unsigned char and std::byte: they are numbers)
//   bool            true / false
//   char            'a', escaped like a text (a lone byte >= 0x80 becomes '\xNN')
//   floating point  shortest round trip with at least one fractional digit (1.0, 0.1),
//                   exponent form outside [1e-4, 1e16) (1e16, 1.5e-7), inf, -inf, NaN
//   texts           std::string, std::string_view, const char*, char arrays (up to the
//                   first NUL), std::u8string/u16string/u32string (and their views):
//                   double-quoted, UTF-8 input, with \" \\ \t \r \n \0, \u{hex} (lower-case,
//                   unpadded) for other non-printable code points and \xNN for bytes that are
//                   not valid UTF-8
//   std::optional   None or Some(x); std::nullopt is None
//   pairs, tuples   (a, b)
//   maps            {k: v, k: v}; sets {a, b}; other ranges (vector, array, span...) [a, b]
//   raw pointers    0x-prefixed hexadecimal address; nullptr is null
//   anything else   a member `x.debug_string()` or an ADL-found free `debug_string(x)`,
//                   returning something convertible to std::string
// A type with none of these is a compile-time error.

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ranges>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

namespace case_runner {

namespace detail {

std::string debug_signed(long long value);
std::string debug_unsigned(unsigned long long value);
std::string debug_double(double value);
std::string debug_float(float value);
std::string debug_pointer(const void* address);
// `quote` is '"' for texts and '\'' for single characters.
std::string debug_utf8(std::string_view text, char quote = '"');
std::string debug_utf16(std::u16string_view text, char quote = '"');
std::string debug_utf32(std::u32string_view text, char quote = '"');

template <class T>
inline constexpr bool kIsCharacter =
    std::is_same_v<T, char> || std::is_same_v<T, wchar_t> || std::is_same_v<T, char8_t> ||
    std::is_same_v<T, char16_t> || std::is_same_v<T, char32_t>;

template <class T>
concept Utf8Text = std::is_convertible_v<const T&, std::string_view> && !std::is_array_v<T> &&
                   !std::is_same_v<T, std::nullptr_t>;

template <class T>
concept Utf16Text = std::is_convertible_v<const T&, std::u16string_view> && !std::is_array_v<T>;

template <class T>
concept Utf32Text = std::is_convertible_v<const T&, std::u32string_view> && !std::is_array_v<T>;

template <class T>
concept Utf8OnlyText = std::is_convertible_v<const T&, std::u8string_view> && !std::is_array_v<T>;

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

template <class T>
concept TupleLike = requires {
  typename std::tuple_size<T>::type;
}
&&!std::ranges::range<T>;

template <class T>
concept MapLike = std::ranges::input_range<T> && requires {
  typename T::key_type;
  typename T::mapped_type;
};

template <class T>
concept SetLike = std::ranges::input_range<T> && requires {
  typename T::key_type;
} && !MapLike<T>;

template <class T>
concept HasMemberDebugString = requires(const T& value) {
  { value.debug_string() } -> std::convertible_to<std::string>;
};

// Only ADL can find the free function: this deleted declaration hides any other name.
void debug_string() = delete;

template <class T>
concept HasFreeDebugString = requires(const T& value) {
  { debug_string(value) } -> std::convertible_to<std::string>;
};

template <class T>
inline constexpr bool kUnsupported = false;

}  // namespace detail

template <class T>
std::string debug_repr(const T& value);

namespace detail {

template <class Tuple, std::size_t... I>
std::string debug_tuple(const Tuple& tuple, std::index_sequence<I...>) {
  std::string out = "(";
  ((out += (I == 0 ? "" : ", "), out += ::case_runner::debug_repr(std::get<I>(tuple))), ...);
  if constexpr (sizeof...(I) == 1) out += ",";  // a one-element tuple reads (x,)
  out += ")";
  return out;
}

template <class Range>
std::string debug_sequence(const Range& range, char open, char close) {
  std::string out(1, open);
  bool first = true;
  for (const auto& element : range) {
    if (!first) out += ", ";
    first = false;
    if constexpr (MapLike<Range>) {
      out += ::case_runner::debug_repr(element.first);
      out += ": ";
      out += ::case_runner::debug_repr(element.second);
    } else {
      out += ::case_runner::debug_repr(element);
    }
  }
  out += close;
  return out;
}

}  // namespace detail

template <class T>
std::string debug_repr(const T& value) {
  using V = std::remove_cv_t<T>;
  if constexpr (std::is_same_v<V, bool>) {
    return value ? "true" : "false";
  } else if constexpr (std::is_same_v<V, char>) {
    return detail::debug_utf8(std::string_view(&value, 1), '\'');
  } else if constexpr (std::is_same_v<V, char8_t>) {
    const char byte = static_cast<char>(value);
    return detail::debug_utf8(std::string_view(&byte, 1), '\'');
  } else if constexpr (std::is_same_v<V, char16_t>) {
    return detail::debug_utf16(std::u16string_view(&value, 1), '\'');
  } else if constexpr (std::is_same_v<V, char32_t> || std::is_same_v<V, wchar_t>) {
    const char32_t code_point = static_cast<char32_t>(value);
    return detail::debug_utf32(std::u32string_view(&code_point, 1), '\'');
  } else if constexpr (std::is_integral_v<V> && std::is_signed_v<V>) {
    return detail::debug_signed(value);
  } else if constexpr (std::is_integral_v<V>) {
    return detail::debug_unsigned(value);
  } else if constexpr (std::is_same_v<V, std::byte>) {
    return detail::debug_unsigned(std::to_integer<unsigned>(value));
  } else if constexpr (std::is_same_v<V, float>) {
    return detail::debug_float(value);
  } else if constexpr (std::is_floating_point_v<V>) {
    return detail::debug_double(static_cast<double>(value));
  } else if constexpr (std::is_same_v<V, std::nullptr_t>) {
    return "null";
  } else if constexpr (std::is_array_v<V> &&
                       detail::kIsCharacter<std::remove_cv_t<std::remove_extent_t<V>>>) {
    // A character array (usually a literal) holds a text up to its first NUL.
    using Char = std::remove_cv_t<std::remove_extent_t<V>>;
    std::size_t length = 0;
    while (length < std::extent_v<V> && value[length] != Char{}) ++length;
    return debug_repr(std::basic_string_view<Char>(value, length));
  } else if constexpr (detail::Utf8Text<V>) {
    if constexpr (std::is_pointer_v<V>) {
      if (value == nullptr) return "null";
    }
    return detail::debug_utf8(std::string_view(value));
  } else if constexpr (detail::Utf8OnlyText<V>) {
    const std::u8string_view text(value);
    return detail::debug_utf8(
        std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
  } else if constexpr (detail::Utf16Text<V>) {
    return detail::debug_utf16(std::u16string_view(value));
  } else if constexpr (detail::Utf32Text<V>) {
    return detail::debug_utf32(std::u32string_view(value));
  } else if constexpr (std::is_convertible_v<const V&, std::wstring_view>) {
    const std::wstring_view wide(value);
    return detail::debug_utf32(std::u32string(wide.begin(), wide.end()));
  } else if constexpr (std::is_same_v<V, std::nullopt_t>) {
    return "None";
  } else if constexpr (detail::IsOptional<V>::value) {
    if (!value.has_value()) return "None";
    return "Some(" + debug_repr(*value) + ")";
  } else if constexpr (std::is_pointer_v<V>) {
    if (value == nullptr) return "null";
    return detail::debug_pointer(static_cast<const void*>(value));
  } else if constexpr (detail::HasMemberDebugString<V>) {
    return std::string(value.debug_string());
  } else if constexpr (detail::HasFreeDebugString<V>) {
    using detail::debug_string;
    return std::string(debug_string(value));
  } else if constexpr (detail::TupleLike<V>) {
    return detail::debug_tuple(value, std::make_index_sequence<std::tuple_size_v<V>>{});
  } else if constexpr (detail::MapLike<V> || detail::SetLike<V>) {
    return detail::debug_sequence(value, '{', '}');
  } else if constexpr (std::ranges::input_range<const V>) {
    return detail::debug_sequence(value, '[', ']');
  } else {
    static_assert(detail::kUnsupported<T>,
                  "case_runner::debug_repr: give this type a debug_string() member or an "
                  "ADL-visible free function debug_string(const T&) returning std::string");
    return {};
  }
}

}  // namespace case_runner
