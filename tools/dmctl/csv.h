// csv.h - the comma-separated text that browsers export passwords in:
// quoted fields, a doubled quote inside one, commas and line ends inside
// quotes; records end with CRLF or LF; a UTF-8 byte-order mark at the start
// is skipped.  Reading keeps going after a malformed record, which is
// reported with the line it began on.
#ifndef DMCTL_CSV_H
#define DMCTL_CSV_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dmctl::csv {

struct Row {
  size_t line = 0;                  // the line the record begins on, from 1
  std::vector<std::string> fields;  // as written, quotes undone
  std::string error;                // empty, or why the record is malformed
};

// Reads the records of a text one by one.  The text must outlive the reader.
class Reader {
 public:
  explicit Reader(std::string_view text);

  // The next record: false at the end of the text.  A malformed record (a
  // quote inside an unquoted field, text after a closing quote, a quote
  // never closed) comes with `error` set and the rest of its line skipped.
  // An empty line is no record.
  bool Next(Row* row);

 private:
  std::string_view text_;
  size_t at_ = 0;
  size_t line_ = 1;
};

// One record: the fields joined by commas, quoted where they need it (a
// comma, a quote, a line end, or a space at either end), ended by CRLF.
std::string FormatRow(const std::vector<std::string>& fields);

}  // namespace dmctl::csv

#endif  // DMCTL_CSV_H
