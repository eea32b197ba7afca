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

void AppendPadded(const Spec& spec, std::basic_string_view<WCHAR> sign,
                  std::basic_string_view<WCHAR> body, bool numeric, WideString* out) {
  const size_t length = sign.size() + body.size();
  const size_t pad = spec.width > length ? spec.width - length : 0;
  if (spec.pad_right) {
    out->append(sign).append(body).append(pad, ' ');
  } else if (spec.pad_zeros && numeric) {
    out->append(sign).append(pad, '0').append(body);  // "-0042", not "00-42"
  } else {
    out->append(pad, ' ').append(sign).append(body);
  }
}

void AppendInteger(const Spec& spec, bool negative, uint64_t magnitude, WideString* out) {
  const bool hex = spec.conversion == 'x' || spec.conversion == 'X';
  char digits[24];  // 2^64 has 20 decimal digits
  const auto result = std::to_chars(digits, digits + sizeof(digits), magnitude, hex ? 16 : 10);
  WCHAR wide[sizeof(digits)];
  size_t count = 0;
  for (const char* c = digits; c < result.ptr; ++c) {
    const char digit = (spec.conversion == 'X' && *c >= 'a') ? static_cast<char>(*c - 'a' + 'A')
                                                              : *c;
    wide[count++] = static_cast<WCHAR>(digit);
  }
  static const WCHAR kMinus[] = {'-', 0};
  AppendPadded(spec, negative ? kMinus : std::basic_string_view<WCHAR>(),
               std::basic_string_view<WCHAR>(wide, count), true, out);
}

// Reads the argument `spec` asks for and appends it.
void AppendConversion(const Spec& spec, va_list* args, WideString* out) {
  switch (spec.conversion) {
    case 's': {
      const WCHAR* text = va_arg(*args, const WCHAR*);
      AppendPadded(spec, {}, text != nullptr ? text : kNullText, false, out);
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

WideString FormatText(const WCHAR* format, va_list* args) {
  if (format == nullptr) return kNullText;
  WideString out;
  const WCHAR* p = format;
  while (*p != 0) {
    if (*p != '%') {
      out.push_back(*p++);
      continue;
    }
    if (p[1] == '%') {
      out.push_back('%');
      p += 2;
      continue;
    }
    Spec spec;
    const WCHAR* next = ParseSpec(p + 1, &spec);
    if (next == nullptr) {
      // Not understood: keep the '%' and go on with what follows it as text.
      out.push_back(*p++);
      continue;
    }
    AppendConversion(spec, args, &out);
    p = next;
  }
  return out;
}

std::string ToUtf8(const WCHAR* text) {
  if (text == nullptr) text = kNullText;
  return ks::text::Utf16ToUtf8<WCHAR>(std::basic_string_view<WCHAR>(text));
}

std::string ToUtf8(const WideString& text) {
  return ks::text::Utf16ToUtf8<WCHAR>(std::basic_string_view<WCHAR>(text));
}

}  // namespace kslog
