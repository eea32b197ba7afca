// format.cpp - the printf-like formatting of KSLog.h.
//
// The one promise that matters most here: a conversion that is not understood
// reads no argument.  Reading an argument of the wrong type (or one the
// caller never passed) is undefined behaviour, so when in doubt the text is
// copied as it stands and the arguments are left alone.
#include "format.h"

#include <charconv>
#include <cstdint>
#include <string_view>

#include "ks/utf.h"

namespace kslog {
namespace {

// Longer widths are taken for a mistake: "%1000000s" must not make a
// megabyte of padding.
constexpr int kMaxWidthDigits = 3;

const WCHAR kNullText[] = {'(', 'n', 'u', 'l', 'l', ')', 0};

// One conversion: "%", flags, width, length and the conversion letter.
struct Spec {
  bool pad_right = false;  // '-'
  bool pad_zeros = false;  // '0', for numbers only
  size_t width = 0;
  int longs = 0;  // number of 'l': one or two mean a 64-bit argument
  WCHAR conversion = 0;
};

bool IsDigit(WCHAR c) { return c >= '0' && c <= '9'; }

// Parses the conversion whose text starts right after a '%' at `p`.  Answers
// the position after it, or nullptr when KSLog does not understand it.
const WCHAR* ParseSpec(const WCHAR* p, Spec* spec) {
  for (;; ++p) {
    if (*p == '-') {
      spec->pad_right = true;
    } else if (*p == '0') {
      spec->pad_zeros = true;
    } else {
      break;
    }
  }
  for (int digits = 0; IsDigit(*p); ++p) {
    if (++digits > kMaxWidthDigits) return nullptr;
    spec->width = spec->width * 10 + static_cast<size_t>(*p - '0');
  }
  for (; *p == 'l'; ++p) {
    if (++spec->longs > 2) return nullptr;
  }
  switch (*p) {
    case 'd':
    case 'i':
    case 'u':
    case 'x':
    case 'X':
      break;
    case 's':
      if (spec->longs != 0) return nullptr;
      break;
    default:
      return nullptr;  // also the NUL of a format ending in '%'
  }
  spec->conversion = *p;
  return p + 1;
}

using WideView = std::basic_string_view<WCHAR>;

size_t Length(const WCHAR* text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

void AppendUtf8(WideView text, std::string* out) {
  ks::text::AppendUtf16AsUtf8<WCHAR>(text, out);
}

// Appends `sign`, then the body that append_body writes, padded to the
// spec's width; `units` is the width of sign and body in UTF-16 code units.
template <typename AppendBody>
void AppendPadded(const Spec& spec, std::string_view sign, size_t units, bool numeric,
                  std::string* out, AppendBody append_body) {
  const size_t pad = spec.width > units ? spec.width - units : 0;
  if (spec.pad_right) {
    out->append(sign);
    append_body();
    out->append(pad, ' ');
  } else if (spec.pad_zeros && numeric) {
    out->append(sign).append(pad, '0');  // "-0042", not "00-42"
    append_body();
  } else {
    out->append(pad, ' ').append(sign);
    append_body();
  }
}

void AppendInteger(const Spec& spec, bool negative, uint64_t magnitude, std::string* out) {
  const bool hex = spec.conversion == 'x' || spec.conversion == 'X';
  char digits[24];  // 2^64 has 20 decimal digits
  const auto result = std::to_chars(digits, digits + sizeof(digits), magnitude, hex ? 16 : 10);
  if (spec.conversion == 'X') {
    for (char* c = digits; c < result.ptr; ++c) {
      if (*c >= 'a') *c = static_cast<char>(*c - 'a' + 'A');
    }
  }
  const std::string_view body(digits, static_cast<size_t>(result.ptr - digits));
  const std::string_view sign = negative ? "-" : "";
  AppendPadded(spec, sign, sign.size() + body.size(), true, out, [&] { out->append(body); });
}

// Reads the argument `spec` asks for and appends it.
void AppendConversion(const Spec& spec, va_list* args, std::string* out) {
  switch (spec.conversion) {
    case 's': {
      const WCHAR* text = va_arg(*args, const WCHAR*);
      if (text == nullptr) text = kNullText;
      const WideView body(text, Length(text));
      AppendPadded(spec, {}, body.size(), false, out, [&] { AppendUtf8(body, out); });
      return;
    }
    case 'd':
    case 'i':
      if (spec.longs > 0) {
        const int64_t v = va_arg(*args, int64_t);
        // 0 - v computed unsigned: INT64_MIN has no positive counterpart.
        const uint64_t magnitude =
            v < 0 ? uint64_t{0} - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        AppendInteger(spec, v < 0, magnitude, out);
      } else {
        const int32_t v = va_arg(*args, int32_t);
        const uint64_t magnitude =
            v < 0 ? uint64_t{0} - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        AppendInteger(spec, v < 0, magnitude, out);
      }
      return;
    default:  // u, x, X
      const uint64_t v = spec.longs > 0 ? va_arg(*args, uint64_t) : va_arg(*args, uint32_t);
      AppendInteger(spec, false, v, out);
      return;
  }
}

}  // namespace

void AppendFormatted(const WCHAR* format, va_list* args, std::string* out) {
  if (format == nullptr) format = kNullText;
  const WCHAR* run = format;  // start of the literal text not yet appended
  const WCHAR* p = format;
  while (*p != 0) {
    if (*p != '%') {
      ++p;
      continue;
    }
    if (p[1] == '%') {
      AppendUtf8(WideView(run, static_cast<size_t>(p + 1 - run)), out);  // with one '%'
      p += 2;
      run = p;
      continue;
    }
    Spec spec;
    const WCHAR* next = ParseSpec(p + 1, &spec);
    if (next == nullptr) {
      ++p;  // not understood: the '%' stays in the run, as text
      continue;
    }
    AppendUtf8(WideView(run, static_cast<size_t>(p - run)), out);
    AppendConversion(spec, args, out);
    p = next;
    run = p;
  }
  AppendUtf8(WideView(run, static_cast<size_t>(p - run)), out);
}

void AppendUtf8(const WCHAR* text, std::string* out) {
  if (text == nullptr) text = kNullText;
  AppendUtf8(WideView(text, Length(text)), out);
}

}  // namespace kslog
