// format.h - KSLog's printf-like formatting of UTF-16 text (the conversions
// KSLog.h lists, nothing more).
#ifndef KSLOG_SRC_FORMAT_H_
#define KSLOG_SRC_FORMAT_H_

#include <cstdarg>
#include <string>

#include "KSTypes.h"

namespace kslog {

using WideString = std::basic_string<WCHAR>;

// Formats `format` with the arguments that `args` points at and answers the
// text.  Reads exactly one argument per conversion it understands and none
// for anything else, which it copies as it stands.  A null format gives
// "(null)".  `args` is advanced past the arguments read.
WideString FormatText(const WCHAR* format, va_list* args);

// `text` as UTF-8: lone surrogates become U+FFFD, a null text is "(null)".
std::string ToUtf8(const WCHAR* text);

// `text` as UTF-8, as ToUtf8 does it.
std::string ToUtf8(const WideString& text);

}  // namespace kslog

#endif  // KSLOG_SRC_FORMAT_H_
