// DataManagerUtils.h - the worker behind the exported functions.
//
// Each export constructs one worker on its stack and calls one method.  The
// worker holds nothing (construction does no work): its methods operate on
// the process-wide store handles.  Every family method first opens the store
// through one of the three openings and fails at once, with its own exit
// line, when the opening fails.
//
// Methods return a BOOL, 1 for success and 0 for failure (SubmitRegistration
// returns a result code, 0 for success).
#ifndef DM_DATA_MANAGER_UTILS_H
#define DM_DATA_MANAGER_UTILS_H

#include <string>

#include "DataManager.h"

namespace dm {

class DataManagerUtils {
 public:
  // ---- Openings ----------------------------------------------------------
  // Profiles and one-time passwords: type 1 gives card category 998, type 2
  // category 999, any other type category 0 and failure with no store call.
  // The category is written before the store is opened.
  BOOL InitializeProfile(KS_PROFILE_TYPE type, DWORD* category);
  // Settings, identity card, biometric status, registration: selector 1 or 2.
  BOOL InitializeSetting(DWORD selector);
  // Quick launches, shortcuts, skin index, authentication.
  BOOL InitializeQL();

  // ---- Domains and profiles ------------------------------------------------
  BOOL GetDomainCount(KS_PROFILE_TYPE type, PDWORD count);
  BOOL GetDomain(KS_PROFILE_TYPE type, PKS_DOMAIN domains, DWORD capacity, PDWORD count);
  BOOL GetProfileCount(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PDWORD count);
  BOOL GetProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile);
  BOOL GetProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profiles, DWORD capacity,
                  PDWORD count);
  BOOL QueryProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profiles,
                    DWORD capacity, PDWORD count);
  BOOL IsProfileExist(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile);
  BOOL SetProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile);
  BOOL UpdateProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile);
  BOOL GetSOAccount(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile);
  BOOL SetSOAccount(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile);
  BOOL GetSOProfile();
  BOOL SetSOProfile();
  BOOL SetOTPProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile);

  // ---- Settings -------------------------------------------------------------
  BOOL GetSetting(DWORD selector, PKS_SETTING setting);
  BOOL SetSetting(DWORD selector, PKS_SETTING setting);
  BOOL GetHotkeyState(DWORD slot, PDWORD value1, PDWORD value2, PDWORD value3);
  BOOL SetHotkeyState(DWORD slot, DWORD value1, DWORD value2, DWORD value3);
  BOOL GetSkinIndex(PDWORD skinIndex);
  BOOL SetSkinIndex(DWORD skinIndex);

  // ---- Quick launch -----------------------------------------------------------
  BOOL GetQLCount(teKM_FINGER_INDEX finger, PDWORD count);
  BOOL GetQL(teKM_FINGER_INDEX finger, PKS_QL launches, DWORD capacity, PDWORD count,
             BOOL ssoTriggered);
  BOOL IsQLExist(teKM_FINGER_INDEX finger, PKS_QL launch);
  BOOL IsQLExist(PKS_QL launch);
  BOOL SetQL(teKM_FINGER_INDEX finger, PKS_QL launch);
  BOOL DeleteQL(teKM_FINGER_INDEX finger, PKS_QL launches, DWORD number);
  BOOL DeleteQLAll(teKM_FINGER_INDEX finger);

  // ---- Shortcuts ----------------------------------------------------------------
  BOOL GetShortcutCount(KS_QL_TYPE type, PDWORD count);
  BOOL GetShortcut(KS_QL_TYPE type, PKS_SHORTCUT shortcuts, DWORD capacity, PDWORD count);
  BOOL GetShortcut(PKS_SHORTCUT shortcuts, DWORD capacity, PDWORD count);
  BOOL IsShortcutExist(KS_QL_TYPE type, PKS_SHORTCUT shortcut);
  BOOL IsShortcutShowed(KS_QL_TYPE type, PKS_SHORTCUT shortcut);
  BOOL SetShortcut(KS_QL_TYPE type, PKS_SHORTCUT shortcut);
  BOOL ActivateShortcut(KS_QL_TYPE type, PKS_SHORTCUT shortcut);
  BOOL IsShortcutExistUsingProfile(KS_QL_TYPE type, PKS_SHORTCUT shortcut);
  BOOL IsShortcutShowedUsingProfile(KS_QL_TYPE type, PKS_SHORTCUT shortcut);
  BOOL ActivateShortcutUsingProfile(KS_QL_TYPE type, PKS_SHORTCUT shortcut);

  // ---- Identity card ---------------------------------------------------------------
  BOOL GetvCard(PKS_VCARD vcard);
  BOOL SetvCard(PKS_VCARD vcard);

  // ---- Biometric status -------------------------------------------------------------
  BOOL IsUserEnrolled();
  BOOL IsSensorConnected();
  BOOL SetBioModuleParent(void* parentWindow);
  BOOL StartAuthentication();

  // ---- Registration and VIP access --------------------------------------------------
  // A result code: 0 when the request was sent, 270 when the store could
  // not be opened or the text built, 277 when the encryption failed, 278
  // when the request could not be sent.
  BOOL SubmitRegistration();
  // The registration text: with a null `text`, its size (terminator
  // included) into *size; else the text into `text`, whose *size must be
  // exactly that size.
  BOOL GetRegistrationInfo(char* text, PDWORD size);
  // Encrypts, encodes and sends the text: 0, 277 or 278.
  BOOL SendMsg(const char* text);
  // The text encrypted, Base64- and percent-encoded.
  bool EncryptURL(const char* text, std::string* encoded);
  // One GET of `path` to the registration host; true once it was sent.
  bool SendHttpRequest(const char* path);
  BOOL GetVIPCID(WCHAR* credentialId);
  BOOL GetVIPOTP(WCHAR* firstPassword, WCHAR* secondPassword);
  BOOL LaunchVIPPromptUIWithCmd(const char* command, PDWORD succeeded);

 private:
  // The common tail of the openings: ask for the App, then the Identity.
  // Its lines are logged under the name of the opening that runs it.
  BOOL OpenAppAndIdentity(const WCHAR* opening);
};

}  // namespace dm

#endif  // DM_DATA_MANAGER_UTILS_H
