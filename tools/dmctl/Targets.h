// Targets.h - what quick launches and shortcuts open (a web address, a local
// path or a system action) as the ql and shortcut commands name and show it,
// and the reading of a list in two calls.
#ifndef DMCTL_TARGETS_H
#define DMCTL_TARGETS_H

#include <cstddef>
#include <memory>
#include <new>
#include <string>

#include "DataManager.h"
#include "Fields.h"
#include "Output.h"

namespace dmctl {

// The index of `word` among `count` names, compared without regard to ASCII
// case, or -1 when it is none of them.
int FindName(const std::string& word, const char* const* names, size_t count);

// The `count` names joined by `separator`, for messages and help.
std::string JoinNames(const char* const* names, size_t count, const char* separator);

// "web", "local" or "action", and back; the name is null for another type.
bool ParseType(const std::string& word, KS_QL_TYPE* type);
const char* TypeName(KS_QL_TYPE type);

// The actions by name, 1 "lock" to 10 "myvideos"; the name is null for
// another number.
const char* ActionName(DWORD action);
// The action names joined by `separator`.
std::string ActionNames(const char* separator);

// A target from the command line: <web|local|action> <address|path|name>.
struct Target {
  KS_QL_TYPE type = 0;
  std::string text;  // WEB: the address; LOCAL: the path
  DWORD action = 0;  // ACTION: 1 to 10
};

// False, with a message for a wrong action name, when the two words name no
// target.
bool ParseTarget(const std::string& type, const std::string& target, Target* parsed);

// Places a target into a record: its address or path into `text`, its
// action into `*action`; false, with a message, when the text does not fit.
template <size_t Width>
bool PlaceTarget(const Target& target, WCHAR (&text)[Width], DWORD* action) {
  if (target.type == ACTION) {
    *action = target.action;
    return true;
  }
  return ToField(target.text, text, target.type == WEB ? "address" : "path");
}

// Shows a record's target under "url", "path" or "action" (null, "unknown",
// for an action without a name); nothing for another type.
void ShowTarget(Record* item, KS_QL_TYPE type, const std::string& text, DWORD action);

// Reads a whole list with `read(records, capacity, count)`, an export's list
// call: first the count, then the records into zero-filled memory.  Answers
// the records, and in *count how many were read; null with a count of 0 when
// the export answered failure (which it does for an empty list) or the
// memory could not be had.
template <typename Item, typename Read>
std::unique_ptr<Item[]> ReadList(Read read, DWORD* count) {
  *count = 0;
  std::unique_ptr<Item[]> records;
  if (!read(nullptr, 0, count) || *count == 0) {
    *count = 0;
    return records;
  }
  const DWORD capacity = *count;
  records.reset(new (std::nothrow) Item[capacity]());
  if (records == nullptr || !read(records.get(), capacity, count)) {
    *count = 0;
    records.reset();
  } else if (*count > capacity) {
    *count = capacity;
  }
  return records;
}

}  // namespace dmctl

#endif  // DMCTL_TARGETS_H
