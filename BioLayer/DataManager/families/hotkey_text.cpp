// The text a hotkey slot is stored as (see HotkeyText.h).
#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "families/HotkeyText.h"

namespace dm::hotkey {
namespace {

constexpr WCHAR kValueSeparator[] = {u'+', u'+', 0};
constexpr WCHAR kStateSeparator[] = {u'*', u'*', 0};

// The blanks that string-to-long skips: the C locale's white space.
bool IsBlank(WCHAR c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// Base-10 string-to-long with a 32-bit long.
int32_t ToLong(WStringView text) {
  constexpr int64_t kMost = std::numeric_limits<int32_t>::max();
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  int64_t magnitude = 0;  // held at kMost + 1, which is enough to saturate either way
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    magnitude = std::min(magnitude * 10 + (text[i] - u'0'), kMost + 1);
  }
  const int64_t value = negative ? -magnitude : std::min(magnitude, kMost);
  return static_cast<int32_t>(value);
}

void AppendAscii(WString* out, const std::string& ascii) {
  for (const char c : ascii) out->push_back(static_cast<WCHAR>(c));
}

}  // namespace

void FormatSlotText(int32_t first, int32_t second, bool set, SlotText& text) {
  WString formatted;
  AppendAscii(&formatted, std::to_string(first));
  formatted += kValueSeparator;
  AppendAscii(&formatted, std::to_string(second));
  formatted += kStateSeparator;
  formatted.push_back(set ? u'1' : u'0');
  std::memset(text, 0, sizeof text);
  // At most 11 + 2 + 11 + 3 code units: always fits with its terminator.
  std::memcpy(text, formatted.data(), formatted.size() * sizeof(WCHAR));
}

SlotValues ParseSlotText(WStringView text) {
  SlotValues values;
  const size_t stateAt = text.find(kStateSeparator);
  if (stateAt != WStringView::npos) {
    values.state = ToLong(text.substr(stateAt + 2)) > 0 ? 1 : 0;
    text = text.substr(0, stateAt);
  }
  const size_t secondAt = text.find(kValueSeparator);
  if (secondAt == WStringView::npos) return SlotValues{};
  values.second = static_cast<DWORD>(ToLong(text.substr(secondAt + 2)));
  values.first = static_cast<DWORD>(ToLong(text.substr(0, secondAt)));
  return values;
}

}  // namespace dm::hotkey
