#include "kelvane_platform/threads.hpp"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <string>
#include <thread>

namespace kelvane_platform {

std::uint64_t current_thread_id() { return static_cast<std::uint64_t>(::gettid()); }

void name_current_thread(std::string_view name) {
  // Linux thread names hold at most 15 bytes plus the terminating NUL.
  const std::string truncated(name.substr(0, 15));
  ::pthread_setname_np(::pthread_self(), truncated.c_str());
}

std::string current_thread_name() {
  char name[32] = {};
  ::pthread_getname_np(::pthread_self(), name, sizeof name);
  return name;
}

std::optional<std::size_t> available_parallelism() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return static_cast<std::size_t>(count);
  }
  const unsigned hardware = std::thread::hardware_concurrency();
  if (hardware > 0) return hardware;
  return std::nullopt;
}

}  // namespace kelvane_platform
