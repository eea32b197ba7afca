// format.h - KSLog's printf-like formatting of UTF-16 text (the conversions
// KSLog.h lists, nothing more), written straight as UTF-8.
#ifndef KSLOG_SRC_FORMAT_H_
#define KSLOG_SRC_FORMAT_H_

#include <cstdarg>
#include <string>

#include "KSTypes.h"

namespace kslog {

// Formats `format` with the arguments that `args` points at and appends the
// text, as UTF-8, to *out.  Reads exactly one argument per conversion it
// understands and none for anything else, which it copies as it stands.  A
// null format gives "(null)".  `args` is advanced past the arguments read.
// Allocates only when *out has to grow: a string reused line after line
// settles at the size of the longest line.
void AppendFormatted(const WCHAR* format, va_list* args, std::string* out);

// Appends `text` as UTF-8: lone surrogates become U+FFFD, a null text is
// "(null)".
void AppendUtf8(const WCHAR* text, std::string* out);

}  // namespace kslog

#endif  // KSLOG_SRC_FORMAT_H_
