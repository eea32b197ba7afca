// Worker methods whose families are not built yet.  Each answers 0 and
// touches nothing: no store call, no log line, no write to its arguments.
// A family moves out of this file into one of its own when it is built.
#include "DataManagerUtils.h"

namespace dm {

BOOL DataManagerUtils::GetSetting(DWORD, PKS_SETTING) { return FALSE; }
BOOL DataManagerUtils::SetSetting(DWORD, PKS_SETTING) { return FALSE; }
BOOL DataManagerUtils::GetHotkeyState(DWORD, PDWORD, PDWORD, PDWORD) { return FALSE; }
BOOL DataManagerUtils::SetHotkeyState(DWORD, DWORD, DWORD, DWORD) { return FALSE; }

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

BOOL DataManagerUtils::GetvCard(PKS_VCARD) { return FALSE; }
BOOL DataManagerUtils::SetvCard(PKS_VCARD) { return FALSE; }

BOOL DataManagerUtils::IsUserEnrolled() { return FALSE; }
BOOL DataManagerUtils::IsSensorConnected() { return FALSE; }
BOOL DataManagerUtils::SetBioModuleParent(void*) { return FALSE; }
BOOL DataManagerUtils::StartAuthentication() { return FALSE; }

BOOL DataManagerUtils::SubmitRegistration() { return FALSE; }
BOOL DataManagerUtils::GetVIPCID(WCHAR*) { return FALSE; }
BOOL DataManagerUtils::GetVIPOTP(WCHAR*, WCHAR*) { return FALSE; }
BOOL DataManagerUtils::LaunchVIPPromptUIWithCmd(const char*, PDWORD) { return FALSE; }

}  // namespace dm
