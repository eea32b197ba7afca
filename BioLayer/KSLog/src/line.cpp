// line.cpp - laying out one written line.
#include "line.h"

#include <charconv>
#include <cstdint>
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
      static constexpr char kHex[] = "0123456789ABCDEF";
      const char hex[4] = {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
      out->append(hex, sizeof(hex));
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

// Writes `value` as `width` decimal digits, zero-padded (and cut to its
// last `width` digits, which a calendar field never needs).
char* PutDigits(char* p, int value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    p[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return p + width;
}

template <typename Integer>
void AppendNumber(Integer value, std::string* out) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof(digits), value);
  out->append(digits, result.ptr);
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
  constexpr size_t kSecondLength = 19;  // "2026-12-05 18:40:01"
  thread_local int64_t cached_second = INT64_MIN;
  thread_local char cached_text[kSecondLength];
  if (seconds != cached_second) {
    std::tm tm{};
    const int year = sys::LocalTime(seconds, &tm) ? tm.tm_year + 1900 : -1;
    if (year < 0 || year > 9999) {
      out->append("0000-00-00 00:00:00.000");
      return;
    }
    char* p = PutDigits(cached_text, year, 4);
    *p++ = '-';
    p = PutDigits(p, tm.tm_mon + 1, 2);
    *p++ = '-';
    p = PutDigits(p, tm.tm_mday, 2);
    *p++ = ' ';
    p = PutDigits(p, tm.tm_hour, 2);
    *p++ = ':';
    p = PutDigits(p, tm.tm_min, 2);
    *p++ = ':';
    PutDigits(p, tm.tm_sec, 2);
    cached_second = seconds;
  }
  char fraction[4] = {'.'};
  PutDigits(fraction + 1, static_cast<int>(millis), 3);
  out->append(cached_text, kSecondLength).append(fraction, sizeof(fraction));
}

}  // namespace

void AppendPlace(const KSLogRecord& record, std::string* out) {
  AppendField(record.module, out);
  out->push_back(' ');
  AppendField(record.file, out);
  out->push_back(' ');
  AppendField(record.function, out);
}

void AppendLine(const KSLogRecord& record, std::string_view place, std::string* out) {
  AppendTime(record.time_ms, out);
  out->append(" [");
  AppendNumber(record.process_id, out);
  out->push_back(':');
  AppendNumber(record.thread_id, out);
  out->append("] L");
  AppendNumber(record.level, out);
  out->push_back(' ');
  out->append(place);
  out->push_back(':');
  AppendNumber(record.line, out);
  out->push_back(' ');
  AppendEscaped(record.text != nullptr ? std::string_view(record.text) : "(null)", out);
  out->push_back('\n');
}

}  // namespace kslog
