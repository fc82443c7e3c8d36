#include "kelvane_platform/interrupt.hpp"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>

namespace kelvane_platform {

namespace {

// A registered path. The handler runs in signal context, so it only reads what `armed` publishes
// and calls unlink(), which is async-signal-safe.
struct Slot {
  std::atomic<bool> taken = false;
  std::atomic<bool> armed = false;
  std::array<char, RemovedOnInterrupt::kMaxPathLength + 1> path{};
};

std::array<Slot, RemovedOnInterrupt::kCapacity> slots;
std::once_flag install_once;

void remove_registered_and_end(int signal_number) {
  for (Slot& slot : slots) {
    if (slot.armed.load()) ::unlink(slot.path.data());
  }
  // End as the signal would have ended the process, so the parent sees why.
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

void install_handler() {
  struct sigaction action = {};
  action.sa_handler = &remove_registered_and_end;
  sigemptyset(&action.sa_mask);
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous = {};
    // A signal the parent chose to ignore (nohup) stays ignored.
    if (::sigaction(signal_number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) {
      continue;
    }
    ::sigaction(signal_number, &action, nullptr);
  }
}

}  // namespace

RemovedOnInterrupt::RemovedOnInterrupt(const std::filesystem::path& path) : slot_(kCapacity) {
  const std::string& text = path.native();
  if (text.size() > kMaxPathLength) return;
  std::call_once(install_once, &install_handler);
  for (std::size_t i = 0; i < kCapacity; ++i) {
    if (slots[i].taken.exchange(true)) continue;
    std::memcpy(slots[i].path.data(), text.c_str(), text.size() + 1);
    slots[i].armed.store(true);
    slot_ = i;
    return;
  }
}

RemovedOnInterrupt::~RemovedOnInterrupt() {
  if (slot_ == kCapacity) return;
  slots[slot_].armed.store(false);
  slots[slot_].taken.store(false);
}

}  // namespace kelvane_platform
