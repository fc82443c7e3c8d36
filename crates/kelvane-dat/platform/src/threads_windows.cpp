#include "kelvane_platform/threads.hpp"

#include <windows.h>

#include <bit>
#include <string>
#include <thread>

#include "kelvane_platform/wide_text.hpp"

namespace kelvane_platform {

namespace {

// Thread descriptions arrived in Windows 10 (1607); look the functions up so that older systems
// still run the program, without names.
template <class Function>
Function kernel_function(const char* name) {
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(kernel, name)));
}

}  // namespace

std::uint64_t current_thread_id() { return ::GetCurrentThreadId(); }

void name_current_thread(std::string_view name) {
  using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  const auto set_description = kernel_function<SetDescription>("SetThreadDescription");
  if (set_description == nullptr) return;
  set_description(::GetCurrentThread(), wide_from_utf8(name).c_str());
}

std::string current_thread_name() {
  using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
  const auto get_description = kernel_function<GetDescription>("GetThreadDescription");
  PWSTR wide = nullptr;
  if (get_description == nullptr || FAILED(get_description(::GetCurrentThread(), &wide))) return {};
  std::string name = utf8_from_wide(wide);
  ::LocalFree(wide);
  return name;
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
