// Base64 and percent-encoding of the registration data (see Encodings.h).
// Both are a few lines; neither of our dependencies offers them on every
// platform we build for, and the query's encoding must be exactly this one.
#include "registration/Encodings.h"

#include <cstdint>

namespace dm::registration {
namespace {

// The alphabet lives in static storage: built with the library, nothing to
// allocate or free.
constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsAsciiAlphanumeric(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string Base64(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t n = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
                       static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                       static_cast<unsigned char>(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out += kBase64Alphabet[(n >> shift) & 0x3F];
  }
  const size_t rest = bytes.size() - i;  // 0, 1 or 2 bytes, padded with "="
  if (rest > 0) {
    uint32_t n = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (rest == 2) n |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    out += kBase64Alphabet[(n >> 18) & 0x3F];
    out += kBase64Alphabet[(n >> 12) & 0x3F];
    out += rest == 2 ? kBase64Alphabet[(n >> 6) & 0x3F] : '=';
    out += '=';
  }
  return out;
}

std::string PercentEncode(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (IsAsciiAlphanumeric(c)) {
      out += ch;
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 0x0F];
    }
  }
  return out;
}

}  // namespace dm::registration
