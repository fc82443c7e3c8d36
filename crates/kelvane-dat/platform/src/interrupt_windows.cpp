#include "kelvane_platform/interrupt.hpp"

#include <windows.h>

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>

namespace kelvane_platform {

namespace {

// A registered path. Windows runs the control handler on a thread of its own, so it may call
// anything; the atomics keep it from reading a path while it is being written.
struct Slot {
  std::atomic<bool> taken = false;
  std::atomic<bool> armed = false;
  std::array<wchar_t, RemovedOnInterrupt::kMaxPathLength + 1> path{};
};

std::array<Slot, RemovedOnInterrupt::kCapacity> slots;
std::once_flag install_once;

BOOL WINAPI remove_registered(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  for (Slot& slot : slots) {
    if (slot.armed.load()) ::DeleteFileW(slot.path.data());
  }
  // Not handled: the next handler, the default one, ends the process.
  return FALSE;
}

}  // namespace

RemovedOnInterrupt::RemovedOnInterrupt(const std::filesystem::path& path) : slot_(kCapacity) {
  const std::wstring& text = path.native();
  if (text.size() > kMaxPathLength) return;
  std::call_once(install_once, [] { ::SetConsoleCtrlHandler(&remove_registered, TRUE); });
  for (std::size_t i = 0; i < kCapacity; ++i) {
    if (slots[i].taken.exchange(true)) continue;
    std::memcpy(slots[i].path.data(), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
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
