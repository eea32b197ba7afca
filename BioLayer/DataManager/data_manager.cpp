// The 40 exported functions.  Each is the same frame around one worker
// method: an entry line, a worker on the stack, the dispatch (with the few
// argument checks the frames make themselves), an exit line with the
// worker's result, and the result.
#include "DataManager.h"

#include "DataManagerUtils.h"
#include "log/Log.h"
#include "log/MethodFrame.h"

DM_LOG_SOURCE(".\\DataManager");

namespace {

using dm::DataManagerUtils;

// Runs the body inside the frame of export `name`: its "Entering <name>()"
// line, a worker on the stack, the body, and its "Exiting <name>() With
// bRet = %i" line with the result.
#define DM_FRAME(name, ...)                                                    \
  ::dm::RunMethod({KS_TEXT(#name), KS_TEXT("Entering " #name "()"),            \
                   KS_TEXT("Exiting " #name "() With bRet = %i"), kLogSource}, \
                  __LINE__, [&]() -> BOOL {                                    \
                    DataManagerUtils worker;                                   \
                    __VA_ARGS__;                                               \
                  })

// The hotkey exports answer 0 for success and 256 for failure.
constexpr BOOL kHotkeySucceeded = 0;
constexpr BOOL kHotkeyFailed = 256;
BOOL HotkeyResult(BOOL bRet) { return bRet ? kHotkeySucceeded : kHotkeyFailed; }

}  // namespace

extern "C" {

// ---- Domains and profiles -------------------------------------------------------

BOOL DM_CALL GetDomain(KS_PROFILE_TYPE type, PKS_DOMAIN domains, DWORD capacity, PDWORD count) {
  return DM_FRAME(GetDomain, {
    if (domains == nullptr && capacity == 0) return worker.GetDomainCount(type, count);
    return worker.GetDomain(type, domains, capacity, count);
  });
}

BOOL DM_CALL GetProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profiles,
                        DWORD capacity, PDWORD count) {
  return DM_FRAME(GetProfile, {
    if (profiles == nullptr && capacity == 0) return worker.GetProfileCount(type, domain, count);
    if (profiles != nullptr && capacity == 0 && count == nullptr) {
      return worker.GetProfile(type, domain, profiles);
    }
    return worker.GetProfile(type, domain, profiles, capacity, count);
  });
}

BOOL DM_CALL QueryProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profiles,
                          DWORD capacity, PDWORD count) {
  return DM_FRAME(QueryProfile, {
    if (profiles == nullptr && capacity == 0) return worker.GetProfileCount(type, domain, count);
    return worker.QueryProfile(type, domain, profiles, capacity, count);
  });
}

BOOL DM_CALL IsProfileExist(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile) {
  return DM_FRAME(IsProfileExist, return worker.IsProfileExist(type, domain, profile));
}

BOOL DM_CALL SetSingleProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile) {
  return DM_FRAME(SetSingleProfile, return worker.SetProfile(type, domain, profile));
}

BOOL DM_CALL UpdateProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile) {
  return DM_FRAME(UpdateProfile, return worker.UpdateProfile(type, domain, profile));
}

BOOL DM_CALL GetSOAccount(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile) {
  return DM_FRAME(GetSOAccount, return worker.GetSOAccount(type, domain, profile));
}

BOOL DM_CALL SetSOAccount(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile) {
  return DM_FRAME(SetSOAccount, return worker.SetSOAccount(type, domain, profile));
}

BOOL DM_CALL GetSOProfile(void) { return DM_FRAME(GetSOProfile, return worker.GetSOProfile()); }

BOOL DM_CALL SetSOProfile(void) { return DM_FRAME(SetSOProfile, return worker.SetSOProfile()); }

BOOL DM_CALL SetSingleOTPProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile) {
  return DM_FRAME(SetSingleOTPProfile, return worker.SetOTPProfile(type, domain, profile));
}

// ---- Settings --------------------------------------------------------------------

BOOL DM_CALL GetSetting(DWORD selector, PKS_SETTING setting) {
  return DM_FRAME(GetSetting, return worker.GetSetting(selector, setting));
}

BOOL DM_CALL SetSetting(DWORD selector, PKS_SETTING setting) {
  return DM_FRAME(SetSetting, return worker.SetSetting(selector, setting));
}

BOOL DM_CALL GetHotkeyState(DWORD slot, PDWORD value1, PDWORD value2, PDWORD value3) {
  return HotkeyResult(
      DM_FRAME(GetHotkeyState, return worker.GetHotkeyState(slot, value1, value2, value3)));
}

BOOL DM_CALL SetHotkeyState(DWORD slot, DWORD value1, DWORD value2, DWORD value3) {
  // The worker refuses a slot out of range (0 included) after its entry line.
  return HotkeyResult(
      DM_FRAME(SetHotkeyState, return worker.SetHotkeyState(slot, value1, value2, value3)));
}

BOOL DM_CALL GetSkinIndex(PDWORD skinIndex) {
  return DM_FRAME(GetSkinIndex, return worker.GetSkinIndex(skinIndex));
}

BOOL DM_CALL SetSkinIndex(DWORD skinIndex) {
  return DM_FRAME(SetSkinIndex, return worker.SetSkinIndex(skinIndex));
}

// ---- Quick launch ---------------------------------------------------------------------

BOOL DM_CALL GetQL(teKM_FINGER_INDEX finger, PKS_QL launches, DWORD capacity, PDWORD count,
                   BOOL SSOTriggered) {
  return DM_FRAME(GetQL, {
    if (launches == nullptr && capacity == 0) return worker.GetQLCount(finger, count);
    return worker.GetQL(finger, launches, capacity, count, SSOTriggered);
  });
}

