// line.cpp - laying out one written line.
#include "line.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string_view>

#include "system.h"

namespace kslog {
namespace {

// Writes `text` with its control characters escaped, so that it can never
// end the line early or send a terminal escape sequence to whoever reads it.
void AppendEscaped(std::string_view text, std::string* out) {
  auto isControl = [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  };
  size_t plain = 0;  // start of the run of ordinary characters not yet copied
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!isControl(c)) continue;
    out->append(text.data() + plain, i - plain);  // copied in runs, not byte by byte
    plain = i + 1;
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      out->append("\\n");
    } else if (c == '\r') {
      out->append("\\r");
    } else if (c == '\t') {
      out->append("\\t");
    } else {
      char hex[8];
      std::snprintf(hex, sizeof(hex), "\\x%02X", byte);
      out->append(hex);
    }
  }
  out->append(text.data() + plain, text.size() - plain);
}

// A field between spaces: never empty, so the fields before the text can be
// counted.
void AppendField(const char* text, std::string* out) {
  if (text == nullptr) {
    out->append("(null)");
  } else if (*text == 0) {
    out->push_back('-');
  } else {
    AppendEscaped(text, out);
  }
}

void AppendTime(int64_t time_ms, std::string* out) {
  // Floor division, so that a time before 1970 still gets 0..999 ms.
  int64_t seconds = time_ms / 1000;
  int64_t millis = time_ms % 1000;
  if (millis < 0) {
    millis += 1000;
    seconds -= 1;
  }
  // Lines come many to a second: each thread keeps the text of the last
  // second it formatted, and only the milliseconds change between them.
  thread_local int64_t cached_second = INT64_MIN;
  thread_local char cached_text[32] = "";
  if (seconds != cached_second) {
    std::tm tm{};
    if (!sys::LocalTime(seconds, &tm)) {
      out->append("0000-00-00 00:00:00.000");
      return;
    }
    std::snprintf(cached_text, sizeof(cached_text), "%04d-%02d-%02d %02d:%02d:%02d",
                  tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                  tm.tm_sec);
    cached_second = seconds;
  }
  const char fraction[5] = {'.', static_cast<char>('0' + millis / 100),
                            static_cast<char>('0' + millis / 10 % 10),
                            static_cast<char>('0' + millis % 10), '\0'};
  out->append(cached_text).append(fraction);
}

}  // namespace

std::string FormatLine(const KSLogRecord& record) {
  std::string line;
  line.reserve(128 + (record.text != nullptr ? std::char_traits<char>::length(record.text) : 0));
  AppendTime(record.time_ms, &line);
  line.append(" [")
      .append(std::to_string(record.process_id))
      .append(":")
      .append(std::to_string(record.thread_id))
      .append("] L")
      .append(std::to_string(record.level))
      .push_back(' ');
  AppendField(record.module, &line);
  line.push_back(' ');
  AppendField(record.file, &line);
  line.push_back(' ');
  AppendField(record.function, &line);
  line.append(":").append(std::to_string(record.line)).push_back(' ');
  AppendEscaped(record.text != nullptr ? std::string_view(record.text) : "(null)", &line);
  line.push_back('\n');
  return line;
}

}  // namespace kslog
