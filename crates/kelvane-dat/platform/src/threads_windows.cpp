#include "kelvane_platform/threads.hpp"

#include <windows.h>

#include <bit>
#include <string>
#include <thread>

namespace kelvane_platform {

std::uint64_t current_thread_id() { return ::GetCurrentThreadId(); }

void name_current_thread(std::string_view name) {
  // SetThreadDescription arrived in Windows 10 (1607); look it up so older systems still run.
  using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return;
  const auto set_description = reinterpret_cast<SetDescription>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetThreadDescription")));
  if (set_description == nullptr) return;
  const int length = static_cast<int>(name.size());
  std::wstring wide(static_cast<std::size_t>(
                        ::MultiByteToWideChar(CP_UTF8, 0, name.data(), length, nullptr, 0)),
                    L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, name.data(), length, wide.data(),
                        static_cast<int>(wide.size()));
  set_description(::GetCurrentThread(), wide.c_str());
}

std::optional<std::size_t> available_parallelism() {
  DWORD_PTR process_mask = 0;
  DWORD_PTR system_mask = 0;
  if (::GetProcessAffinityMask(::GetCurrentProcess(), &process_mask, &system_mask) != 0) {
    const int count = std::popcount(static_cast<std::uint64_t>(process_mask));
    if (count > 0) return static_cast<std::size_t>(count);
  }
  const unsigned hardware = std::thread::hardware_concurrency();
  if (hardware > 0) return hardware;
  return std::nullopt;
}

}  // namespace kelvane_platform
