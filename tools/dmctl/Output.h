// Output.h - what a dmctl command prints, collected while it runs and printed
// once at the end: readable "key: value" lines by default, one JSON object
// with --json.
//
// Keys are snake_case identifiers, the same in both forms; readable output
// shows them with spaces ("skin_index" as "skin index").  Texts are UTF-8
// (an invalid byte prints as U+FFFD), numbers are JSON numbers and flags JSON
// booleans; a value that is not set is null.  A list is a JSON array: of
// texts when each item is one value (a domain name, a problem), of objects
// when each item is a record (a profile).  Readable output shows a list as its key followed by one
// indented "- " line or block per item, or "(none)".
#ifndef DMCTL_OUTPUT_H
#define DMCTL_OUTPUT_H

#include <cstdint>
#include <string>
#include <vector>

namespace dmctl {

// One JSON object: the command's whole output, or one item of a list.
class Record {
 public:
  void Text(const std::string& key, const std::string& value);
  void Number(const std::string& key, int64_t value);
  // `yes` and `no` are the readable words; JSON has true or false.
  void Flag(const std::string& key, bool value, const char* yes = "yes", const char* no = "no");
  // A value that is not set: JSON null, and `word` in readable output.
  void Null(const std::string& key, const char* word);

  // Creates the list `key` when missing, so that an empty list prints as [].
  void List(const std::string& key);
  // Appends a text to the list `key`.
  void Entry(const std::string& key, const std::string& value);
  // Appends an empty record to the list `key` and answers it; it stays
  // valid until the next Item of the same list.
  Record& Item(const std::string& key);

  void WriteJson(std::string* to) const;
  // `first` begins the first line, `rest` the others.
  void WriteText(std::string* to, const std::string& first, const std::string& rest) const;

 private:
  struct Field {
    std::string key;
    bool list = false;
    std::string json;  // a single value: its JSON form
    std::string text;  // a single value: its readable form
    std::vector<std::string> entries;
    std::vector<Record> items;
  };

  void Add(const std::string& key, std::string json, std::string text);
  Field& ListField(const std::string& key);

  std::vector<Field> fields_;
};

class Output : public Record {
 public:
  explicit Output(bool json) : json_(json) {}

  // Prints everything collected, to standard output.
  void Print() const;

 private:
  bool json_;
};

}  // namespace dmctl

#endif  // DMCTL_OUTPUT_H
