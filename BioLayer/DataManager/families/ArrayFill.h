// ArrayFill.h - filling a caller's array of at most `capacity` records.
//
// The list operations fill records in store order and stop when the array
// is full, logging "Input Buffer Is Not Enough. So Break Here" every time it
// fills up, also when no further record was waiting: the caller cannot tell
// the two apart, and the line tells a reader of the log that the list may
// have been cut.
#ifndef DM_FAMILIES_ARRAY_FILL_H
#define DM_FAMILIES_ARRAY_FILL_H

#include "KSTypes.h"
#include "families/ObjectWalk.h"
#include "log/Log.h"

namespace dm {

class ArrayFill {
 public:
  // `function` is the qualified name the full-array line is logged under.
  ArrayFill(DWORD capacity, const WCHAR* function) : capacity_(capacity), function_(function) {}

  // The index of the next record to fill, which is also how many are filled.
  DWORD filled() const { return filled_; }

  // Counts the record just filled.  Answers true when that made the array
  // full, after logging the full-array line: the caller stops there.
  bool Advance() {
    ++filled_;
    if (filled_ < capacity_) return false;
    log::Write(KS_TEXT(".\\DataManagerUtils"), function_, __LINE__, 1,
               KS_TEXT("Input Buffer Is Not Enough. So Break Here"));
    return true;
  }

  // Ends the visit of one object of a list walk (a macro or a shortcut):
  // releases it, then counts the record it `filled`, so that the full-array
  // line follows the release.  The walk stops when the array is full or
  // the release failed.
  template <typename Held>
  walk::Walk Visited(Held& object, bool filled) {
    const bool released = object.Release();
    if (filled && Advance()) return walk::Walk::kStop;
    return released ? walk::Walk::kNext : walk::Walk::kStop;
  }

 private:
  DWORD capacity_;
  const WCHAR* function_;
  DWORD filled_ = 0;
};

}  // namespace dm

#endif  // DM_FAMILIES_ARRAY_FILL_H
