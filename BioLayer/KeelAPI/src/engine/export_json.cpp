// export_json.cpp - walking a backend kind by kind and writing JSON.
#include "engine/export_json.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ks/utf.h"

namespace keel {
namespace {

constexpr KeelObjectKind kKinds[] = {KEEL_CONTEXT, KEEL_APP,   KEEL_IDENTITY,
                                     KEEL_CARD,    KEEL_MACRO, KEEL_SHORTCUT};

const char* KindName(KeelObjectKind kind) {
  switch (kind) {
    case KEEL_CONTEXT:
      return "context";
    case KEEL_APP:
      return "app";
    case KEEL_IDENTITY:
      return "identity";
    case KEEL_CARD:
      return "card";
    case KEEL_MACRO:
      return "macro";
    case KEEL_SHORTCUT:
      return "shortcut";
  }
  return "unknown";
}

// A JSON string of UTF-8 text: quotes, backslashes and control characters
// escaped, everything else as it is.
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
  return out;
}

// The text of a value that is NUL-terminated UTF-8 with no other NUL.
std::optional<std::string_view> AsText(const std::vector<uint8_t>& value) {
  if (value.empty() || value.back() != 0) return std::nullopt;
  const std::string_view text(reinterpret_cast<const char*>(value.data()), value.size() - 1);
  if (text.find('\0') != std::string_view::npos) return std::nullopt;
  std::u16string ignored;
  if (!ks::text::Utf8ToUtf16(text, &ignored)) return std::nullopt;
  return text;
}

class Exporter {
 public:
  explicit Exporter(KeelBackend* backend) : backend_(backend) {}

  // The JSON of one object, properties included, into *out.
  int Object(int64_t id, std::string* out) {
    KeelObjectInfo info{};
    if (const int status = backend_->describe_object(backend_, id, &info); status != KA_OK) {
      return status;
    }
    *out = "{\"id\": " + std::to_string(id) + ", \"kind\": \"" + KindName(info.kind) +
           "\", \"parent\": " + std::to_string(info.parent);
    if (info.kind == KEEL_CARD) {
      *out += ", \"category\": " + std::to_string(info.category) +
              ", \"ref_num\": " + std::to_string(info.ref_num);
    }
    if (info.kind == KEEL_MACRO) *out += ", \"finger\": " + std::to_string(info.finger);
    *out += ", \"properties\": [";
    int64_t after = INT64_MIN;
    for (int32_t number = 0;;) {
      const int status = backend_->next_property(backend_, id, after, &number);
      if (status == KA_E_END) break;
      if (status != KA_OK) return status;
      if (after != INT64_MIN) *out += ", ";
      if (const int s = Property(id, number, out); s != KA_OK) return s;
      after = number;
    }
    *out += "]}";
    return KA_OK;
  }

 private:
  int Property(int64_t id, int32_t number, std::string* out) {
    size_t size = 0;
    int32_t attribute = 0;
    int status = backend_->get_property(backend_, id, number, nullptr, 0, &size, &attribute);
    if (status != KA_OK) return status;
    *out += "{\"number\": " + std::to_string(number) +
            ", \"attribute\": " + std::to_string(attribute) + ", \"size\": ";
    if (attribute == KA_ATTR_SECRET) {  // never read, let alone written
      *out += std::to_string(size) + ", \"secret\": \"withheld\"}";
      return KA_OK;
    }
    std::vector<uint8_t> value(size);
    status = backend_->get_property(backend_, id, number, value.data(), value.size(), &size,
                                    nullptr);
    if (status != KA_OK) return status;
    value.resize(size);  // not more than was asked for: the view is consistent
    *out += std::to_string(size);
    if (const std::optional<std::string_view> text = AsText(value)) {
      *out += ", \"text\": " + Quoted(*text) + "}";
    } else {
      *out += ", \"hex\": \"" + Hex(value) + "\"}";
    }
    return KA_OK;
  }

  KeelBackend* backend_;
};

}  // namespace

KA_STATUS ExportStore(KeelBackend* backend, KeelAdminSink sink, void* user) {
  Exporter exporter(backend);
  sink(user, "{\"format\": \"keel-export\", \"version\": 1, \"objects\": [");
  bool first = true;
  std::string piece;
  for (const KeelObjectKind kind : kKinds) {
    KeelFilter filter{};
    filter.kind = kind;
    filter.by = KEEL_BY_KIND;
    for (int64_t id = 0;;) {
      const int status = backend->next_object(backend, &filter, id, &id);
      if (status == KA_E_END) break;
      if (status != KA_OK) return static_cast<KA_STATUS>(status);
      if (const int s = exporter.Object(id, &piece); s != KA_OK) return static_cast<KA_STATUS>(s);
      piece.insert(0, first ? "\n  " : ",\n  ");
      first = false;
      sink(user, piece.c_str());
    }
  }
  sink(user, "\n]}\n");
  return KA_OK;
}

}  // namespace keel
