/*
 * DataManager.h - the data-access interface of the fingerprint sign-in suite.
 *
 * Forty plain C functions read and write the user's data in the credential
 * store: logon profiles grouped by domain, quick launches bound to a finger,
 * shortcuts, settings and hotkeys, the identity card, biometric status,
 * one-time-password access and the submission of registration data.
 *
 * Conventions:
 * - Every function returns a BOOL: 1 for success, 0 for failure.  The two
 *   hotkey functions return 0 for success and 256 for failure;
 *   SubmitRegistration returns 0 for success and 270, 277 or 278 for failure.
 * - Text is UTF-16 (WCHAR) in fixed-width, NUL-terminated fields.
 * - The caller owns every buffer; nothing is kept after a call returns.
 * - List functions (GetDomain, GetProfile, QueryProfile, GetQL, GetShortcut)
 *   called with a null array and a capacity of 0 report only how many
 *   records there are; called with an array they fill at most `capacity`
 *   records, in store order, and report how many they wrote.
 * - Calls are expected one at a time: the library takes no locks.
 */
#ifndef DATA_MANAGER_H
#define DATA_MANAGER_H

#include "KSTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define DM_API
#else
#define DM_API __attribute__((visibility("default")))
#endif
#define DM_CALL KS_CALL

/* ---- Profiles and domains ------------------------------------------- */

typedef DWORD KS_PROFILE_TYPE;
#define KS_PROFILE_APP 1u /* application logon profiles */
#define KS_PROFILE_WEB 2u /* web logon profiles */

/* One domain name, NUL-terminated: at most 255 characters. */
typedef struct KS_DOMAIN {
  WCHAR Domain[256];
} KS_DOMAIN, *PKS_DOMAIN;

#define KS_OTP_MODE_UNSET 0xFFFFFFFFu

/* One logon profile.  Application profiles use only ProfileType, UserName
 * and Password. */
#pragma pack(push, 4)
typedef struct KS_PROFILE {
  KS_PROFILE_TYPE ProfileType;
  WCHAR UserName[256];
  WCHAR Password[256];
  WCHAR Text3101[256];
  WCHAR Text105[2048];
  DWORD OtpMode; /* KS_OTP_MODE_UNSET when not set */
} KS_PROFILE, *PKS_PROFILE;
#pragma pack(pop)

/* ---- Settings ----------------------------------------------------------- */

/* Application selector: 1 for the touch control application, 2 for the
 * application control application. */
typedef struct KS_SETTING {
  DWORD Type;
  DWORD Fus;
  DWORD QL; /* application 2: its WLOEnabled switch */
  DWORD Nav;
  DWORD TTL;
} KS_SETTING, *PKS_SETTING;

/* ---- Quick launch ------------------------------------------------------- */

/* One bit per finger, bit 0 to bit 9. */
typedef DWORD teKM_FINGER_INDEX;

/* The target type of a quick launch or a shortcut.  Records and arguments
 * carry it as a DWORD, so a caller may pass any value; only the three
 * constants below name a type. */
typedef DWORD KS_QL_TYPE;
enum KS_QL_TYPE_VALUE {
  WEB = 1,    /* a web address */
  LOCAL = 2,  /* a local path */
  ACTION = 3  /* a system action, by number */
};

#pragma pack(push, 4)
typedef struct KS_QL {
  KS_QL_TYPE Type;
  union {
    WCHAR Url[2048];  /* WEB */
    WCHAR Path[2048]; /* LOCAL, without the "file:///" prefix */
    DWORD ActionType; /* ACTION: 1 to 10 */
  };
  WCHAR LoginURL[2048]; /* WEB: the login address of the linked site */
} KS_QL, *PKS_QL;
#pragma pack(pop)

/* ---- Shortcuts ---------------------------------------------------------- */

typedef struct KS_SHORTCUT_WEB {
  WCHAR Url[2048];
  WCHAR FullAddr[2048];
  WCHAR IconRef[2048];
  WCHAR Tip[256];
  DWORD IsShowed;
  DWORD IsPreloaded;
  DWORD Category;
} KS_SHORTCUT_WEB;

typedef struct KS_SHORTCUT_LOCAL {
  WCHAR Path[2048];
  WCHAR IconRef[2048];
  WCHAR Tip[256];
  DWORD IsShowed;
  DWORD IsPreloaded;
  DWORD Category;
} KS_SHORTCUT_LOCAL;

typedef struct KS_SHORTCUT_ACTION {
  DWORD ActionType; /* 1 to 10; 0 when the stored action is unknown */
  WCHAR IconRef[2048];
  WCHAR Tip[256];
  DWORD IsShowed;
  DWORD IsPreloaded;
  DWORD Category;
} KS_SHORTCUT_ACTION;

