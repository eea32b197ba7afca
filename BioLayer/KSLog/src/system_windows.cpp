// system_windows.cpp - system.h on Windows.
#ifdef _WIN32

#include "system.h"

#include <windows.h>

#include <cerrno>
#include <string_view>

#include "ks/utf.h"

namespace kslog::sys {

uint32_t ProcessId() { return GetCurrentProcessId(); }

uint64_t ThreadId() { return GetCurrentThreadId(); }

int64_t MonotonicMs() { return static_cast<int64_t>(GetTickCount64()); }

void AtFork(void (*)(), void (*)(), void (*)()) {}

bool LocalTime(int64_t seconds, std::tm* out) {
  const time_t t = static_cast<time_t>(seconds);
  return localtime_s(out, &t) == 0;
}

std::optional<std::string> GetEnv(const char* name) {
  std::wstring wide_name;
  for (const char* c = name; *c != 0; ++c) wide_name.push_back(static_cast<wchar_t>(*c));
  // The size answered includes the NUL; the value may change between calls,
  // so ask again until it fits.
  std::wstring value(64, L'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD n = GetEnvironmentVariableW(wide_name.c_str(), value.data(),
                                            static_cast<DWORD>(value.size()));
    if (n == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (n < value.size()) {
      value.resize(n);
      return ks::text::Utf16ToUtf8<wchar_t>(std::wstring_view(value));
    }
    value.assign(n, L'\0');
  }
}

PreservedErrorState::PreservedErrorState() : errno_(errno), last_error_(GetLastError()) {}

PreservedErrorState::~PreservedErrorState() {
  errno = errno_;
  SetLastError(last_error_);
}

}  // namespace kslog::sys

#endif  // _WIN32
