// Text conversion on POSIX: the suite's own strict converter.
#include "ks/utf.h"
#include "platform/TextCodec.h"

namespace dm::platform {

bool Utf8ToWide(std::string_view utf8, WString* wide) {
  return ks::text::Utf8ToUtf16<WCHAR>(utf8, wide);
}

std::optional<size_t> Utf8ToWide(std::string_view utf8, WCHAR* out, size_t capacity) {
  return ks::text::DecodeUtf8<WCHAR>(utf8, out, capacity);
}

std::string WideToUtf8(WStringView wide) { return ks::text::Utf16ToUtf8<WCHAR>(wide); }

bool SystemCodePageToWide(std::string_view text, WString* wide) { return Utf8ToWide(text, wide); }

}  // namespace dm::platform
