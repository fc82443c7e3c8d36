#pragma once

/// \file
/// KELVANE_DAT_EXPORT marks the library's public API.
///
/// A static library needs no marking. A shared one is built with hidden visibility, so only what is
/// marked here is exported; the build defines KELVANE_DAT_SHARED for the library and everything
/// that links it, and KELVANE_DAT_BUILDING only while compiling the library itself.

#if defined(KELVANE_DAT_SHARED)
#if defined(_WIN32)
#if defined(KELVANE_DAT_BUILDING)
#define KELVANE_DAT_EXPORT __declspec(dllexport)
#else
#define KELVANE_DAT_EXPORT __declspec(dllimport)
#endif
#else
#define KELVANE_DAT_EXPORT __attribute__((visibility("default")))
#endif
#else
#define KELVANE_DAT_EXPORT
#endif
