// HotkeyText.h - the text a hotkey slot is stored as.
//
// A slot holds two signed decimal integers and a state flag, "<first>++
// <second>**1" when the flag is set and "...**0" when it is clear, in a
// zero-filled buffer of 260 UTF-16 code units that is stored whole.
#ifndef DM_FAMILIES_HOTKEY_TEXT_H
#define DM_FAMILIES_HOTKEY_TEXT_H

#include <cstddef>
#include <cstdint>

#include "KSTypes.h"
#include "platform/Env.h"

namespace dm::hotkey {

inline constexpr size_t kSlotTextWidth = 260;
using SlotText = WCHAR[kSlotTextWidth];

struct SlotValues {
  DWORD first = 0;
  DWORD second = 0;
  DWORD state = 0;  // 0 or 1
};

// Clears `text` and writes the slot's text into it.
void FormatSlotText(int32_t first, int32_t second, bool set, SlotText& text);

// Reads a stored slot text:
// - the state is 1 when "**" is present and the integer after the first one
//   is greater than 0, else 0; the text is cut at that "**";
// - in what is left, the second value follows the first "++" and the first
//   value starts the text; without a "++" all three values are 0.
// Integers are read as base-10 string-to-long does with a 32-bit long:
// leading blanks and one sign allowed, reading stops at the first
// non-digit, no digits give 0, and values past the 32-bit range are held at
// its ends.  Negative values come back as their 32-bit two's complement.
SlotValues ParseSlotText(WStringView text);

}  // namespace dm::hotkey

#endif  // DM_FAMILIES_HOTKEY_TEXT_H
