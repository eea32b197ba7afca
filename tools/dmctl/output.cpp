// Output: the readable and the JSON forms of what a command collected.
#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>

#include "Output.h"
#include "ks/utf.h"

namespace dmctl {
namespace {

// The longest valid UTF-8 sequence at the start of `rest`, or 0 when its
// first byte begins none.
size_t ValidSequence(std::string_view rest) {
  std::u16string ignored;
  for (size_t n = 1; n <= 4 && n <= rest.size(); ++n) {
    if (ks::text::Utf8ToUtf16<char16_t>(rest.substr(0, n), &ignored)) return n;
  }
  return 0;
}

// A JSON string: quotes, backslashes and control characters escaped, and
// each byte that does not belong to valid UTF-8 replaced by U+FFFD.
std::string Quote(std::string_view s) {
  std::string out = "\"";
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else if (c >= 0x80) {
      const size_t n = ValidSequence(s.substr(i));
      out += n > 0 ? std::string(s.substr(i, n)) : "\xEF\xBF\xBD";
      i += std::max<size_t>(n, 1);
      continue;
    } else {
      out += static_cast<char>(c);
    }
    ++i;
  }
  return out + "\"";
}

std::string Readable(std::string key) {
  std::replace(key.begin(), key.end(), '_', ' ');
  return key;
}

}  // namespace

void Record::Add(const std::string& key, std::string json, std::string text) {
  fields_.push_back({key, false, std::move(json), std::move(text), {}, {}});
}

void Record::Text(const std::string& key, const std::string& value) {
  Add(key, Quote(value), value);
}

void Record::Number(const std::string& key, int64_t value) {
  Add(key, std::to_string(value), std::to_string(value));
}

void Record::Flag(const std::string& key, bool value, const char* yes, const char* no) {
  Add(key, value ? "true" : "false", value ? yes : no);
}

void Record::Null(const std::string& key, const char* word) { Add(key, "null", word); }

Record::Field& Record::ListField(const std::string& key) {
  for (Field& f : fields_) {
    if (f.list && f.key == key) return f;
  }
  fields_.push_back({key, true, "", "", {}, {}});
  return fields_.back();
}

void Record::List(const std::string& key) { ListField(key); }

void Record::Entry(const std::string& key, const std::string& value) {
  ListField(key).entries.push_back(value);
}

Record& Record::Item(const std::string& key) {
  Field& f = ListField(key);
  f.items.emplace_back();
  return f.items.back();
}

void Record::WriteJson(std::string* to) const {
  *to += "{";
  for (size_t i = 0; i < fields_.size(); ++i) {
    const Field& f = fields_[i];
    *to += (i > 0 ? ", " : "") + Quote(f.key) + ": ";
    if (!f.list) {
      *to += f.json;
      continue;
    }
    *to += "[";
    for (size_t j = 0; j < f.entries.size(); ++j) *to += (j > 0 ? ", " : "") + Quote(f.entries[j]);
    for (size_t j = 0; j < f.items.size(); ++j) {
      if (j > 0) *to += ", ";
      f.items[j].WriteJson(to);
    }
    *to += "]";
  }
  *to += "}";
}

void Record::WriteText(std::string* to, const std::string& first, const std::string& rest) const {
  const std::string* prefix = &first;
  for (const Field& f : fields_) {
    *to += *prefix + Readable(f.key) + ":";
    prefix = &rest;
    if (!f.list) {
      *to += (f.text.empty() ? "" : " ") + f.text + "\n";
    } else if (f.entries.empty() && f.items.empty()) {
      *to += " (none)\n";
    } else {
      *to += "\n";
      for (const std::string& e : f.entries) *to += rest + "  - " + e + "\n";
      for (const Record& item : f.items) item.WriteText(to, rest + "  - ", rest + "    ");
    }
  }
  if (prefix == &first && first != rest) *to += first + "\n";  // an empty item
}

void Output::Print() const {
  std::string all;
  if (json_) {
    WriteJson(&all);
    all += "\n";
  } else {
    WriteText(&all, "", "");
  }
  std::fputs(all.c_str(), stdout);
}

}  // namespace dmctl
