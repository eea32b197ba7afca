// Shortcuts.h - what the shortcut operations share: reading a stored
// shortcut's target, the list of the stored shortcuts of one type, and the
// exact match of two targets.
#ifndef DM_FAMILIES_SHORTCUTS_H
#define DM_FAMILIES_SHORTCUTS_H

#include <optional>

#include "DataManager.h"
#include "DataManagerUtils.h"
#include "families/ObjectWalk.h"
#include "families/RecordArray.h"
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

// The stored shortcuts of one type, read by the worker's own listing
// methods (GetShortcutCount, then GetShortcut by type into a zero-filled
// array), with the line "Get Shortcut" logged between them under
// `function`.  False when either fails or the array cannot be had.
class StoredShortcuts {
 public:
  StoredShortcuts(DataManagerUtils& worker, const WCHAR* function, KS_QL_TYPE type);
  explicit operator bool() const { return read_; }
  DWORD size() const { return count_; }
  KS_SHORTCUT& operator[](DWORD i) const { return (*records_)[i]; }

 private:
  std::optional<RecordArray<KS_SHORTCUT>> records_;
  DWORD count_ = 0;
  bool read_ = false;
};

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
