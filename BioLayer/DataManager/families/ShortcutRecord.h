// ShortcutRecord.h - a KS_SHORTCUT seen through the layout its Type
// chooses, the shortcut properties, and the category table.
//
// A record has three layouts after its Type; ViewOf gives the fields of the
// one in force, so no code computes an offset or picks a layout by hand.
#ifndef DM_FAMILIES_SHORTCUT_RECORD_H
#define DM_FAMILIES_SHORTCUT_RECORD_H

#include <cstddef>
#include <cstdint>
#include <optional>

#include "DataManager.h"
#include "platform/Env.h"

namespace dm::shortcut {

// The shortcut object's properties.
inline constexpr int32_t kTipProperty = 1000;        // text
inline constexpr int32_t kTargetProperty = 1002;     // text: the target text
inline constexpr int32_t kFullAddrProperty = 1004;   // text, web shortcuts
inline constexpr int32_t kWebMarkProperty = 1007;    // integer 1 on every web shortcut written
inline constexpr int32_t kPreloadedProperty = 1010;  // integer, stored as given
inline constexpr int32_t kHiddenProperty = 1021;     // integer: 0 means shown
inline constexpr int32_t kCategoryProperty = 1022;   // text: a category name
inline constexpr int32_t kIconRefProperty = 1023;    // text

// The widths of the record's text fields, in WCHARs.
inline constexpr size_t kLongField = 2048;
inline constexpr size_t kTipField = 256;

// The fields of one layout; null where the layout has none.
struct View {
  WCHAR* target = nullptr;    // WEB: Url; LOCAL: Path (kLongField wide)
  DWORD* actionType = nullptr;  // ACTION
  WCHAR* fullAddr = nullptr;  // WEB (kLongField wide)
  WCHAR* iconRef = nullptr;   // kLongField wide
  WCHAR* tip = nullptr;       // kTipField wide
  DWORD* isShowed = nullptr;
  DWORD* isPreloaded = nullptr;
  DWORD* category = nullptr;
};

// The fields of `record` under the layout of `type` (WEB, LOCAL or ACTION);
// nothing for any other type.
std::optional<View> ViewOf(KS_SHORTCUT& record, KS_QL_TYPE type);
inline std::optional<View> ViewOf(KS_SHORTCUT& record) { return ViewOf(record, record.Type); }

// The category number of a stored name (1 "Personal" ... 8 "VeriSignVIP"),
// compared exactly; 0 for a name in no row.
DWORD CategoryNumber(WStringView name);
// The name stored for a category number; empty for 0 and above 8, which
// store no category.
WStringView CategoryName(DWORD number);

}  // namespace dm::shortcut

#endif  // DM_FAMILIES_SHORTCUT_RECORD_H
