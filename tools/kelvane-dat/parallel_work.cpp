#include "parallel_work.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "kelvane_platform/threads.hpp"
#include "progress.hpp"

namespace kelvane_dat::cli {

namespace {

constexpr std::size_t kMaxJobs = 256;

}  // namespace

std::size_t default_jobs() {
  return std::clamp<std::size_t>(kelvane_platform::available_parallelism().value_or(1), 1,
                                 kMaxJobs);
}

CLI::Option* add_jobs_option(CLI::App& app, std::size_t& jobs) {
  return app
      .add_option_function<std::string>(
          "-j,--jobs",
          [&jobs](const std::string& value) {
            const std::expected<std::size_t, std::string> count = parse_count(value, kMaxJobs);
            if (!count) throw CLI::ValidationError("--jobs: " + count.error());
            jobs = *count;
          },
          "work on N files at a time, on N threads sharing the open archive "
          "(default: the cores this process may use)")
      ->type_name("N");
}

void for_each_in_parallel(std::size_t count, std::size_t jobs, const std::string& label,
                          const std::function<void(std::size_t)>& work) {
  std::atomic<std::size_t> next = 0;
  std::atomic<std::size_t> done = 0;
  std::mutex mutex;
  std::condition_variable finished;
  ProgressLine progress(label, count);
  {
    std::vector<std::jthread> workers;
    const std::size_t threads = std::max<std::size_t>(1, std::min(jobs, count));
    for (std::size_t t = 0; t < threads; ++t) {
      workers.emplace_back([&] {
        for (std::size_t i = next++; i < count; i = next++) {
          work(i);
          if (++done == count) {
            const std::lock_guard lock(mutex);
            finished.notify_all();
          }
        }
      });
    }
    if (progress.enabled()) {
      std::unique_lock lock(mutex);
      while (
          !finished.wait_for(lock, std::chrono::milliseconds(50), [&] { return done == count; })) {
        progress.update(done);
      }
    }
  }
  progress.clear();
}

}  // namespace kelvane_dat::cli
