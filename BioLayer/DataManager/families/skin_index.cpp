// The skin index: one number kept on the store context.
#include "DataManagerUtils.h"
#include "KeelAPIUtils.h"
#include "log/Log.h"
#include "log/MethodFrame.h"

namespace dm {

BOOL DataManagerUtils::GetSkinIndex(PDWORD skinIndex) {
  DM_LOG_FUNCTION("DataManagerUtils::GetSkinIndex");
  // The store read leaves *skinIndex untouched when it fails.  A null
  // pointer is refused before the store is opened.
  return RunMethod(DM_METHOD_LINES("GetSkinIndex()"), __LINE__, [&]() -> BOOL {
    return skinIndex != nullptr && InitializeQL() && KeelAPIUtils().GetSkinIndex(skinIndex);
  });
}

BOOL DataManagerUtils::SetSkinIndex(DWORD skinIndex) {
  DM_LOG_FUNCTION("DataManagerUtils::SetSkinIndex");
  return RunMethod(DM_METHOD_LINES("SetSkinIndex()"), __LINE__, [&]() -> BOOL {
    return InitializeQL() && KeelAPIUtils().SetSkinIndex(skinIndex);
  });
}

}  // namespace dm
