// TextCodec.h - conversion between the UTF-16 of the interface and the UTF-8
// (code page 65001) of the store.
//
// Windows: MultiByteToWideChar with MB_ERR_INVALID_CHARS and
// WideCharToMultiByte.  POSIX: the suite's converter (ks/utf.h), which
// behaves the same way.  Either way:
// - decoding refuses invalid UTF-8 as a whole (overlong forms, encoded
//   surrogates, truncated sequences): the result is false and the text empty;
// - encoding never fails; a lone surrogate becomes U+FFFD.
#ifndef DM_PLATFORM_TEXT_CODEC_H
#define DM_PLATFORM_TEXT_CODEC_H

#include <string>
#include <string_view>

#include "platform/Env.h"

namespace dm::platform {

bool Utf8ToWide(std::string_view utf8, WString* wide);
std::string WideToUtf8(WStringView wide);

}  // namespace dm::platform

#endif  // DM_PLATFORM_TEXT_CODEC_H