/* One shortcut; Type chooses the layout that follows it. */
#pragma pack(push, 4)
typedef struct KS_SHORTCUT {
  KS_QL_TYPE Type;
  union {
    KS_SHORTCUT_WEB Web;
    KS_SHORTCUT_LOCAL Local;
    KS_SHORTCUT_ACTION Action;
  };
} KS_SHORTCUT, *PKS_SHORTCUT;
#pragma pack(pop)

/* ---- Identity card ---------------------------------------------------------- */

typedef struct KS_VCARD {
  WCHAR Nickname[256];
  WCHAR FullName[256];
  WCHAR Location[256];
  WCHAR Email[256];
  WCHAR Website[256];
  WCHAR PhoneMobile[256];
  WCHAR SkypeID[256];
} KS_VCARD, *PKS_VCARD;

/* ---- The exported functions ------------------------------------------------ */

DM_API BOOL DM_CALL GetDomain(KS_PROFILE_TYPE type, PKS_DOMAIN domains, DWORD capacity, PDWORD count);
DM_API BOOL DM_CALL GetProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profiles, DWORD capacity, PDWORD count);
DM_API BOOL DM_CALL QueryProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profiles, DWORD capacity, PDWORD count);
DM_API BOOL DM_CALL IsProfileExist(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile);
DM_API BOOL DM_CALL SetSingleProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile);
DM_API BOOL DM_CALL UpdateProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile);
DM_API BOOL DM_CALL GetSOAccount(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile);
DM_API BOOL DM_CALL SetSOAccount(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile);
DM_API BOOL DM_CALL GetSOProfile(void);
DM_API BOOL DM_CALL SetSOProfile(void);
DM_API BOOL DM_CALL SetSingleOTPProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile);

DM_API BOOL DM_CALL GetSetting(DWORD selector, PKS_SETTING setting);
DM_API BOOL DM_CALL SetSetting(DWORD selector, PKS_SETTING setting);
DM_API BOOL DM_CALL GetHotkeyState(DWORD slot, PDWORD value1, PDWORD value2, PDWORD value3);
DM_API BOOL DM_CALL SetHotkeyState(DWORD slot, DWORD value1, DWORD value2, DWORD value3);
DM_API BOOL DM_CALL GetSkinIndex(PDWORD skinIndex);
DM_API BOOL DM_CALL SetSkinIndex(DWORD skinIndex);

DM_API BOOL DM_CALL GetQL(teKM_FINGER_INDEX finger, PKS_QL launches, DWORD capacity, PDWORD count, BOOL SSOTriggered);
DM_API BOOL DM_CALL SetQL(teKM_FINGER_INDEX finger, PKS_QL launches, DWORD number);
DM_API BOOL DM_CALL DeleteQL(teKM_FINGER_INDEX finger, PKS_QL launches, DWORD number);
DM_API BOOL DM_CALL DeleteQLAll(teKM_FINGER_INDEX finger);

DM_API BOOL DM_CALL GetShortcut(KS_QL_TYPE type, PKS_SHORTCUT shortcuts, DWORD capacity, PDWORD count);
DM_API BOOL DM_CALL GetShortcutInfo(PKS_SHORTCUT shortcuts, DWORD capacity, PDWORD count);
DM_API BOOL DM_CALL IsShortcutExist(KS_QL_TYPE type, PKS_SHORTCUT shortcut);
DM_API BOOL DM_CALL IsShortcutShowed(KS_QL_TYPE type, PKS_SHORTCUT shortcut);
DM_API BOOL DM_CALL SetSingleShortcut(KS_QL_TYPE type, PKS_SHORTCUT shortcut);
DM_API BOOL DM_CALL ActivateSingleShortcut(KS_QL_TYPE type, PKS_SHORTCUT shortcut);
DM_API BOOL DM_CALL IsShortcutExistUsingProfile(KS_QL_TYPE type, PKS_SHORTCUT shortcut);
DM_API BOOL DM_CALL IsShortcutShowedUsingProfile(KS_QL_TYPE type, PKS_SHORTCUT shortcut);
DM_API BOOL DM_CALL ActivateSingleShortcutUsingProfile(KS_QL_TYPE type, PKS_SHORTCUT shortcut);

DM_API BOOL DM_CALL GetvCard(PKS_VCARD vcard);
DM_API BOOL DM_CALL SetvCard(PKS_VCARD vcard);

DM_API BOOL DM_CALL IsCurrentUserEnrolled(void);
DM_API BOOL DM_CALL IsSensorConnected(void);
DM_API BOOL DM_CALL SetBioModuleParent(void* parentWindow);
DM_API BOOL DM_CALL StartAuthentication(void);

DM_API BOOL DM_CALL SubmitRegistration(void);

DM_API BOOL DM_CALL GetVIPCID(WCHAR* credentialId);
DM_API BOOL DM_CALL GetVIPOTP(WCHAR* firstPassword, WCHAR* secondPassword);
DM_API BOOL DM_CALL LaunchVIPPromptUIWithCmd(const char* command, PDWORD succeeded);

#ifdef __cplusplus
}
#endif

#endif /* DATA_MANAGER_H */
