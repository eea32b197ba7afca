// Biometric status: whether the user has enrolled fingers, whether a sensor
// answers, the parent window of the store's biometric interface, and the
// start of an authentication.  All of it lives on the store context.
#include "DataManagerUtils.h"
#include "KeelAPIUtils.h"
#include "log/Log.h"
#include "log/MethodFrame.h"

namespace dm {
namespace {

constexpr DWORD kAppControl = 2;  // the opening of the biometric questions

}  // namespace

BOOL DataManagerUtils::IsUserEnrolled() {
  DM_LOG_FUNCTION("DataManagerUtils::IsUserEnrolled");
  return RunMethod(DM_METHOD_LINES("IsUserEnrolled()"), __LINE__, [&]() -> BOOL {
    DWORD enrolled = 0;
    return InitializeSetting(kAppControl) && KeelAPIUtils().EnumEnrollments(&enrolled) &&
           enrolled > 0;
  });
}

BOOL DataManagerUtils::IsSensorConnected() {
  DM_LOG_FUNCTION("DataManagerUtils::IsSensorConnected");
  return RunMethod(DM_METHOD_LINES("IsSensorConnected()"), __LINE__, [&]() -> BOOL {
    // A sensor is present exactly when the store answers the enrollment
    // question with a legal count, 0 included.  The opening's outcome does
    // not matter: without a context the question itself fails.
    InitializeSetting(kAppControl);
    DWORD enrolled = 0;
    return KeelAPIUtils().EnumEnrollments(&enrolled);
  });
}

BOOL DataManagerUtils::SetBioModuleParent(void* parentWindow) {
  DM_LOG_FUNCTION("DataManagerUtils::SetBioModuleParent");
  // The store reads the 8-byte handle from the caller's memory; a null
  // pointer is refused before the store is opened.
  return RunMethod(DM_METHOD_LINES("SetBioModuleParent()"), __LINE__, [&]() -> BOOL {
    return parentWindow != nullptr && InitializeSetting(kAppControl) &&
           KeelAPIUtils().SetBioModuleParent(parentWindow);
  });
}

BOOL DataManagerUtils::StartAuthentication() {
  DM_LOG_FUNCTION("DataManagerUtils::StartAuthentication");
  // The store starts the authentication and returns; its outcome is not
  // waited for.
  return RunMethod(DM_METHOD_LINES("StartAuthentication()"), __LINE__, [&]() -> BOOL {
    return InitializeQL() && KeelAPIUtils().StartAuthentication();
  });
}

}  // namespace dm