BOOL DM_CALL SetQL(teKM_FINGER_INDEX finger, PKS_QL launches, DWORD number) {
  return DM_FRAME(SetQL, {
    // Every record that is not stored yet is stored; a failure does not stop
    // the rest.  Success means at least one record was stored.
    BOOL stored = FALSE;
    for (DWORD i = 0; launches != nullptr && i < number; ++i) {
      PKS_QL launch = launches + i;
      if (!worker.IsQLExist(launch) && worker.SetQL(finger, launch)) stored = TRUE;
    }
    return stored;
  });
}

BOOL DM_CALL DeleteQL(teKM_FINGER_INDEX finger, PKS_QL launches, DWORD number) {
  return DM_FRAME(DeleteQL, {
    if (launches == nullptr || number == 0) return FALSE;
    return worker.DeleteQL(finger, launches, number);
  });
}

BOOL DM_CALL DeleteQLAll(teKM_FINGER_INDEX finger) {
  return DM_FRAME(DeleteQLAll, return worker.DeleteQLAll(finger));
}

// ---- Shortcuts ----------------------------------------------------------------------------

BOOL DM_CALL GetShortcut(KS_QL_TYPE type, PKS_SHORTCUT shortcuts, DWORD capacity, PDWORD count) {
  return DM_FRAME(GetShortcut, {
    if (shortcuts == nullptr && capacity == 0) return worker.GetShortcutCount(type, count);
    return worker.GetShortcut(type, shortcuts, capacity, count);
  });
}

BOOL DM_CALL GetShortcutInfo(PKS_SHORTCUT shortcuts, DWORD capacity, PDWORD count) {
  return DM_FRAME(GetShortcutInfo, return worker.GetShortcut(shortcuts, capacity, count));
}

BOOL DM_CALL IsShortcutExist(KS_QL_TYPE type, PKS_SHORTCUT shortcut) {
  return DM_FRAME(IsShortcutExist, return worker.IsShortcutExist(type, shortcut));
}

BOOL DM_CALL IsShortcutShowed(KS_QL_TYPE type, PKS_SHORTCUT shortcut) {
  return DM_FRAME(IsShortcutShowed, return worker.IsShortcutShowed(type, shortcut));
}

BOOL DM_CALL SetSingleShortcut(KS_QL_TYPE type, PKS_SHORTCUT shortcut) {
  return DM_FRAME(SetSingleShortcut, return worker.SetShortcut(type, shortcut));
}

BOOL DM_CALL ActivateSingleShortcut(KS_QL_TYPE type, PKS_SHORTCUT shortcut) {
  return DM_FRAME(ActivateSingleShortcut, return worker.ActivateShortcut(type, shortcut));
}

BOOL DM_CALL IsShortcutExistUsingProfile(KS_QL_TYPE type, PKS_SHORTCUT shortcut) {
  return DM_FRAME(IsShortcutExistUsingProfile,
                  return worker.IsShortcutExistUsingProfile(type, shortcut));
}

BOOL DM_CALL IsShortcutShowedUsingProfile(KS_QL_TYPE type, PKS_SHORTCUT shortcut) {
  return DM_FRAME(IsShortcutShowedUsingProfile,
                  return worker.IsShortcutShowedUsingProfile(type, shortcut));
}

BOOL DM_CALL ActivateSingleShortcutUsingProfile(KS_QL_TYPE type, PKS_SHORTCUT shortcut) {
  return DM_FRAME(ActivateSingleShortcutUsingProfile,
                  return worker.ActivateShortcutUsingProfile(type, shortcut));
}

// ---- Identity card ---------------------------------------------------------------------------

BOOL DM_CALL GetvCard(PKS_VCARD vcard) { return DM_FRAME(GetvCard, return worker.GetvCard(vcard)); }

BOOL DM_CALL SetvCard(PKS_VCARD vcard) { return DM_FRAME(SetvCard, return worker.SetvCard(vcard)); }

// ---- Biometric status ------------------------------------------------------------------------

BOOL DM_CALL IsCurrentUserEnrolled(void) {
  return DM_FRAME(IsCurrentUserEnrolled, return worker.IsUserEnrolled());
}

BOOL DM_CALL IsSensorConnected(void) {
  return DM_FRAME(IsSensorConnected, return worker.IsSensorConnected());
}

BOOL DM_CALL SetBioModuleParent(void* parentWindow) {
  return DM_FRAME(SetBioModuleParent, return worker.SetBioModuleParent(parentWindow));
}

BOOL DM_CALL StartAuthentication(void) {
  return DM_FRAME(StartAuthentication, return worker.StartAuthentication());
}

// ---- Registration and VIP access ------------------------------------------------------------

BOOL DM_CALL SubmitRegistration(void) {
  return DM_FRAME(SubmitRegistration, return worker.SubmitRegistration());
}

BOOL DM_CALL GetVIPCID(WCHAR* credentialId) {
  return DM_FRAME(GetVIPCID, return worker.GetVIPCID(credentialId));
}

BOOL DM_CALL GetVIPOTP(WCHAR* firstPassword, WCHAR* secondPassword) {
  return DM_FRAME(GetVIPOTP, return worker.GetVIPOTP(firstPassword, secondPassword));
}

BOOL DM_CALL LaunchVIPPromptUIWithCmd(const char* command, PDWORD succeeded) {
  return DM_FRAME(LaunchVIPPromptUIWithCmd,
                  return worker.LaunchVIPPromptUIWithCmd(command, succeeded));
}

}  // extern "C"
