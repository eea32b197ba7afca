// Shortcuts.h - what the shortcut operations share: reading a stored
// shortcut's target, the list of the stored shortcuts of one type, and the
// exact match of two targets.
#ifndef DM_FAMILIES_SHORTCUTS_H
#define DM_FAMILIES_SHORTCUTS_H

#include <functional>

#include "DataManager.h"
#include "DataManagerUtils.h"
#include "families/ObjectWalk.h"
#include "families/ShortcutRecord.h"
#include "families/TargetText.h"

namespace dm::shortcut {

using Shortcut = walk::Held<walk::Shortcuts>;

// The stored shortcut's target text (property 1002, a size query and a
// read), classified; the value views into `text`.  A text the store cannot
// give, that is not UTF-8 or that would not fit a record's field names no
// target.
target::Target ReadTarget(Shortcut& shortcut, WCHAR (&text)[kLongField]);

// Reads the text property into a field of `width` WCHARs, which is cleared
// first and left cleared when the property is missing or unreadable.
void ReadTextField(Shortcut& shortcut, int32_t property, WCHAR* field, size_t width);

// The listing of GetShortcut by type, with all its lines: every stored
// shortcut of `type` is read into the record `slot(n)` (n counting from 0,
// at most `capacity` of them; capacity 0 refuses the call) and then handed
// to `filled`.
BOOL ListShortcuts(DataManagerUtils& worker, KS_QL_TYPE type, DWORD capacity, PDWORD count,
                   const std::function<KS_SHORTCUT&(DWORD)>& slot,
                   const std::function<void(KS_SHORTCUT&)>& filled);

// The stored shortcuts of one type, as the look-ups read them: the worker's
// GetShortcutCount, the line "Get Shortcut" under `function`, and the
// listing of GetShortcut by type for that many, each record handed to
// `visit` in store order.  The listing reads into one record instead of an
// array of them: the lines and store calls are those of the array's
// listing, and the memory does not grow with the store.  False when the
// count or the listing fails.
bool ScanStored(DataManagerUtils& worker, const WCHAR* function, KS_QL_TYPE type,
                const std::function<void(KS_SHORTCUT&)>& visit);

// Whether two records of `type` name the same target: WEB the same Url,
// LOCAL the same Path (case-sensitively, neither empty), ACTION the same
// action number (not 0).
bool SameTarget(KS_SHORTCUT& a, KS_SHORTCUT& b, KS_QL_TYPE type);

// Whether the arguments of a look-up are usable: a type, a record, and the
// record of that type.
inline bool IsLookupOf(KS_QL_TYPE type, const KS_SHORTCUT* record) {
  return type != 0 && record != nullptr && record->Type == type;
}

}  // namespace dm::shortcut

#endif  // DM_FAMILIES_SHORTCUTS_H
