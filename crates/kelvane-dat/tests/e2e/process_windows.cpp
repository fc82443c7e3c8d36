#include "process.hpp"

#include <windows.h>

#include <cwchar>
#include <fstream>
#include <map>
#include <sstream>

#include "kelvane_platform/command_line.hpp"

namespace kelvane_dat::e2e {

namespace {

std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::filesystem::path scratch_path(const wchar_t* stream) {
  return std::filesystem::temp_directory_path() /
         (L"kelvane_e2e_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + stream);
}

// One argument as the C runtime's parser reads it back: quoted, with a backslash run doubled
// before a quote (its own or the closing one).
void append_quoted(std::wstring& line, const std::wstring& argument) {
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(2 * backslashes, L'\\');
  line += L'"';
}

// Windows compares variable names without regard to case.
struct NameLess {
  bool operator()(const std::wstring& a, const std::wstring& b) const {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
  }
};

// The current environment with `changes` applied, as the block CreateProcessW takes.
std::wstring environment_block(const std::vector<EnvironmentChange>& changes) {
  std::map<std::wstring, std::wstring, NameLess> variables;
  wchar_t* const strings = ::GetEnvironmentStringsW();
  for (const wchar_t* entry = strings; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
    const std::wstring text(entry);
    // Entries such as "=C:=C:\dir" start with '=': the name runs to the second one.
    const std::size_t equals = text.find(L'=', 1);
    if (equals == std::wstring::npos) continue;
    variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  ::FreeEnvironmentStringsW(strings);
  for (const EnvironmentChange& change : changes) {
    const std::wstring name = kelvane_platform::path_from_utf8(change.name).wstring();
    if (change.value) {
      variables[name] = kelvane_platform::path_from_utf8(*change.value).wstring();
    } else {
      variables.erase(name);
    }
  }
  std::wstring block;
  for (const auto& [name, value] : variables) block += name + L"=" + value + L'\0';
  block += L'\0';
  return block;
}

HANDLE open_inheritable(const std::filesystem::path& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool terminals_supported() { return false; }

ProcessResult run_process(const std::filesystem::path& program,
                          const std::vector<std::string>& args,
                          const std::vector<EnvironmentChange>& environment,
                          TerminalStreams terminal) {
  ProcessResult result;
  if (terminal.out || terminal.err) return result;
  // Files rather than pipes: the child may print more than a pipe holds before we read.
  const std::filesystem::path out_path = scratch_path(L"out");
  const std::filesystem::path err_path = scratch_path(L"err");
  const HANDLE in = open_inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
  const HANDLE out = open_inheritable(out_path, GENERIC_WRITE, CREATE_ALWAYS);
  const HANDLE err = open_inheritable(err_path, GENERIC_WRITE, CREATE_ALWAYS);

  std::wstring command_line;
  append_quoted(command_line, program.wstring());
  for (const std::string& arg : args) {
    command_line += L' ';
    append_quoted(command_line, kelvane_platform::path_from_utf8(arg).wstring());
  }
  std::wstring block = environment_block(environment);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION child{};
  const bool started =
      in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
      ::CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr, &startup, &child) != 0;
  for (const HANDLE handle : {in, out, err}) {
    if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  }
  if (started) {
    ::WaitForSingleObject(child.hProcess, INFINITE);
    DWORD code = 0;
    if (::GetExitCodeProcess(child.hProcess, &code) != 0)
      result.exit_status = static_cast<int>(code);
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
  }
  result.out = slurp(out_path);
  result.err = slurp(err_path);
  std::filesystem::remove(out_path);
  std::filesystem::remove(err_path);
  return result;
}

}  // namespace kelvane_dat::e2e
