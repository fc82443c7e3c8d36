// An interrupt removes the files registered as incomplete, and only those, then ends the process
// as the signal would have.

#include "kelvane_platform/interrupt.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>

namespace kelvane_platform {
namespace {

namespace fs = std::filesystem;

TEST(RemovedOnInterrupt, InterruptRemovesTheRegisteredFilesOnly) {
#if GTEST_OS_WINDOWS
  // Windows interrupts through console control events, which a test cannot send itself alone.
  GTEST_SKIP() << "SIGINT is not how Windows interrupts";
#else
  const fs::path dir = fs::path(::testing::TempDir()) / "removed_on_interrupt";
  fs::create_directories(dir);
  const fs::path registered = dir / "registered";
  const fs::path released = dir / "released";
  const fs::path unregistered = dir / "unregistered";
  const auto touch = [](const fs::path& path) { std::ofstream(path) << "partial"; };
  for (const int signal_number : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal_number);
    EXPECT_EXIT(
        {
          touch(registered);
          touch(released);
          touch(unregistered);
          { const RemovedOnInterrupt done(released); }
          const RemovedOnInterrupt incomplete(registered);
          std::raise(signal_number);
        },
        ::testing::KilledBySignal(signal_number), "");
    EXPECT_FALSE(fs::exists(registered));
    EXPECT_TRUE(fs::exists(released));
    EXPECT_TRUE(fs::exists(unregistered));
  }
  fs::remove_all(dir);
#endif
}

}  // namespace
}  // namespace kelvane_platform
