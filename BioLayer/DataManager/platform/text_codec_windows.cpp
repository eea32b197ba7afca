// Text conversion on Windows: the system's converter, code page 65001, with
// invalid input refused.
#include <windows.h>

#include <climits>

#include "platform/TextCodec.h"

namespace dm::platform {

bool Utf8ToWide(std::string_view utf8, WString* wide) {
  wide->clear();
  if (utf8.empty()) return true;
  if (utf8.size() > static_cast<size_t>(INT_MAX)) return false;
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                    static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return false;
  wide->resize(static_cast<size_t>(n));
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                          static_cast<int>(utf8.size()), wide->data(), n) != n) {
    wide->clear();
    return false;
  }
  return true;
}

std::string WideToUtf8(WStringView wide) {
  std::string out;
  if (wide.empty() || wide.size() > static_cast<size_t>(INT_MAX / 3)) return out;
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, nullptr);
  if (n <= 0) return out;
  out.resize(static_cast<size_t>(n));
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

}  // namespace dm::platform
