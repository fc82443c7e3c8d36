// Cutting the power at every write and sync of a sequence of commits: the archive must open, pass
// the layout check and hold exactly the old contents or exactly the new ones.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <vector>

#include "detail/transaction_access.hpp"
#include "kelvane_dat/archive_transaction.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "support/archive_contents.hpp"
#include "support/contract_check.hpp"
#include "support/crash_file.hpp"
#include "support/temp_file.hpp"

namespace kelvane_dat {
namespace {

using test_support::Bytes;
using test_support::Contents;
using test_support::CrashFile;
using test_support::letter_content;
using test_support::TempFile;

// The archive's files after the crash, read from the bytes that survived it. Blocks leaked by an
// unfinished commit are allowed, so only the layout check applies, not the whole contract.
std::expected<Contents, std::string> reopen(const Bytes& image) {
  const TempFile file(image, "kelvane_crash");
  return test_support::checked_contents(file.path(), false);
}

// One transaction's changes, made to the archive and to the model alike.
using Change = std::function<void(ArchiveTransaction&, Contents&)>;

void put(ArchiveTransaction& txn, Contents& model, std::uint32_t id, Bytes data, bool compress) {
  ASSERT_TRUE(txn.put(id, data, {compress}).has_value());
  model[id] = std::move(data);
}

void remove(ArchiveTransaction& txn, Contents& model, std::uint32_t id) {
  ASSERT_TRUE(txn.remove(id).has_value());
  model.erase(id);
}

struct Step {
  const char* what;
  Change change;
};

// Which unsynced writes before the crash point survive it.
const std::function<bool(std::size_t)> kSurvivors[] = {
    [](std::size_t) { return false; },        [](std::size_t) { return true; },
    [](std::size_t i) { return i % 2 == 0; }, [](std::size_t i) { return i % 2 == 1; },
    [](std::size_t i) { return i % 3 != 2; },
};

TEST(ArchiveCrash, EveryCrashPointLeavesTheOldOrTheNewContents) {
  Contents model;
  for (std::uint32_t id = 1; id <= 55; ++id) model[id * 10] = letter_content(id * 37 % 900, id);
  Bytes image = test_support::archive_image(model, 256);

  const Step steps[] = {
      {"growth past the end",
       [](ArchiveTransaction& txn, Contents& m) {
         put(txn, m, 1000, letter_content(2000, 1), false);
         put(txn, m, 5, letter_content(300, 2), true);
       }},
      {"a root split",
       [](ArchiveTransaction& txn, Contents& m) {
         for (std::uint32_t id = 0; id < 8; ++id)
           put(txn, m, 2000 + id, letter_content(100 + id, id), false);
       }},
      {"removes and replacements",
       [](ArchiveTransaction& txn, Contents& m) {
         for (const std::uint32_t id : {20u, 30u, 40u, 1000u}) remove(txn, m, id);
         put(txn, m, 50, letter_content(1500, 3), true);
         put(txn, m, 60, letter_content(40, 4), false);
       }},
      {"puts into freed blocks and past them",
       [](ArchiveTransaction& txn, Contents& m) {
         put(txn, m, 25, letter_content(600, 5), false);
         put(txn, m, 35, letter_content(3000, 6), false);
       }},
  };

  std::size_t crash_points = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    const Contents before = model;
    const TempFile base(image, "kelvane_crash_base");
    // The run without a crash: the new contents and how many writes and syncs the commit takes.
    auto clean = CrashFile::make_disk(image);
    {
      auto txn = open_transaction_on(base.path(), std::make_unique<CrashFile>(clean)).value();
      step.change(txn, model);
      ASSERT_TRUE(txn.commit().has_value());
    }
    ASSERT_TRUE(clean->unsynced.empty());
    ASSERT_EQ(reopen(clean->durable), model);
    {
      const TempFile after(clean->durable, "kelvane_crash_after");
      const auto archive = DatDatabase::open(after.path()).value();
      EXPECT_EQ(test_support::contract_violation(archive, clean->durable.size()), std::nullopt);
    }

    for (std::size_t crash_at = 1; crash_at <= clean->operations; ++crash_at) {
      auto disk = CrashFile::make_disk(image, crash_at);
      {
        auto txn = open_transaction_on(base.path(), std::make_unique<CrashFile>(disk)).value();
        Contents ignored;
        step.change(txn, ignored);
        ASSERT_FALSE(txn.commit().has_value());
      }
      for (const auto& survives : kSurvivors) {
        const auto found = reopen(disk->after_crash(survives));
        ASSERT_TRUE(found == before || found == model)
            << "crash at operation " << crash_at << " of " << clean->operations;
        ++crash_points;
      }
    }
    image = clean->durable;
  }
  std::printf("crash points tried: %zu\n", crash_points);
  EXPECT_GT(crash_points, 0u);
}

}  // namespace
}  // namespace kelvane_dat
