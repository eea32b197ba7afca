// line.h - the layout of one written line (KSLog.h shows it).
#ifndef KSLOG_SRC_LINE_H_
#define KSLOG_SRC_LINE_H_

#include <string>

#include "KSLogSink.h"

namespace kslog {

// Appends the line for `record` to *out, ending in '\n' and holding no other
// line break: control characters in its texts are escaped.  Null texts read
// "(null)".  Allocates only when *out has to grow.
void AppendLine(const KSLogRecord& record, std::string* out);

}  // namespace kslog

#endif  // KSLOG_SRC_LINE_H_
