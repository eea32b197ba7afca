// Worker methods whose families are not built yet.  Each answers 0 and
// touches nothing: no store call, no log line, no write to its arguments.
// A family moves out of this file into one of its own when it is built.
#include "DataManagerUtils.h"

namespace dm {

BOOL DataManagerUtils::GetQLCount(teKM_FINGER_INDEX, PDWORD) { return FALSE; }
BOOL DataManagerUtils::GetQL(teKM_FINGER_INDEX, PKS_QL, DWORD, PDWORD, BOOL) { return FALSE; }
BOOL DataManagerUtils::IsQLExist(PKS_QL) { return FALSE; }
BOOL DataManagerUtils::SetQL(teKM_FINGER_INDEX, PKS_QL) { return FALSE; }
BOOL DataManagerUtils::DeleteQL(teKM_FINGER_INDEX, PKS_QL, DWORD) { return FALSE; }
BOOL DataManagerUtils::DeleteQLAll(teKM_FINGER_INDEX) { return FALSE; }

BOOL DataManagerUtils::GetShortcutCount(KS_QL_TYPE, PDWORD) { return FALSE; }
BOOL DataManagerUtils::GetShortcut(KS_QL_TYPE, PKS_SHORTCUT, DWORD, PDWORD) { return FALSE; }
BOOL DataManagerUtils::GetShortcut(PKS_SHORTCUT, DWORD, PDWORD) { return FALSE; }
BOOL DataManagerUtils::IsShortcutExist(KS_QL_TYPE, PKS_SHORTCUT) { return FALSE; }
BOOL DataManagerUtils::IsShortcutShowed(KS_QL_TYPE, PKS_SHORTCUT) { return FALSE; }
BOOL DataManagerUtils::SetShortcut(KS_QL_TYPE, PKS_SHORTCUT) { return FALSE; }
BOOL DataManagerUtils::ActivateShortcut(KS_QL_TYPE, PKS_SHORTCUT) { return FALSE; }
BOOL DataManagerUtils::IsShortcutExistUsingProfile(KS_QL_TYPE, PKS_SHORTCUT) { return FALSE; }
BOOL DataManagerUtils::IsShortcutShowedUsingProfile(KS_QL_TYPE, PKS_SHORTCUT) { return FALSE; }
BOOL DataManagerUtils::ActivateShortcutUsingProfile(KS_QL_TYPE, PKS_SHORTCUT) { return FALSE; }

BOOL DataManagerUtils::SubmitRegistration() { return FALSE; }

}  // namespace dm
