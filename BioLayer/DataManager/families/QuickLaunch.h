// QuickLaunch.h - what quick launches share: the macro properties, the
// fingers no operation accepts, and a record's target text.
#ifndef DM_FAMILIES_QUICK_LAUNCH_H
#define DM_FAMILIES_QUICK_LAUNCH_H

#include <cstddef>
#include <cstdint>
#include <optional>

#include "DataManager.h"
#include "families/TargetText.h"
#include "platform/Env.h"
#include "text/Fields.h"

namespace dm::ql {

// The macro's properties: the target text; the reference number (64-bit)
// of the card that signs on to the launched site; that site's login address.
inline constexpr int32_t kTargetProperty = 100;
inline constexpr int32_t kCardRefProperty = 101;
inline constexpr int32_t kLoginUrlProperty = 102;
// The linked card's property that asks for its single sign-on (one byte).
inline constexpr int32_t kCardSignOnProperty = 2001;

// The width of the record's text fields, in WCHARs.
inline constexpr size_t kFieldWidth = 2048;

// No finger, and all ten at once, name no finger to bind a launch to.
inline bool IsRefusedFinger(DWORD finger) { return finger == 0 || finger == 0x3FF; }

// The target text of a record (the caller's fields are read up to their
// width); nothing when it cannot be encoded.
inline std::optional<WString> Encode(const KS_QL& record) {
  switch (record.Type) {
    case WEB:
      return target::Encode(WEB, text::FieldText(record.Url), 0);
    case LOCAL:
      return target::Encode(LOCAL, text::FieldText(record.Path), 0);
    default:
      return target::Encode(record.Type, {}, record.ActionType);
  }
}

}  // namespace dm::ql

#endif  // DM_FAMILIES_QUICK_LAUNCH_H
