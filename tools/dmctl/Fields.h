// Fields.h - command-line text into and out of the fixed-width UTF-16 fields
// of DataManager's records, and the wiping of memory that held a secret.
#ifndef DMCTL_FIELDS_H
#define DMCTL_FIELDS_H

#include <cstddef>
#include <cstdio>
#include <string>

#include "KSTypes.h"
#include "ks/utf.h"
#include "ks/wipe.h"

namespace dmctl {

// Overwrites memory that held a secret.
using ks::Wipe;

// Places a UTF-8 argument into a field, whole, and clears the rest of the
// field: false, with a message naming `what`, when it is not UTF-8 or does
// not fit with its terminator (no message when `what` is null).
template <size_t Width>
bool ToField(const std::string& utf8, WCHAR (&field)[Width], const char* what) {
  std::basic_string<WCHAR> wide;
  if (!ks::text::Utf8ToUtf16<WCHAR>(utf8, &wide) || wide.size() >= Width) {
    Wipe(wide.data(), wide.size() * sizeof(WCHAR));
    if (what == nullptr) return false;
    std::fprintf(stderr, "dmctl: the %s must be UTF-8 of at most %zu characters\n", what,
                 Width - 1);
    return false;
  }
  Wipe(field, sizeof field);
  ks::text::CopyToField<WCHAR>(field, Width, wide);
  Wipe(wide.data(), wide.size() * sizeof(WCHAR));
  return true;
}

// The text of a field, up to its terminator, as UTF-8.
template <size_t Width>
std::string FromField(const WCHAR (&field)[Width]) {
  return ks::text::Utf16ToUtf8<WCHAR>(ks::text::FieldText<WCHAR>(field, Width));
}

}  // namespace dmctl

#endif  // DMCTL_FIELDS_H
