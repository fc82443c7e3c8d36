#pragma once

// The one place for compiler-specific constructs. Everything else in the project is standard C++,
// so another compiler (MSVC, which is not built here) needs changes only in this header.

#include <cstdlib>
#include <memory>
#include <string>
#include <typeinfo>

#if defined(__GNUC__)
#include <cxxabi.h>
#endif

// Keeps a function out of line, for code that counts its own stack frames.
#if defined(__GNUC__)
#define KELVANE_NOINLINE __attribute__((noinline))
#elif defined(_MSC_VER)
#define KELVANE_NOINLINE __declspec(noinline)
#else
#define KELVANE_NOINLINE
#endif

// SSE2 intrinsics (<emmintrin.h>) are available: every x86-64 target, and 32-bit x86 built for it.
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define KELVANE_HAVE_SSE2 1
#else
#define KELVANE_HAVE_SSE2 0
#endif

namespace kelvane_platform {

// Asks for the cache line holding `address` to be loaded for reading, without waiting for it and
// without faulting. Where the compiler offers no such hint, nothing.
inline void prefetch_for_read(const void* address) {
#if defined(__GNUC__)
  __builtin_prefetch(address, 0);
#else
  static_cast<void>(address);
#endif
}

// A symbol's source-level name ("std::runtime_error") from its mangled form, or the input
// unchanged where the compiler's names are not mangled or it cannot be demangled.
inline std::string demangle(const char* name) {
#if defined(__GNUC__)
  int status = 0;
  const std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
  if (status == 0 && demangled) return demangled.get();
#endif
  return name;
}

// The type of the exception being handled (inside a catch block), or nullptr where unknown.
inline const std::type_info* current_exception_type() {
#if defined(__GNUC__)
  return abi::__cxa_current_exception_type();
#else
  return nullptr;
#endif
}

// The exception that unwinds a thread being cancelled; a catch-all must rethrow it. Where thread
// cancellation does not unwind, a type that is never thrown.
#if defined(__GNUC__)
using ForcedUnwind = abi::__forced_unwind;
#else
struct ForcedUnwind {};
#endif

}  // namespace kelvane_platform
