// utf.h - the one UTF-8 <-> UTF-16 converter of the suite, and the helpers
// that move text in and out of fixed-width UTF-16 fields.
//
// Decoding UTF-8 is strict, as the platform converter is with its
// "invalid characters are an error" flag: an overlong form, a surrogate
// encoded in UTF-8, a code point above U+10FFFF, a stray continuation byte
// or a truncated sequence makes the whole conversion fail.  Encoding UTF-16
// never fails: a lone surrogate is written as U+FFFD.
//
// The code unit type is a template parameter so that the same code serves
// char16_t (POSIX) and a 16-bit wchar_t (Windows).
#ifndef KS_UTF_H
#define KS_UTF_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace ks::text {

template <typename Unit>
concept Utf16Unit = sizeof(Unit) == 2 && (std::is_same_v<Unit, char16_t> ||
                                          std::is_same_v<Unit, wchar_t>);

// Decodes `in` as UTF-8 into out[0 .. capacity).  Answers the number of
// units written, or nothing when `in` is not valid UTF-8 or its UTF-16 form
// needs more than `capacity` units (out may then hold a part of it).
template <Utf16Unit Unit>
std::optional<size_t> DecodeUtf8(std::string_view in, Unit* out, size_t capacity) {
  Unit* o = out;
  Unit* const limit = out + capacity;
  const auto* p = reinterpret_cast<const unsigned char*>(in.data());
  const auto* end = p + in.size();
  auto cont = [](unsigned char c) { return (c & 0xC0) == 0x80; };
  while (p < end) {
    const unsigned char b0 = *p;
    if (b0 < 0x80) {  // one byte, one unit
      if (o == limit) return std::nullopt;
      *o++ = static_cast<Unit>(b0);
      ++p;
      continue;
    }
    uint32_t cp;
    size_t len;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      len = 2;
      cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      len = 3;
      cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      len = 4;
      cp = b0 & 0x07;
    } else {
      return std::nullopt;  // continuation byte, C0/C1 overlong lead, or F5..FF
    }
    if (static_cast<size_t>(end - p) < len) return std::nullopt;  // truncated
    for (size_t i = 1; i < len; ++i) {
      if (!cont(p[i])) return std::nullopt;
      cp = (cp << 6) | (p[i] & 0x3F);
    }
    // Overlong three- and four-byte forms, UTF-8-encoded surrogates, and
    // values past the last code point.
    if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
      return std::nullopt;
    }
    if (cp >= 0x10000) {  // four bytes give two units
      if (limit - o < 2) return std::nullopt;
      cp -= 0x10000;
      *o++ = static_cast<Unit>(0xD800 + (cp >> 10));
      *o++ = static_cast<Unit>(0xDC00 + (cp & 0x3FF));
    } else {
      if (o == limit) return std::nullopt;
      *o++ = static_cast<Unit>(cp);
    }
    p += len;
  }
  return static_cast<size_t>(o - out);
}

// Decodes `in` as UTF-8 into *out.  On success answers true; on an invalid
// sequence answers false and leaves *out empty.
template <Utf16Unit Unit>
bool Utf8ToUtf16(std::string_view in, std::basic_string<Unit>* out) {
  out->resize(in.size());  // never more units than bytes
  const std::optional<size_t> units = DecodeUtf8(in, out->data(), out->size());
  out->resize(units.value_or(0));
  return units.has_value();
}

// Appends the UTF-8 form of `in` to *out; a lone surrogate becomes U+FFFD.
// A string reused from call to call keeps its capacity, so a caller that
// converts many texts (the log, line after line) allocates nothing per call.
template <Utf16Unit Unit>
void AppendUtf16AsUtf8(std::basic_string_view<Unit> in, std::string* out) {
  // Log lines and store texts pass through here, mostly ASCII: the leading
  // ASCII run is copied a byte a unit, and the rest sized for the worst case
  // (three bytes a unit) and cut to fit at the end, so that the loop writes
  // bytes without a capacity check each.
  const size_t start = out->size();
  out->resize(start + in.size());
  size_t ascii = 0;
  for (char* o = out->data() + start; ascii < in.size(); ++ascii) {
    const auto u = static_cast<uint16_t>(in[ascii]);
    if (u >= 0x80) break;
    o[ascii] = static_cast<char>(u);
  }
  if (ascii == in.size()) return;
  out->resize(start + ascii + (in.size() - ascii) * 3);
  char* p = out->data() + start + ascii;
  auto put = [&p](uint32_t cp) {
    if (cp < 0x80) {
      *p++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
      *p++ = static_cast<char>(0xC0 | (cp >> 6));
      *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      *p++ = static_cast<char>(0xE0 | (cp >> 12));
      *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      *p++ = static_cast<char>(0xF0 | (cp >> 18));
      *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
  };
  for (size_t i = ascii; i < in.size(); ++i) {
    const uint32_t u = static_cast<uint16_t>(in[i]);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < in.size()) {
      const uint32_t v = static_cast<uint16_t>(in[i + 1]);
      if (v >= 0xDC00 && v <= 0xDFFF) {
        put(0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));  // four bytes for two units
        ++i;
        continue;
      }
    }
    put(u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
  }
  out->resize(static_cast<size_t>(p - out->data()));
}

// Encodes UTF-16 as UTF-8; a lone surrogate becomes U+FFFD.
template <Utf16Unit Unit>
std::string Utf16ToUtf8(std::basic_string_view<Unit> in) {
  std::string out;
  AppendUtf16AsUtf8(in, &out);
  return out;
}

// The text in a field of `width` code units: up to its first NUL, or the
// whole field when it holds none.  Never reads past the field; a null field
// is empty.
template <Utf16Unit Unit>
std::basic_string_view<Unit> FieldText(const Unit* field, size_t width) {
  if (field == nullptr) return {};
  size_t n = 0;
  while (n < width && field[n] != 0) ++n;
  return {field, n};
}

// The bytes of a narrow text held in a buffer of `capacity` bytes: up to its
// first NUL, or the whole buffer when it holds none.
inline std::string_view BufferText(const char* buffer, size_t capacity) {
  if (buffer == nullptr) return {};
  size_t n = 0;
  while (n < capacity && buffer[n] != 0) ++n;
  return {buffer, n};
}

// Copies `text` into a field of `width` code units followed by its NUL,
// cutting it to width - 1 units (never between the two halves of a surrogate
// pair).  Units after the terminator are left as they were.  Writes nothing
// when width is 0 or field is null.  Answers the number of units copied.
template <Utf16Unit Unit>
size_t CopyToField(Unit* field, size_t width, std::basic_string_view<Unit> text) {
  if (field == nullptr || width == 0) return 0;
  size_t n = text.size() < width - 1 ? text.size() : width - 1;
  if (n < text.size() && n > 0) {
    const auto last = static_cast<uint16_t>(text[n - 1]);
    if (last >= 0xD800 && last <= 0xDBFF) --n;  // keep the pair whole
  }
  for (size_t i = 0; i < n; ++i) field[i] = text[i];
  field[n] = 0;
  return n;
}

// Decodes UTF-8 straight into a field: invalid UTF-8 gives the empty text.
// Answers true when the text was valid (whether or not it was cut).
template <Utf16Unit Unit>
bool Utf8ToField(std::string_view utf8, Unit* field, size_t width) {
  std::basic_string<Unit> wide;
  const bool ok = Utf8ToUtf16(utf8, &wide);
  CopyToField<Unit>(field, width, wide);
  return ok;
}

}  // namespace ks::text

#endif  // KS_UTF_H
