// The worker's three openings of the store.
#include "DataManagerUtils.h"
#include "KeelAPIUtils.h"
#include "log/Log.h"

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
  DM_LOG("Entering InitializeProfile()");
  BOOL bRet = FALSE;
  switch (type) {
    case KS_PROFILE_APP:
      *category = kAppProfileCategory;
      break;
    case KS_PROFILE_WEB:
      *category = kWebProfileCategory;
      break;
    default:
      *category = 0;
      break;
  }
  if (*category != 0) {
    bRet = KeelAPIUtils().InitKeelAPI(kPasswordReplacementApp) && OpenAppAndIdentity(kLogFunction);
  }
  DM_LOG("Exiting InitializeProfile() With bRet = %i", bRet);
  return bRet;
}

BOOL DataManagerUtils::InitializeSetting(DWORD selector) {
  DM_LOG_FUNCTION("DataManagerUtils::InitializeSetting");
  DM_LOG("Entering InitializeSetting()");
  const char* app = selector == 1 ? kTouchControlApp : selector == 2 ? kAppControlApp : nullptr;
  const BOOL bRet = app != nullptr && KeelAPIUtils().InitKeelAPI(app) && OpenAppAndIdentity(kLogFunction);
  DM_LOG("Exiting InitializeSetting() With bRet = %i", bRet);
  return bRet;
}

BOOL DataManagerUtils::InitializeQL() {
  DM_LOG_FUNCTION("DataManagerUtils::InitializeQL");
  DM_LOG("Entering InitializeQL()");
  const BOOL bRet = KeelAPIUtils().InitKeelAPI(kTouchControlApp) && OpenAppAndIdentity(kLogFunction);
  DM_LOG("Exiting InitializeQL() With bRet = %i", bRet);
  return bRet;
}

}  // namespace dm
