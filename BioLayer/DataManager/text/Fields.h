// Fields.h - moving text between the store's UTF-8 and the fixed-width
// UTF-16 fields of the interface's records.  Every record field of the
// library is read and written through these, so no write goes past a field
// and no read goes past its width when the caller left out the terminator.
#ifndef DM_TEXT_FIELDS_H
#define DM_TEXT_FIELDS_H

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "ks/utf.h"
#include "ks/wipe.h"
#include "platform/Env.h"
#include "platform/TextCodec.h"

namespace dm::text {

// The caller's text in a field of `Width` WCHARs: up to its NUL, or the
// whole field when there is none.
template <size_t Width>
WStringView FieldText(const WCHAR (&field)[Width]) {
  return ks::text::FieldText<WCHAR>(field, Width);
}
inline WStringView FieldText(const WCHAR* field, size_t width) {
  return ks::text::FieldText<WCHAR>(field, width);
}

// Copies `text` and its NUL into a field, cut to Width - 1 WCHARs.
template <size_t Width>
void CopyToField(WCHAR (&field)[Width], WStringView text) {
  ks::text::CopyToField<WCHAR>(field, Width, text);
}
inline void CopyToField(WCHAR* field, size_t width, WStringView text) {
  ks::text::CopyToField<WCHAR>(field, width, text);
}

// Decodes the NUL-terminated UTF-8 text in a store buffer of `capacity`
// bytes (read only up to the capacity) into a field of `width` WCHARs, whole
// or not at all: text that is not valid UTF-8, or that would not fit with
// its terminator, gives the empty text, since a cut value would be another
// password, user name or domain.  Code units after the terminator are left
// as they were; a null field or a width of 0 is left alone.  Answers whether
// the text was placed whole.
inline bool StoreTextToField(const char* buffer, size_t capacity, WCHAR* field, size_t width) {
  if (field == nullptr || width == 0) return false;
  // Decoded on the stack first, so that a text that does not fit leaves
  // nothing of itself in the field; the record fields are at most this
  // wide, and a wider one takes the heap.
  constexpr size_t kOnStack = 2048;
  const std::string_view utf8 = ks::text::BufferText(buffer, capacity);
  WCHAR onStack[kOnStack];
  WString onHeap;
  WCHAR* decoded = onStack;
  if (width > kOnStack) {
    onHeap.resize(width - 1);
    decoded = onHeap.data();
  }
  const std::optional<size_t> units = platform::Utf8ToWide(utf8, decoded, width - 1);
  CopyToField(field, width, WStringView(decoded, units.value_or(0)));
  // The decoder wrote at most one unit a byte; the text may be a password.
  ks::Wipe(decoded, std::min(utf8.size(), width - 1) * sizeof(WCHAR));
  return units.has_value();
}

// The UTF-8 form of a caller's field, ready to be written to the store with
// size -1 (std::string keeps the terminating NUL after its data).
template <size_t Width>
std::string FieldToStoreText(const WCHAR (&field)[Width]) {
  return platform::WideToUtf8(FieldText(field));
}
inline std::string FieldToStoreText(const WCHAR* field, size_t width) {
  return platform::WideToUtf8(FieldText(field, width));
}

}  // namespace dm::text

#endif  // DM_TEXT_FIELDS_H
