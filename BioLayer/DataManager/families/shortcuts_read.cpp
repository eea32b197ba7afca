// Listing and testing shortcuts: how many of a type the store holds, all of
// them with every field, the icon and tip of given web addresses, and
// whether a target (shown, or at all) is stored.
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "DataManagerUtils.h"
#include "KeelAPIUtils.h"
#include "families/ArrayFill.h"
#include "families/CardFields.h"
#include "families/Shortcuts.h"
#include "log/Log.h"
#include "log/MethodFrame.h"
#include "text/Fields.h"

DM_LOG_SOURCE(".\\DataManagerUtils");

namespace dm {
namespace shortcut {

target::Target ReadTarget(Shortcut& shortcut, WCHAR (&text)[kLongField]) {
  return cards::ReadTarget(&KeelAPIUtils::GetShortcutProperty, shortcut.handle(), kTargetProperty,
                           text);
}

void ReadTextField(Shortcut& shortcut, int32_t property, WCHAR* field, size_t width) {
  std::memset(field, 0, width * sizeof(WCHAR));
  cards::ReadObjectText(&KeelAPIUtils::GetShortcutProperty, shortcut.handle(), property, field,
                        width);
}

bool SameTarget(KS_SHORTCUT& a, KS_SHORTCUT& b, KS_QL_TYPE type) {
  const std::optional<View> x = ViewOf(a, type), y = ViewOf(b, type);
  if (!x || !y) return false;
  if (type == ACTION) return *x->actionType != 0 && *x->actionType == *y->actionType;
  const WStringView p = text::FieldText(x->target, kLongField);
  return !p.empty() && p == text::FieldText(y->target, kLongField);
}

}  // namespace shortcut

namespace {

using shortcut::Shortcut;
using shortcut::View;

// A 32-bit property, or nothing when it is missing or unreadable.
std::optional<DWORD> ReadNumber(Shortcut& sc, int32_t property) {
  DWORD value = 0;
  uint32_t size = 0;
  if (KeelAPIUtils().GetShortcutProperty(sc.handle(), property, sizeof value, &value, &size) < 0) {
    return std::nullopt;
  }
  return value;
}

// Fills `record` under `type`'s layout from the stored shortcut, whose
// target was classified as `type`.  A second read of the target that fails
// drops the record (answers false); every other field is cleared first and
// left cleared when its property is missing or unreadable.
bool ReadShortcut(Shortcut& sc, KS_QL_TYPE type, KS_SHORTCUT& record) {
  record.Type = type;
  const View view = *shortcut::ViewOf(record, type);
  WCHAR text[shortcut::kLongField];
  const target::Target again = shortcut::ReadTarget(sc, text);
  if (again.type != type) return false;
  if (type == ACTION) {
    *view.actionType = target::ActionNumber(again.value);  // 0 for an unknown action
  } else {
    text::CopyToField(view.target, shortcut::kLongField, again.value);
  }
  if (type == WEB) {
    text::CopyToField(view.fullAddr, shortcut::kLongField, again.value);
    cards::ReadObjectText(&KeelAPIUtils::GetShortcutProperty, sc.handle(),
                          shortcut::kFullAddrProperty, view.fullAddr, shortcut::kLongField);
  }
  shortcut::ReadTextField(sc, shortcut::kIconRefProperty, view.iconRef, shortcut::kLongField);
  shortcut::ReadTextField(sc, shortcut::kTipProperty, view.tip, shortcut::kTipField);
  const std::optional<DWORD> hidden = ReadNumber(sc, shortcut::kHiddenProperty);
  *view.isShowed = hidden == 0u ? 1 : 0;
  *view.isPreloaded = ReadNumber(sc, shortcut::kPreloadedProperty).value_or(0);
  WCHAR category[shortcut::kTipField];
  shortcut::ReadTextField(sc, shortcut::kCategoryProperty, category, std::size(category));
  *view.category = shortcut::CategoryNumber(text::FieldText(category));
  return true;
}

void ShowShortcut(DWORD index, KS_SHORTCUT& record) {
  DM_LOG_FUNCTION("DataManagerUtils::GetShortcut");
  DM_LOG("Get Shortcut Index = %u Successfully", index);
  const View v = *shortcut::ViewOf(record);
  switch (record.Type) {
    case WEB:
      DM_LOG("Url Is %s And FullAddr Is %s And IconRef Is %s And Tip Is %s And IsShowed Is %i "
             "And IsPreloaded Is %i And CATEGORY Type Is %i",
             v.target, v.fullAddr, v.iconRef, v.tip, *v.isShowed, *v.isPreloaded, *v.category);
      break;
    case LOCAL:
      DM_LOG("Path Is %s And IconRef Is %s And Tip Is %s And IsShowed Is %i And IsPreloaded Is "
             "%i And CATEGORY Type Is %i",
             v.target, v.iconRef, v.tip, *v.isShowed, *v.isPreloaded, *v.category);
      break;
    default:
      DM_LOG("ACTION Type Is %i And IconRef Is %s And Tip Is %s And IsShowed Is %i And "
             "IsPreloaded Is %i And CATEGORY Type Is %i",
             *v.actionType, v.iconRef, v.tip, *v.isShowed, *v.isPreloaded, *v.category);
      break;
  }
}

}  // namespace

namespace shortcut {

BOOL ListShortcuts(DataManagerUtils& worker, KS_QL_TYPE type, DWORD capacity, PDWORD count,
                   const std::function<KS_SHORTCUT&(DWORD)>& slot,
                   const std::function<void(KS_SHORTCUT&)>& filled) {
  DM_LOG_FUNCTION("DataManagerUtils::GetShortcut");
  return RunCountedMethod(
      DM_COUNTED_METHOD_LINES("GetShortcut(KS_QL_TYPE,PKS_SHORTCUT,DWORD,PDWORD)"), __LINE__,
      count, [&](DWORD& n) -> BOOL {
        if (type == 0 || capacity == 0) return FALSE;
        DM_LOG("Input Count Is %u", capacity);
        if (!worker.InitializeQL()) return FALSE;
        DM_LOG("Get Shortcut");
        ArrayFill fill(capacity, kLogFunction);
        walk::WalkShortcuts([&](Shortcut& sc) {
          WCHAR text[kLongField];
          KS_SHORTCUT& record = slot(fill.filled());
          const bool read = ReadTarget(sc, text).type == type && ReadShortcut(sc, type, record);
          if (read) {
            ShowShortcut(fill.filled(), record);
            filled(record);
          }
          return fill.Visited(sc, read);
        });
        if (fill.filled() == 0) return FALSE;
        DM_LOG("Get Shortcut Successfully");
        n = fill.filled();
        return TRUE;
      });
}

bool ScanStored(DataManagerUtils& worker, const WCHAR* function, KS_QL_TYPE type,
                const std::function<void(KS_SHORTCUT&)>& visit) {
  const WCHAR* const kLogFunction = function;
  DWORD n = 0;
  if (!worker.GetShortcutCount(type, &n)) return false;
  DM_LOG("Get Shortcut");
  const std::unique_ptr<KS_SHORTCUT> record(new (std::nothrow) KS_SHORTCUT());
  DWORD listed = 0;
  return record != nullptr &&
         ListShortcuts(worker, type, n, &listed,
                       [&record](DWORD) -> KS_SHORTCUT& { return *record; }, visit);
}

}  // namespace shortcut

namespace {

// IsShortcutExist and IsShortcutShowed: the first stored shortcut of the
// record's type with its target (and, with `shownOnly`, shown) answers.
BOOL FindExact(DataManagerUtils& worker, const WCHAR* function, KS_QL_TYPE type,
               PKS_SHORTCUT record, bool shownOnly, const WCHAR* determine) {
  if (!shortcut::IsLookupOf(type, record)) return FALSE;
  bool found = false;
  const bool listed = shortcut::ScanStored(worker, function, type, [&](KS_SHORTCUT& stored) {
    const bool shown = *shortcut::ViewOf(stored, type)->isShowed != 0;
    found = found || ((shown || !shownOnly) && shortcut::SameTarget(*record, stored, type));
  });
  if (!listed) return FALSE;
  log::Write(kLogSource, function, __LINE__, 1, determine);
  return found;
}

}  // namespace

BOOL DataManagerUtils::GetShortcutCount(KS_QL_TYPE type, PDWORD count) {
  DM_LOG_FUNCTION("DataManagerUtils::GetShortcutCount");
  return RunCountedMethod(DM_COUNTED_METHOD_LINES("GetShortcutCount()"), __LINE__, count,
                          [&](DWORD& n) -> BOOL {
    if (type == 0 || !InitializeQL()) return FALSE;
    DM_LOG("Get Shortcut Count");
    DWORD counted = 0;
    walk::WalkShortcuts([&](Shortcut& sc) {
      WCHAR text[shortcut::kLongField];
      if (shortcut::ReadTarget(sc, text).type == type) ++counted;
      return walk::Walk::kNext;
    });
    if (counted == 0) return FALSE;
    DM_LOG("Get Shortcut Count Successfully");
    n = counted;
    return TRUE;
  });
}

BOOL DataManagerUtils::GetShortcut(KS_QL_TYPE type, PKS_SHORTCUT shortcuts, DWORD capacity,
                                   PDWORD count) {
  return shortcut::ListShortcuts(
      *this, type, shortcuts != nullptr ? capacity : 0, count,
      [shortcuts](DWORD n) -> KS_SHORTCUT& { return shortcuts[n]; }, [](KS_SHORTCUT&) {});
}

BOOL DataManagerUtils::GetShortcut(PKS_SHORTCUT shortcuts, DWORD number, PDWORD count) {
  DM_LOG_FUNCTION("DataManagerUtils::GetShortcut");
  return RunCountedMethod(DM_COUNTED_METHOD_LINES("GetShortcut(PKS_SHORTCUT,DWORD,PDWORD)"),
                          __LINE__, count, [&](DWORD& n) -> BOOL {
    if (shortcuts == nullptr || number == 0) return FALSE;
    // The web shortcuts are looked up whatever the given records' types; a
    // given web record takes the icon and tip of the first one with its
    // address.
    std::vector<bool> found(number);
    const bool listed = shortcut::ScanStored(*this, kLogFunction, WEB, [&](KS_SHORTCUT& stored) {
      for (DWORD j = 0; j < number; ++j) {
        KS_SHORTCUT& given = shortcuts[j];
        if (given.Type != WEB || found[j] || !shortcut::SameTarget(given, stored, WEB)) continue;
        found[j] = true;
        std::memcpy(given.Web.IconRef, stored.Web.IconRef, sizeof given.Web.IconRef);
        std::memcpy(given.Web.Tip, stored.Web.Tip, sizeof given.Web.Tip);
      }
    });
    if (!listed) return FALSE;
    DM_LOG("Determine If Shortcut Is Exist Or Not");
    for (DWORD j = 0; j < number; ++j) {
      KS_SHORTCUT& given = shortcuts[j];
      const std::optional<View> view = shortcut::ViewOf(given);
      if (!view) continue;  // no layout: left as it is
      if (given.Type == WEB && found[j]) {
        DM_LOG("Shortcut Is Found");
        continue;
      }
      if (given.Type == WEB) DM_LOG("Shortcut Is Not Found");
      std::memset(view->tip, 0, shortcut::kTipField * sizeof(WCHAR));
      std::memset(view->iconRef, 0, shortcut::kLongField * sizeof(WCHAR));
      if (given.Type == LOCAL) {  // the path stands for its own icon
        text::CopyToField(view->iconRef, shortcut::kLongField,
                          text::FieldText(view->target, shortcut::kLongField));
      }
    }
    DM_LOG("Get Shortcut Successfully");
    n = number;
    return TRUE;
  });
}

BOOL DataManagerUtils::IsShortcutExist(KS_QL_TYPE type, PKS_SHORTCUT shortcut) {
  DM_LOG_FUNCTION("DataManagerUtils::IsShortcutExist");
  return RunMethod(DM_METHOD_LINES("IsShortcutExist()"), __LINE__, [&]() -> BOOL {
    return FindExact(*this, kLogFunction, type, shortcut, false,
                     KS_TEXT("Determine If Shortcut Is Exist Or Not"));
  });
}

BOOL DataManagerUtils::IsShortcutShowed(KS_QL_TYPE type, PKS_SHORTCUT shortcut) {
  DM_LOG_FUNCTION("DataManagerUtils::IsShortcutShowed");
  return RunMethod(DM_METHOD_LINES("IsShortcutShowed()"), __LINE__, [&]() -> BOOL {
    return FindExact(*this, kLogFunction, type, shortcut, true,
                     KS_TEXT("Determine If Shortcut Is Showed Or Not"));
  });
}

}  // namespace dm
