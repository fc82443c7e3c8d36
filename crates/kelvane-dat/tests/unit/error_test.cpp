#include "kelvane_dat/error.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <iomanip>
#include <sstream>

#include "detail/debug_format.hpp"
#include "kelvane_platform/system.hpp"

namespace kelvane_dat {
namespace {

struct RenderCase {
  const char* label;
  DatError error;
  std::string display;
  std::string debug;
};

std::vector<RenderCase> render_cases() {
  const std::string enoent = system_error_message(ENOENT);
  return {
      {"not found", DatError::not_found(0x1A), "File ID 0000001A not found in provider",
       "NotFound(26)"},
      {"not found, full id", DatError::not_found(0x2300000A),
       "File ID 2300000A not found in provider", "NotFound(587202570)"},
      {"duplicate", DatError::duplicate_id(0xABCDEF01), "Duplicate File ID ABCDEF01 detected",
       "DuplicateId(2882400001)"},
      {"duplicate namespaced", DatError::duplicate_namespaced_id("x", 0x12),
       "Duplicate namespaced file x:00000012 detected",
       "DuplicateNamespacedId { namespace: \"x\", file_id: 18 }"},
      {"invalid magic", DatError::invalid_magic("TB\t"), "Invalid magic for format: TB\t",
       "InvalidMagic(\"TB\\t\")"},
      {"unsupported version", DatError::unsupported_version(16), "Unsupported version: 16",
       "UnsupportedVersion(16)"},
      {"invalid namespace", DatError::invalid_namespace("a\"b"), "Invalid namespace: a\"b",
       "InvalidNamespace(\"a\\\"b\")"},
      {"corruption", DatError::corruption("loop at 0x400"), "Corruption detected: loop at 0x400",
       "Corruption(\"loop at 0x400\")"},
      {"decompression", DatError::decompression_failed(0x2300000A),
       "Failed to recover compressed file 2300000A", "DecompressionFailed(587202570)"},
      {"path", DatError::path_error("/nope/x.dat", IoError::from_errno(ENOENT)),
       "Failed to open file at /nope/x.dat: " + enoent + " (os error 2)",
       "PathError { path: \"/nope/x.dat\", source: Os { code: 2, kind: NotFound, message: \"" +
           enoent + "\" } }"},
      {"other", DatError::other("x\\y"), "Other error: x\\y", "Other(\"x\\\\y\")"},
      {"io eof", DatError(IoError::fill_whole_buffer()), "IO error: failed to fill whole buffer",
       "Io(Error { kind: UnexpectedEof, message: \"failed to fill whole buffer\" })"},
      {"io os", DatError(IoError::from_errno(EACCES)),
       "IO error: " + system_error_message(EACCES) + " (os error 13)",
       "Io(Os { code: 13, kind: PermissionDenied, message: \"" + system_error_message(EACCES) +
           "\" })"},
      {"bin read assertion", DatError(ReadError::assertion("StringTable is little-endian only", 0)),
       "Binary read error: StringTable is little-endian only at 0x0",
       "BinRead(StringTable is little-endian only at 0x0)"},
  };
}

TEST(DatError, DisplayAndDebugTexts) {
  if (!kelvane_platform::kOsErrorsAreErrno) {
    GTEST_SKIP() << "the table spells out errno texts; Windows shows the system's own messages";
  }
  for (const RenderCase& c : render_cases()) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(c.error.to_string(), c.display);
    EXPECT_EQ(c.error.debug_string(), c.debug);
  }
}

TEST(DatError, StreamIgnoresWidthAndFill) {
  std::ostringstream out;
  out << std::setw(60) << std::setfill('*') << DatError::not_found(0x1A);
  EXPECT_EQ(out.str(), "File ID 0000001A not found in provider");
}

TEST(DatError, ConversionsKeepTheLowerErrorUnchanged) {
  const DatError from_io = IoError::not_enough_bytes();
  ASSERT_TRUE(from_io.is<DatError::Io>());
  EXPECT_EQ(from_io.get_if<DatError::Io>()->error, IoError::not_enough_bytes());

  const ReadError read =
      ReadError(IoError::fill_whole_buffer()).with_field_context("magic", "DatHeader");
  const DatError from_read = read;
  ASSERT_TRUE(from_read.is<DatError::BinRead>());
  EXPECT_EQ(from_read.get_if<DatError::BinRead>()->error, read);
}

TEST(DatError, PathWithInvalidUtf8IsShownLossily) {
  if (!kelvane_platform::kOsErrorsAreErrno) {
    GTEST_SKIP() << "a Windows path is UTF-16 and its errors are not errno values";
  }
  const DatError error = DatError::path_error(std::filesystem::path("a\xFF"
                                                                    "b"),
                                              IoError::from_errno(ENOENT));
  EXPECT_TRUE(
      error.to_string().starts_with("Failed to open file at a\xEF\xBF\xBD"
                                    "b: "))
      << error;
}

TEST(ReadError, ContextFramesAppendInsteadOfWrapping) {
  const ReadError error =
      ReadError(IoError::fill_whole_buffer())
          .with_context({"While parsing field 'size' in DatFileEntry", "a.cpp", 7})
          .with_context({"outer", "b.cpp", 9});
  ASSERT_EQ(error.frames().size(), 2u);
  const std::string text = error.to_string();
  const std::string expected_entries =
      " 0: Error: failed to fill whole buffer\n"
      "    While parsing field 'size' in DatFileEntry\n"
      "     at a.cpp:7\n"
      " 1: outer\n"
      "     at b.cpp:9\n";
  EXPECT_EQ(text.rfind("\n", 0), 0u);
  EXPECT_NE(text.find("Backtrace"), std::string::npos);
  EXPECT_NE(text.find("\n\n" + expected_entries + "\n"), std::string::npos) << text;
}

TEST(ReadError, AssertionTextUsesLowerCaseHexPosition) {
  EXPECT_EQ(ReadError::assertion("bad", 0x2C).to_string(), "bad at 0x2c");
}

struct EscapeCase {
  std::string_view text;
  std::string_view debug;
};

TEST(DebugFormat, QuotesAndEscapesTexts) {
  constexpr EscapeCase kCases[] = {
      {"Left Alt", "\"Left Alt\""},
      {"tab\there", "\"tab\\there\""},
      {"cr\rlf\n", "\"cr\\rlf\\n\""},
      {std::string_view("nul\0x", 5), "\"nul\\0x\""},
      {"quote\" back\\", "\"quote\\\" back\\\\\""},
      {"esc\x1b", "\"esc\\u{1b}\""},
      {"caf\xC3\xA9 \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xF0\x9F\x98\x80\""},
      {"nbsp\xC2\xA0", "\"nbsp\\u{a0}\""},
  };
  for (const EscapeCase& c : kCases) {
    SCOPED_TRACE(c.debug);
    EXPECT_EQ(debug_string(c.text), c.debug);
  }
}

TEST(DebugFormat, HexHelpers) {
  EXPECT_EQ(hex8(0x1A), "0000001A");
  EXPECT_EQ(hex0x8(0x2300000A), "0x2300000A");
  EXPECT_EQ(hex_lower(0), "0");
  EXPECT_EQ(hex_lower(0xABCDEF0123ull), "abcdef0123");
}

}  // namespace
}  // namespace kelvane_dat
