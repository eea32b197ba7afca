// Output.h - what a dmctl command prints: readable "key: value" lines by
// default, one JSON object with --json.
#ifndef DMCTL_OUTPUT_H
#define DMCTL_OUTPUT_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace dmctl {

class Output {
 public:
  explicit Output(bool json) : json_(json) {}

  void Text(const std::string& key, const std::string& value) { fields_.push_back({key, Quote(value), value}); }
  void Number(const std::string& key, int64_t value) {
    fields_.push_back({key, std::to_string(value), std::to_string(value)});
  }
  void Flag(const std::string& key, bool value) {
    fields_.push_back({key, value ? "true" : "false", value ? "yes" : "no"});
  }

  // Prints everything collected, to standard output.
  void Print() const {
    if (json_) {
      std::string line = "{";
      for (size_t i = 0; i < fields_.size(); ++i) {
        if (i > 0) line += ", ";
        line += Quote(fields_[i].key) + ": " + fields_[i].json;
      }
      std::printf("%s}\n", line.c_str());
      return;
    }
    for (const Field& f : fields_) std::printf("%s: %s\n", f.key.c_str(), f.text.c_str());
  }

 private:
  struct Field {
    std::string key;
    std::string json;
    std::string text;
  };

  static std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (const unsigned char c : s) {
      if (c == '"' || c == '\\') {
        out += '\\';
        out += static_cast<char>(c);
      } else if (c < 0x20) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
        out += escaped;
      } else {
        out += static_cast<char>(c);
      }
    }
    return out + "\"";
  }

  bool json_;
  std::vector<Field> fields_;
};

}  // namespace dmctl

#endif  // DMCTL_OUTPUT_H
