// The store wrappers: one store call each, one failure line when it fails.
#include <cstring>

#include "KeelAPIUtils.h"
#include "StoreHandles.h"
#include "binding/KeelAPIBinding.h"
#include "log/Log.h"

DM_LOG_SOURCE(".\\KeelAPIUtils");

namespace dm {
namespace {

// Logs `format` with the status under the calling wrapper's name when the
// store refused, and hands the status back.
KA_STATUS Checked(const WCHAR* function, int32_t line, const WCHAR* format, KA_STATUS status) {
  if (status < 0) log::Write(kLogSource, function, line, 1, format, status);
  return status;
}

// Calls store function `fn` through the binding; its failure line is
// "<fn> Failed With Error = %i".
#define DM_CHECKED(fn, ...)                                                           \
  Checked(kLogFunction, __LINE__, KS_TEXT(#fn " Failed With Error = %i"), \
          binding::fn(__VA_ARGS__))

constexpr int32_t kEnrollmentCountProperty = 4;
constexpr int32_t kBioModuleParentProperty = 103;
constexpr int32_t kBiometricAttemptLimitProperty = 104;
constexpr int32_t kSkinIndexProperty = 108;
constexpr int32_t kTimestampProperty = 2001;
constexpr DWORD kMostEnrollments = 10;
constexpr int16_t kStartAuthenticationCommand = 2;
constexpr char kAuthenticationPayload[] = "<xml>";
constexpr char kShortcutRegion[] = "US";

}  // namespace

BOOL KeelAPIUtils::InitKeelAPI(const char* appName) {
  DM_LOG_FUNCTION("KeelAPIUtils::InitKeelAPI");
  StoreHandles& handles = Handles();
  if (handles.context != 0) {
    DM_LOG("KeelAPI Is Initialized Before");
    return TRUE;
  }
  // A failed KA_Init leaves the context at 0, so the next opening tries again.
  const uint8_t zeros[30] = {};
  return Checked(kLogFunction, __LINE__, KS_TEXT("Initialize KeelAPI Failed With Error = %i"),
                 binding::KA_Init(zeros, appName, 0, &handles.context)) >= 0;
}

BOOL KeelAPIUtils::GetApp() {
  DM_LOG_FUNCTION("KeelAPIUtils::GetApp");
  StoreHandles& handles = Handles();
  return Checked(kLogFunction, __LINE__, KS_TEXT("Get App Failed With Error = %i"),
                 binding::KA_GetApp(&handles.context, 0, &handles.app)) >= 0;
}

BOOL KeelAPIUtils::GetIdentity() {
  DM_LOG_FUNCTION("KeelAPIUtils::GetIdentity");
  StoreHandles& handles = Handles();
  return Checked(kLogFunction, __LINE__, KS_TEXT("Get Identity Failed With Error = %i"),
                 binding::KA_GetIdentity(&handles.context, 0, &handles.identity)) >= 0;
}

// ---- Object wrappers --------------------------------------------------------

KA_STATUS KeelAPIUtils::SetAppProperty(int32_t property, const void* value, int32_t size) {
  DM_LOG_FUNCTION("KeelAPIUtils::SetAppProperty");
  return DM_CHECKED(KA_App_SetProperty, &Handles().app, property, value, size);
}

KA_STATUS KeelAPIUtils::GetAppProperty(int32_t property, int32_t capacity, void* buffer,
                                       uint32_t* size) {
  DM_LOG_FUNCTION("KeelAPIUtils::GetAppProperty");
  return DM_CHECKED(KA_App_GetProperty, &Handles().app, property, capacity, buffer, size);
}

KA_STATUS KeelAPIUtils::GetIdentityProperty(int32_t property, int32_t capacity, void* buffer,
                                            uint32_t* size) {
  DM_LOG_FUNCTION("KeelAPIUtils::GetIdentityProperty");
  return DM_CHECKED(KA_Id_GetProperty, &Handles().identity, property, capacity, buffer, size);
}

KA_STATUS KeelAPIUtils::CreateShortcut(uint32_t* shortcut) {
  DM_LOG_FUNCTION("KeelAPIUtils::CreateShortcut");
  return DM_CHECKED(KA_CreateShortcut, &Handles().context, shortcut);
}

KA_STATUS KeelAPIUtils::DeleteShortcut(uint32_t* shortcut) {
  DM_LOG_FUNCTION("KeelAPIUtils::DeleteShortcut");
  return DM_CHECKED(KA_Shortcut_Delete, shortcut);
}

KA_STATUS KeelAPIUtils::ReleaseShortcut(uint32_t* shortcut) {
  DM_LOG_FUNCTION("KeelAPIUtils::ReleaseShortcut");
  return DM_CHECKED(KA_Shortcut_Release, shortcut);
}

KA_STATUS KeelAPIUtils::SetShortcutProperty(uint32_t* shortcut, int32_t property,
                                            const void* value, int32_t size) {
  DM_LOG_FUNCTION("KeelAPIUtils::SetShortcutProperty");
  return DM_CHECKED(KA_Shortcut_SetProperty, shortcut, property, value, size);
}

KA_STATUS KeelAPIUtils::GetShortcutProperty(uint32_t* shortcut, int32_t property,
                                            int32_t capacity, void* buffer, uint32_t* size) {
  DM_LOG_FUNCTION("KeelAPIUtils::GetShortcutProperty");
  return DM_CHECKED(KA_Shortcut_GetProperty, shortcut, property, capacity, buffer, size);
}

KA_STATUS KeelAPIUtils::CreateCard(const char* domain, int32_t category, uint32_t* card) {
  DM_LOG_FUNCTION("KeelAPIUtils::CreateCard");
  return DM_CHECKED(KA_Id_CreateCard, &Handles().identity, domain, category, card);
}

KA_STATUS KeelAPIUtils::GetCard(int64_t refNum, uint32_t* card) {
  DM_LOG_FUNCTION("KeelAPIUtils::GetCard");
  return DM_CHECKED(KA_Id_GetCardByRefNum, &Handles().identity, refNum, card);
}

KA_STATUS KeelAPIUtils::DeleteCard(uint32_t* card) {
  DM_LOG_FUNCTION("KeelAPIUtils::DeleteCard");
  return DM_CHECKED(KA_Card_Delete, card);
}

KA_STATUS KeelAPIUtils::ReleaseCard(uint32_t* card) {
  DM_LOG_FUNCTION("KeelAPIUtils::ReleaseCard");
  return DM_CHECKED(KA_Card_Release, card);
}

KA_STATUS KeelAPIUtils::SetCardProperty(uint32_t* card, int32_t attribute, int32_t property,
                                        const void* value, int32_t size) {
  DM_LOG_FUNCTION("KeelAPIUtils::SetCardProperty");
  return DM_CHECKED(KA_Card_SetProperty, card, attribute, property, value, size);
}

KA_STATUS KeelAPIUtils::GetCardProperty(uint32_t* card, int32_t property, int32_t capacity,
                                        void* buffer, uint32_t* size) {
  DM_LOG_FUNCTION("KeelAPIUtils::GetCardProperty");
  return DM_CHECKED(KA_Card_GetProperty, card, property, capacity, buffer, size);
}

KA_STATUS KeelAPIUtils::CreateMacro(uint32_t finger, uint32_t* macro) {
  DM_LOG_FUNCTION("KeelAPIUtils::CreateMacro");
  return DM_CHECKED(KA_Id_CreateMacro, &Handles().identity, finger, macro);
}

KA_STATUS KeelAPIUtils::DeleteMacro(uint32_t* macro) {
  DM_LOG_FUNCTION("KeelAPIUtils::DeleteMacro");
  return DM_CHECKED(KA_Macro_Delete, macro);
}

KA_STATUS KeelAPIUtils::ReleaseMacro(uint32_t* macro) {
  DM_LOG_FUNCTION("KeelAPIUtils::ReleaseMacro");
  return DM_CHECKED(KA_Macro_Release, macro);
}

KA_STATUS KeelAPIUtils::SetMacroProperty(uint32_t* macro, int32_t property, const void* value,
                                         int32_t size) {
  DM_LOG_FUNCTION("KeelAPIUtils::SetMacroProperty");
  return DM_CHECKED(KA_Macro_SetProperty, macro, property, value, size);
}

KA_STATUS KeelAPIUtils::GetMacroProperty(uint32_t* macro, int32_t property, int32_t capacity,
                                         void* buffer, uint32_t* size) {
  DM_LOG_FUNCTION("KeelAPIUtils::GetMacroProperty");
  return DM_CHECKED(KA_Macro_GetProperty, macro, property, capacity, buffer, size);
}

// ---- Enumerators --------------------------------------------------------------

KA_STATUS KeelAPIUtils::EnumCards(const char* domain, int32_t category, int16_t mode,
                                  uint32_t* card) {
  return binding::KA_Id_GetCard(&Handles().identity, domain, category, mode, card);
}

KA_STATUS KeelAPIUtils::EnumMacros(uint32_t finger, int16_t mode, uint32_t* macro) {
  return binding::KA_Id_GetMacro(&Handles().identity, finger, mode, macro);
}

KA_STATUS KeelAPIUtils::EnumShortcuts(int16_t mode, uint32_t* shortcut) {
  return binding::KA_GetShortcut(&Handles().context, kShortcutRegion, mode, shortcut);
}

// ---- Context-level operations ---------------------------------------------------

BOOL KeelAPIUtils::SetIdentityProperty(int32_t attribute, int32_t property, const char* text) {
  DM_LOG_FUNCTION("KeelAPIUtils::SetIdentityProperty");
  return DM_CHECKED(KA_Id_SetProperty, &Handles().identity, attribute, property, text, -1) >= 0;
}

BOOL KeelAPIUtils::EnumEnrollments(DWORD* count) {
  DM_LOG_FUNCTION("KeelAPIUtils::EnumEnrollments");
  DWORD enrolled = 0;
  if (DM_CHECKED(KA_GetProperty, &Handles().context, kEnrollmentCountProperty, sizeof enrolled,
                 &enrolled, nullptr) < 0) {
    return FALSE;
  }
  if (enrolled > kMostEnrollments) {
    DM_LOG("KA_GetProperty Returned Illegal Enrollments = %u", enrolled);
    return FALSE;
  }
  *count = enrolled;
  return TRUE;
}

BOOL KeelAPIUtils::SetTimestamp() {
  DM_LOG_FUNCTION("KeelAPIUtils::SetTimestamp");
  const uint64_t everyBitSet = ~uint64_t{0};
  return DM_CHECKED(KA_SetProperty, &Handles().context, kTimestampProperty, &everyBitSet,
                    sizeof everyBitSet) >= 0;
}

BOOL KeelAPIUtils::GetBiometricAttemptLimit(DWORD* limit) {
  DM_LOG_FUNCTION("KeelAPIUtils::GetBiometricAttemptLimit");
  DWORD value = 0;
  if (DM_CHECKED(KA_GetProperty, &Handles().context, kBiometricAttemptLimitProperty,
                 sizeof value, &value, nullptr) < 0) {
    return FALSE;
  }
  *limit = value;
  return TRUE;
}

BOOL KeelAPIUtils::SetBiometricAttemptLimit(DWORD limit) {
  DM_LOG_FUNCTION("KeelAPIUtils::SetBiometricAttemptLimit");
  return DM_CHECKED(KA_SetProperty, &Handles().context, kBiometricAttemptLimitProperty, &limit,
                    sizeof limit) >= 0;
}

BOOL KeelAPIUtils::GetSkinIndex(DWORD* index) {
  DM_LOG_FUNCTION("KeelAPIUtils::GetSkinIndex");
  DWORD value = 0;
  if (DM_CHECKED(KA_GetProperty, &Handles().context, kSkinIndexProperty, sizeof value, &value,
                 nullptr) < 0) {
    return FALSE;
  }
  *index = value;
  return TRUE;
}

BOOL KeelAPIUtils::SetSkinIndex(DWORD index) {
  DM_LOG_FUNCTION("KeelAPIUtils::SetSkinIndex");
  return DM_CHECKED(KA_SetProperty, &Handles().context, kSkinIndexProperty, &index,
                    sizeof index) >= 0;
}

BOOL KeelAPIUtils::SetBioModuleParent(const void* parentWindow) {
  DM_LOG_FUNCTION("KeelAPIUtils::SetBioModuleParent");
  // The store reads the 8-byte window handle straight from the caller.
  return DM_CHECKED(KA_SetProperty, &Handles().context, kBioModuleParentProperty, parentWindow,
                    8) >= 0;
}

BOOL KeelAPIUtils::StartAuthentication() {
  DM_LOG_FUNCTION("KeelAPIUtils::StartAuthentication");
  uint32_t length = static_cast<uint32_t>(std::strlen(kAuthenticationPayload));
  return DM_CHECKED(KA_Execute, kStartAuthenticationCommand, kAuthenticationPayload, &length) >=
         0;
}

}  // namespace dm
