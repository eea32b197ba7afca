// Storing one shortcut: its target, its optional texts (a web shortcut's
// display text after the sign-in host rewrite), its marks and its category.
#include <optional>
#include <string>

#include "DataManagerUtils.h"
#include "KeelAPIUtils.h"
#include "families/Shortcuts.h"
#include "families/SignInHosts.h"
#include "log/Log.h"
#include "log/MethodFrame.h"
#include "platform/TextCodec.h"
#include "text/Fields.h"

DM_LOG_SOURCE(".\\DataManagerUtils");

namespace dm {
namespace {

using shortcut::Shortcut;
using shortcut::View;

constexpr DWORD kWebMark = 1;

bool WriteText(Shortcut& sc, int32_t property, WStringView text) {
  const std::string utf8 = platform::WideToUtf8(text);
  return KeelAPIUtils().SetShortcutProperty(sc.handle(), property, utf8.c_str(), -1) >= 0;
}

bool WriteNumber(Shortcut& sc, int32_t property, DWORD value) {
  return KeelAPIUtils().SetShortcutProperty(sc.handle(), property, &value, sizeof value) >= 0;
}

// An optional text is written only when it is not empty.
bool WriteOptional(Shortcut& sc, int32_t property, WStringView text) {
  return text.empty() || WriteText(sc, property, text);
}

// Writes the record's properties in their order; false at the first one
// that fails, or when the target is missing or cannot be encoded.
bool WriteProperties(Shortcut& sc, KS_SHORTCUT& record) {
  const std::optional<View> v = shortcut::ViewOf(record);
  if (!v) return false;
  const WStringView targetField =
      v->target != nullptr ? text::FieldText(v->target, shortcut::kLongField) : WStringView();
  const DWORD action = v->actionType != nullptr ? *v->actionType : 0;
  if (v->target != nullptr && targetField.empty()) return false;  // the required field
  const std::optional<WString> target = target::Encode(record.Type, targetField, action);
  if (!target || !WriteText(sc, shortcut::kTargetProperty, *target)) return false;

  WStringView tip = text::FieldText(v->tip, shortcut::kTipField);
  if (record.Type == WEB) {
    const WStringView fullAddr = text::FieldText(v->fullAddr, shortcut::kLongField);
    if (!WriteOptional(sc, shortcut::kFullAddrProperty, fullAddr)) return false;
    tip = signin::DisplayName(tip, fullAddr).value_or(tip);
  }
  const WStringView category = shortcut::CategoryName(*v->category);
  return WriteOptional(sc, shortcut::kIconRefProperty,
                       text::FieldText(v->iconRef, shortcut::kLongField)) &&
         WriteOptional(sc, shortcut::kTipProperty, tip) &&
         WriteNumber(sc, shortcut::kHiddenProperty, *v->isShowed == 0 ? 1 : 0) &&
         WriteNumber(sc, shortcut::kPreloadedProperty, *v->isPreloaded) &&
         WriteOptional(sc, shortcut::kCategoryProperty, category);
}

// The record as the caller passed it (its texts up to their widths).
void ShowRecord(KS_SHORTCUT& record) {
  DM_LOG_FUNCTION("DataManagerUtils::SetShortcut");
  const View v = *shortcut::ViewOf(record);
  switch (record.Type) {
    case WEB: {
      const WString url(text::FieldText(v.target, shortcut::kLongField));
      const WString fullAddr(text::FieldText(v.fullAddr, shortcut::kLongField));
      DM_LOG("QL Type Is WEB; Url Is %s And FullAddr Is %s And IsShowed Is %i And IsPreloaded Is "
             "%i And CATEGORY Type Is %i",
             url.c_str(), fullAddr.c_str(), *v.isShowed, *v.isPreloaded, *v.category);
      break;
    }
    case LOCAL: {
      const WString path(text::FieldText(v.target, shortcut::kLongField));
      DM_LOG("QL Type Is LOCAL; Path Is %s And IsShowed Is %i And IsPreloaded Is %i And CATEGORY "
             "Type Is %i",
             path.c_str(), *v.isShowed, *v.isPreloaded, *v.category);
      break;
    }
    default:
      DM_LOG("QL Type Is ACTION; ACTIONType Is %i And IsShowed Is %i And IsPreloaded Is %i And "
             "CATEGORY Type Is %i",
             *v.actionType, *v.isShowed, *v.isPreloaded, *v.category);
      break;
  }
}

}  // namespace

BOOL DataManagerUtils::SetShortcut(KS_QL_TYPE type, PKS_SHORTCUT shortcut) {
  DM_LOG_FUNCTION("DataManagerUtils::SetShortcut");
  return RunMethod(DM_METHOD_LINES("SetShortcut()"), __LINE__, [&]() -> BOOL {
    if (!shortcut::IsLookupOf(type, shortcut)) return FALSE;
    DM_LOG("QLType Is %i", type);
    if (!InitializeQL()) return FALSE;
    DM_LOG("Set Shortcut");
    uint32_t handle = 0;
    if (KeelAPIUtils().CreateShortcut(&handle) < 0) return FALSE;
    Shortcut sc(handle);
    if (!WriteProperties(sc, *shortcut)) {
      // Nothing half-written is left behind, unless the store refuses the
      // delete too (its wrapper logs that).
      DM_LOG("SetShortcutProperty Failed And Delete This Shortcut");
      sc.Delete();
      return FALSE;
    }
    if (type == WEB) WriteNumber(sc, shortcut::kWebMarkProperty, kWebMark);  // never fails the call
    DM_LOG("Set Shortcut Successfully");
    sc.Release();
    ShowRecord(*shortcut);
    return TRUE;
  });
}

}  // namespace dm
