// line.h - the layout of one written line (KSLog.h shows it).
#ifndef KSLOG_SRC_LINE_H_
#define KSLOG_SRC_LINE_H_

#include <string>
#include <string_view>

#include "KSLogSink.h"

namespace kslog {

// Appends the part of the line for `record` that names the place of the
// call: its module, file and function, as the line shows them.
void AppendPlace(const KSLogRecord& record, std::string* out);

// Appends the line for `record` to *out, with `place` as AppendPlace wrote
// it for the record, ending in '\n' and holding no other line break:
// control characters in its texts are escaped.  Null texts read "(null)".
// Allocates only when *out has to grow.
void AppendLine(const KSLogRecord& record, std::string_view place, std::string* out);

}  // namespace kslog

#endif  // KSLOG_SRC_LINE_H_
