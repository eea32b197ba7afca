// csv: the reader and the writer of comma-separated records.
#include "csv.h"

namespace dmctl::csv {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool NeedsQuotes(const std::string& field) {
  return field.find_first_of(",\"\r\n") != std::string::npos ||
         (!field.empty() && (field.front() == ' ' || field.back() == ' '));
}

}  // namespace

Reader::Reader(std::string_view text) : text_(text) {
  if (text_.substr(0, kByteOrderMark.size()) == kByteOrderMark) at_ = kByteOrderMark.size();
}

bool Reader::Next(Row* row) {
  // Empty lines between records are no records.
  while (at_ < text_.size() && (text_[at_] == '\n' || text_[at_] == '\r')) {
    if (text_[at_] == '\n') ++line_;
    ++at_;
  }
  if (at_ >= text_.size()) return false;
  row->line = line_;
  row->fields.assign(1, std::string());
  row->error.clear();
  enum { kStart, kUnquoted, kQuoted, kAfterQuote } state = kStart;
  for (; at_ < text_.size(); ++at_) {
    const char c = text_[at_];
    if (c == '\n') ++line_;
    if (state == kQuoted) {
      if (c != '"') {
        row->fields.back() += c;
      } else if (at_ + 1 < text_.size() && text_[at_ + 1] == '"') {
        row->fields.back() += '"';
        ++at_;
      } else {
        state = kAfterQuote;
      }
      continue;
    }
    if (c == '\n' || c == '\r') {
      const bool crlf = c == '\r' && at_ + 1 < text_.size() && text_[at_ + 1] == '\n';
      at_ += crlf ? 2 : 1;
      if (crlf) ++line_;
      return true;
    }
    if (c == ',') {
      row->fields.emplace_back();
      state = kStart;
    } else if (!row->error.empty()) {
      // A malformed record: skipped to its end.
    } else if (c == '"' && state == kStart) {
      state = kQuoted;
    } else if (c == '"' || state == kAfterQuote) {
      row->error = c == '"' ? "a quote inside an unquoted field" : "text after a closing quote";
    } else {
      row->fields.back() += c;
      state = kUnquoted;
    }
  }
  if (state == kQuoted) row->error = "a quote that is never closed";
  return true;
}

std::string FormatRow(const std::vector<std::string>& fields) {
  std::string out;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out += ',';
    if (!NeedsQuotes(fields[i])) {
      out += fields[i];
      continue;
    }
    out += '"';
    for (const char c : fields[i]) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    out += '"';
  }
  return out + "\r\n";
}

}  // namespace dmctl::csv
