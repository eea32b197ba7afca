// The worker's three openings of the store.
#include "DataManagerUtils.h"
#include "KeelAPIUtils.h"
#include "log/Log.h"
#include "log/MethodFrame.h"

DM_LOG_SOURCE(".\\DataManagerUtils");

namespace dm {
namespace {

// The application each opening names to the store.  Only the opening that
// creates the context counts: the first one in the process fixes the
// application for the rest of its life.
constexpr char kPasswordReplacementApp[] = "KSPasswordReplacement";
constexpr char kTouchControlApp[] = "KSTouchControl";
constexpr char kAppControlApp[] = "KSAPPControl";

constexpr DWORD kAppProfileCategory = 998;
constexpr DWORD kWebProfileCategory = 999;

}  // namespace

BOOL DataManagerUtils::OpenAppAndIdentity(const WCHAR* opening) {
  const WCHAR* const kLogFunction = opening;  // the lines belong to the opening
  KeelAPIUtils store;
  // Both objects are asked for on every opening; the new handles replace the
  // old ones, which stay open until unload.
  DM_LOG("Get App");
  if (!store.GetApp()) return FALSE;
  DM_LOG("Get Identity");
  return store.GetIdentity();
}

BOOL DataManagerUtils::InitializeProfile(KS_PROFILE_TYPE type, DWORD* category) {
  DM_LOG_FUNCTION("DataManagerUtils::InitializeProfile");
  return RunMethod(DM_METHOD_LINES("InitializeProfile()"), __LINE__, [&]() -> BOOL {
    switch (type) {
      case KS_PROFILE_APP:
        *category = kAppProfileCategory;
        break;
      case KS_PROFILE_WEB:
        *category = kWebProfileCategory;
        break;
      default:
        *category = 0;
        return FALSE;  // no such kind: the store is not touched
    }
    return KeelAPIUtils().InitKeelAPI(kPasswordReplacementApp) &&
           OpenAppAndIdentity(kLogFunction);
  });
}

BOOL DataManagerUtils::InitializeSetting(DWORD selector) {
  DM_LOG_FUNCTION("DataManagerUtils::InitializeSetting");
  return RunMethod(DM_METHOD_LINES("InitializeSetting()"), __LINE__, [&]() -> BOOL {
    const char* app = selector == 1 ? kTouchControlApp : selector == 2 ? kAppControlApp : nullptr;
    return app != nullptr && KeelAPIUtils().InitKeelAPI(app) && OpenAppAndIdentity(kLogFunction);
  });
}

BOOL DataManagerUtils::InitializeQL() {
  DM_LOG_FUNCTION("DataManagerUtils::InitializeQL");
  return RunMethod(DM_METHOD_LINES("InitializeQL()"), __LINE__, [&]() -> BOOL {
    return KeelAPIUtils().InitKeelAPI(kTouchControlApp) && OpenAppAndIdentity(kLogFunction);
  });
}

}  // namespace dm
