// TextCodec.h - conversion between the UTF-16 of the interface and the UTF-8
// (code page 65001) of the store.
//
// Windows: MultiByteToWideChar with MB_ERR_INVALID_CHARS and
// WideCharToMultiByte.  POSIX: the suite's converter (ks/utf.h), which
// behaves the same way.  Either way:
// - decoding refuses invalid UTF-8 as a whole (overlong forms, encoded
//   surrogates, truncated sequences): the result is false and the text empty;
// - encoding never fails; a lone surrogate becomes U+FFFD.
//
// One text arrives in the system code page instead: the command of the VIP
// prompt.  Windows: the ANSI code page (CP_ACP), characters invalid in it
// refused.  POSIX: the system code page is UTF-8, as on every current
// system locale, so the same strict decoding applies.
#ifndef DM_PLATFORM_TEXT_CODEC_H
#define DM_PLATFORM_TEXT_CODEC_H

#include <optional>
#include <string>
#include <string_view>

#include "platform/Env.h"

namespace dm::platform {

bool Utf8ToWide(std::string_view utf8, WString* wide);
// Decodes into out[0 .. capacity): the number of units, or nothing when the
// text is not UTF-8 or does not fit (out may then hold a part of it).
std::optional<size_t> Utf8ToWide(std::string_view utf8, WCHAR* out, size_t capacity);
std::string WideToUtf8(WStringView wide);
bool SystemCodePageToWide(std::string_view text, WString* wide);

}  // namespace dm::platform

#endif  // DM_PLATFORM_TEXT_CODEC_H
