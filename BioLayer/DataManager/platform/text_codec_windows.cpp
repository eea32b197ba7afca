// Text conversion on Windows: the system's converter, code page 65001, with
// invalid input refused.
#include <windows.h>

#include <climits>

#include "platform/TextCodec.h"

namespace dm::platform {

namespace {

// Decodes `text` from `codePage`, refusing characters invalid in it.
bool ToWide(UINT codePage, std::string_view text, WString* wide) {
  wide->clear();
  if (text.empty()) return true;
  if (text.size() > static_cast<size_t>(INT_MAX)) return false;
  const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(),
                                    static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return false;
  wide->resize(static_cast<size_t>(n));
  if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(),
                          static_cast<int>(text.size()), wide->data(), n) != n) {
    wide->clear();
    return false;
  }
  return true;
}

}  // namespace

bool Utf8ToWide(std::string_view utf8, WString* wide) { return ToWide(CP_UTF8, utf8, wide); }

std::optional<size_t> Utf8ToWide(std::string_view utf8, WCHAR* out, size_t capacity) {
  if (utf8.empty()) return 0;
  if (utf8.size() > static_cast<size_t>(INT_MAX) || capacity == 0) return std::nullopt;
  // The size first: with a buffer too small, some converters (Wine's)
  // write what fits, ending in half a surrogate pair, instead of failing.
  const int size = static_cast<int>(utf8.size());
  const int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size,
                                         nullptr, 0);
  if (needed <= 0 || static_cast<size_t>(needed) > capacity) return std::nullopt;
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, out,
                                    needed);
  if (n != needed) return std::nullopt;
  return static_cast<size_t>(n);
}

bool SystemCodePageToWide(std::string_view text, WString* wide) {
  return ToWide(CP_ACP, text, wide);
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
