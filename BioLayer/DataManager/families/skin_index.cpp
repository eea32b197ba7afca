// The skin index: one number kept on the store context.
#include "DataManagerUtils.h"
#include "KeelAPIUtils.h"
#include "log/Log.h"

DM_LOG_SOURCE(".\\DataManagerUtils");

namespace dm {

BOOL DataManagerUtils::GetSkinIndex(PDWORD skinIndex) {
  DM_LOG_FUNCTION("DataManagerUtils::GetSkinIndex");
  DM_LOG("Entering GetSkinIndex()");
  // The store read leaves *skinIndex untouched when it fails.
  const BOOL bRet = InitializeQL() && KeelAPIUtils().GetSkinIndex(skinIndex);
  DM_LOG("Exiting GetSkinIndex() With bRet = %i", bRet);
  return bRet;
}

BOOL DataManagerUtils::SetSkinIndex(DWORD skinIndex) {
  DM_LOG_FUNCTION("DataManagerUtils::SetSkinIndex");
  DM_LOG("Entering SetSkinIndex()");
  const BOOL bRet = InitializeQL() && KeelAPIUtils().SetSkinIndex(skinIndex);
  DM_LOG("Exiting SetSkinIndex() With bRet = %i", bRet);
  return bRet;
}

}  // namespace dm
