// line.h - the layout of one written line (KSLog.h shows it).
#ifndef KSLOG_SRC_LINE_H_
#define KSLOG_SRC_LINE_H_

#include <string>

#include "KSLogSink.h"

namespace kslog {

// The line for `record`, ending in '\n' and holding no other line break:
// control characters in its texts are escaped.  Null texts read "(null)".
std::string FormatLine(const KSLogRecord& record);

}  // namespace kslog

#endif  // KSLOG_SRC_LINE_H_
