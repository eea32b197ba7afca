// Reading quick launches: how many a finger has, what they launch (with the
// login address of a web launch's linked site, and its single sign-on when
// asked for), and whether a finger, or any finger, launches a given target.
#include "DataManagerUtils.h"
#include "KeelAPIUtils.h"
#include "families/ArrayFill.h"
#include "families/CardFields.h"
#include "families/ObjectWalk.h"
#include "families/QuickLaunch.h"
#include "families/RecordArray.h"
#include "log/Log.h"
#include "log/MethodFrame.h"
#include "text/Fields.h"

DM_LOG_SOURCE(".\\DataManagerUtils");

namespace dm {
namespace {

using Macro = walk::Held<walk::Macros>;

// The order in which the one-record look-up asks the fingers.
constexpr DWORD kFingerSearchOrder[] = {0x020, 0x040, 0x080, 0x100, 0x200,
                                        0x001, 0x002, 0x004, 0x008, 0x010};

target::Target ReadTarget(Macro& macro, WCHAR (&text)[ql::kFieldWidth]) {
  return cards::ReadTarget(&KeelAPIUtils::GetMacroProperty, macro.handle(), ql::kTargetProperty,
                           text);
}

// Looks for the card a web launch is linked to, and through it the login
// address of the site: every failure ends the look-up and leaves the record
// as it is (LoginURL equal to Url).  With `signOn`, the card is asked to sign
// on to the site.  The card is released when the look-up ends.
void ReadLinkedSite(Macro& macro, BOOL signOn, KS_QL& record) {
  DM_LOG_FUNCTION("DataManagerUtils::GetQL");
  KeelAPIUtils store;
  int64_t refNum = 0;
  uint32_t size = 0;
  if (store.GetMacroProperty(macro.handle(), ql::kCardRefProperty, sizeof refNum, &refNum,
                             &size) < 0) {
    return;
  }
  DM_LOG("QL's CardRefNum Is %li", refNum);
  uint32_t handle = 0;
  if (store.GetCard(refNum, &handle) < 0) return;
  walk::Held<walk::Cards> card(handle);
  DM_LOG("Get QL's RefCard Successfully");
  const cards::TextRead login =
      cards::ReadObjectText(&KeelAPIUtils::GetMacroProperty, macro.handle(),
                            ql::kLoginUrlProperty, record.LoginURL, ql::kFieldWidth);
  if (!login.stored || login.status < 0) return;
  DM_LOG("QL's LoginURL Is %s", record.LoginURL);
  DM_LOG("Activate QL's SSO");
  if (!signOn) return;
  // Failures are logged by the wrappers and change nothing else.
  store.SetTimestamp();
  cards::WriteCardByte(card.handle(), ql::kCardSignOnProperty, 1);
}

// Fills `record` from a classified target; answers whether it was filled
// (an unknown action leaves Type and ActionType written but is not).
bool FillLaunch(const target::Target& target, Macro& macro, BOOL signOn, KS_QL& record) {
  switch (target.type) {
    case WEB:
      record.Type = WEB;
      text::CopyToField(record.Url, target.value);
      text::CopyToField(record.LoginURL, target.value);
      ReadLinkedSite(macro, signOn, record);
      return true;
    case LOCAL:
      record.Type = LOCAL;
      text::CopyToField(record.Path, target.value);
      return true;
    case ACTION:
      record.Type = ACTION;
      record.ActionType = target::ActionNumber(target.value);
      return record.ActionType != 0;
    default:
      return false;
  }
}

void ShowLaunch(DWORD index, const KS_QL& record) {
  DM_LOG_FUNCTION("DataManagerUtils::GetQL");
  DM_LOG("Get QL Index = %u Successfully", index);
  switch (record.Type) {
    case WEB:
      DM_LOG("QL Type Is WEB; Url Is %s", record.Url);
      break;
    case LOCAL:
      DM_LOG("QL Type Is LOCAL; Path Is %s", record.Path);
      break;
    default:
      DM_LOG("QL Type Is ACTION; ACTION Type Is %i", record.ActionType);
      break;
  }
}

// Whether two records launch the same target; LoginURL does not count.
bool SameLaunch(const KS_QL& a, const KS_QL& b) {
  if (a.Type != b.Type) return false;
  switch (a.Type) {
    case WEB:
    case LOCAL: {
      // Url and Path are the same field.
      const WStringView x = text::FieldText(a.Url), y = text::FieldText(b.Url);
      return !x.empty() && x == y;
    }
    case ACTION:
      return a.ActionType == b.ActionType;
    default:
      return false;
  }
}

}  // namespace

BOOL DataManagerUtils::GetQLCount(teKM_FINGER_INDEX finger, PDWORD count) {
  DM_LOG_FUNCTION("DataManagerUtils::GetQLCount");
  return RunCountedMethod(DM_COUNTED_METHOD_LINES("GetQLCount()"), __LINE__, count,
                          [&](DWORD& n) -> BOOL {
    if (ql::IsRefusedFinger(finger)) return FALSE;
    DM_LOG("FingerIndex Is %i", finger);
    if (!InitializeQL()) return FALSE;
    DM_LOG("Get QL Count");
    // Only the length of the target counts: a text that names no target is
    // counted here although GetQL passes it over.
    DWORD counted = 0;
    walk::WalkMacros(finger, [&](Macro& macro) {
      if (cards::ObjectHasText(&KeelAPIUtils::GetMacroProperty, macro.handle(),
                               ql::kTargetProperty)) {
        ++counted;
      }
      return walk::Walk::kNext;
    });
    if (counted == 0) return FALSE;
    DM_LOG("Get QL Count Successfully");
    n = counted;
    return TRUE;
  });
}

BOOL DataManagerUtils::GetQL(teKM_FINGER_INDEX finger, PKS_QL launches, DWORD capacity,
                             PDWORD count, BOOL ssoTriggered) {
  DM_LOG_FUNCTION("DataManagerUtils::GetQL");
  return RunCountedMethod(DM_COUNTED_METHOD_LINES("GetQL()"), __LINE__, count,
                          [&](DWORD& n) -> BOOL {
    if (ql::IsRefusedFinger(finger) || launches == nullptr || capacity == 0) return FALSE;
    DM_LOG("FingerIndex Is %i, Input Count Is %u, SSOTriggered = %i", finger, capacity,
           ssoTriggered);
    if (!InitializeQL()) return FALSE;
    DM_LOG("Get QL");
    ArrayFill fill(capacity, kLogFunction);
    walk::WalkMacros(finger, [&](Macro& macro) {
      WCHAR text[ql::kFieldWidth];
      const target::Target found = ReadTarget(macro, text);
      KS_QL& record = launches[fill.filled()];
      const bool filled = FillLaunch(found, macro, ssoTriggered, record);
      if (filled) ShowLaunch(fill.filled(), record);
      return fill.Visited(macro, filled);
    });
    if (fill.filled() == 0) return FALSE;
    DM_LOG("Get QL Successfully");
    n = fill.filled();
    return TRUE;
  });
}

BOOL DataManagerUtils::IsQLExist(teKM_FINGER_INDEX finger, PKS_QL launch) {
  DM_LOG_FUNCTION("DataManagerUtils::IsQLExist");
  const MethodLines lines{
      kLogFunction, KS_TEXT("Entering IsQLExist(teKM_FINGER_INDEX,PKS_QL)"),
      KS_TEXT("Exiting IsQLExistIsQLExist(teKM_FINGER_INDEX,PKS_QL) With bRet = %i")};
  return RunMethod(lines, __LINE__, [&]() -> BOOL {
    DM_LOG("FingerIndex Is %i", finger);
    DWORD n = 0;
    if (launch == nullptr || !GetQLCount(finger, &n)) return FALSE;
    DM_LOG("Get QL");
    RecordArray<KS_QL> stored(n);
    DWORD read = 0;
    if (!stored || !GetQL(finger, stored.get(), n, &read, FALSE)) return FALSE;
    DM_LOG("Determine If QL Is Exist Or Not");
    for (DWORD i = 0; i < read; ++i) {
      if (SameLaunch(stored[i], *launch)) {
        DM_LOG("QL Is Found. So Break Here");
        return TRUE;
      }
    }
    return FALSE;
  });
}

BOOL DataManagerUtils::IsQLExist(PKS_QL launch) {
  DM_LOG_FUNCTION("DataManagerUtils::IsQLExist");
  return RunMethod(DM_METHOD_LINES("IsQLExist(PKS_QL)"), __LINE__, [&]() -> BOOL {
    for (const DWORD finger : kFingerSearchOrder) {
      if (IsQLExist(finger, launch)) return TRUE;
    }
    return FALSE;
  });
}

}  // namespace dm
