// Binding a target to a finger, and removing what a finger launches.
#include <string>

#include "DataManagerUtils.h"
#include "KeelAPIUtils.h"
#include "families/CardFields.h"
#include "families/ObjectWalk.h"
#include "families/QuickLaunch.h"
#include "log/Log.h"
#include "log/MethodFrame.h"
#include "platform/TextCodec.h"

DM_LOG_SOURCE(".\\DataManagerUtils");

namespace dm {
namespace {

using Macro = walk::Held<walk::Macros>;

// The buffer a stored target is read into before it is compared.
constexpr int32_t kCompareReadCapacity = 6144;

// Logs "FingerIndex Is %i" and opens the store, under `function`.
bool OpenForFinger(DataManagerUtils& worker, const WCHAR* function, DWORD finger) {
  const WCHAR* const kLogFunction = function;
  DM_LOG("FingerIndex Is %i", finger);
  return worker.InitializeQL();
}

// Logs `text` as a line of its own: passed as a value, never as a format.
void LogText(const WCHAR* function, WStringView text) {
  const WCHAR* const kLogFunction = function;
  const WString line(text);
  DM_LOG("%s", line.c_str());
}

}  // namespace

BOOL DataManagerUtils::SetQL(teKM_FINGER_INDEX finger, PKS_QL launch) {
  DM_LOG_FUNCTION("DataManagerUtils::SetQL");
  return RunMethod(DM_METHOD_LINES("SetQL()"), __LINE__, [&]() -> BOOL {
    if (ql::IsRefusedFinger(finger) || launch == nullptr) return FALSE;
    if (!OpenForFinger(*this, kLogFunction, finger)) return FALSE;
    DM_LOG("Set QL");
    KeelAPIUtils store;
    uint32_t handle = 0;
    if (store.CreateMacro(finger, &handle) < 0) return FALSE;
    Macro macro(handle);
    const std::optional<WString> target = ql::Encode(*launch);
    if (target) {
      const std::string utf8 = platform::WideToUtf8(*target);
      if (store.SetMacroProperty(macro.handle(), ql::kTargetProperty, utf8.c_str(), -1) >= 0) {
        DM_LOG("Action Is %s", target->c_str());
        return TRUE;  // released on the way out
      }
    }
    // No macro without a target is left behind, unless the store refuses
    // the delete too (its wrapper logs that).
    DM_LOG("SetMacroProperty Failed And Delete This Macro");
    macro.Delete();
    return FALSE;
  });
}

BOOL DataManagerUtils::DeleteQL(teKM_FINGER_INDEX finger, PKS_QL launches, DWORD number) {
  DM_LOG_FUNCTION("DataManagerUtils::DeleteQL");
  return RunMethod(DM_METHOD_LINES("DeleteQL()"), __LINE__, [&]() -> BOOL {
    if (ql::IsRefusedFinger(finger) || launches == nullptr) return FALSE;
    if (!OpenForFinger(*this, kLogFunction, finger)) return FALSE;
    DM_LOG("Delete QL");
    // The answer says that the finger had a target to compare, not that one
    // matched: every macro equal to any of the records is deleted.
    bool seen = false;
    walk::WalkMacros(finger, [&](Macro& macro) {
      char stored[kCompareReadCapacity] = {};
      uint32_t size = 0;
      const KA_STATUS status = KeelAPIUtils().GetMacroProperty(
          macro.handle(), ql::kTargetProperty, sizeof stored, stored, &size);
      const std::string_view storedText = ks::text::BufferText(stored, sizeof stored);
      WString shown;
      platform::Utf8ToWide(storedText, &shown);  // not UTF-8: an empty line
      DM_LOG("Find QL: ");
      LogText(kLogFunction, shown);
      if (status < 0) return walk::Walk::kStop;
      if (size == 0) return walk::Walk::kNext;
      seen = true;
      for (DWORD j = 0; j < number; ++j) {
        const std::optional<WString> target = ql::Encode(launches[j]);
        DM_LOG("Selected QL; ");
        LogText(kLogFunction, target ? WStringView(*target) : WStringView());
        if (!target) {
          DM_LOG("Not OK");
          continue;
        }
        DM_LOG("OK");
        if (platform::WideToUtf8(*target) != storedText) continue;
        DM_LOG("Delete Macro");
        // The next macro is asked for from the deleted one.
        return macro.Delete() ? walk::Walk::kNext : walk::Walk::kStop;
      }
      return walk::Walk::kNext;
    });
    if (!seen) return FALSE;
    DM_LOG("Delete QL Successfully");
    return TRUE;
  });
}

BOOL DataManagerUtils::DeleteQLAll(teKM_FINGER_INDEX finger) {
  DM_LOG_FUNCTION("DataManagerUtils::DeleteQLAll");
  return RunMethod(DM_METHOD_LINES("DeleteQLAll()"), __LINE__, [&]() -> BOOL {
    if (ql::IsRefusedFinger(finger)) return FALSE;
    if (!OpenForFinger(*this, kLogFunction, finger)) return FALSE;
    DM_LOG("Delete QLAll");
    // Every macro of the finger goes, those without a target too; the
    // answer says whether one had a target.  After each delete the walk
    // starts again from the first macro.
    bool seen = false;
    walk::WalkMacros(finger, [&](Macro& macro) {
      if (cards::ObjectHasText(&KeelAPIUtils::GetMacroProperty, macro.handle(),
                               ql::kTargetProperty)) {
        seen = true;
      }
      return macro.Delete() ? walk::Walk::kRestart : walk::Walk::kStop;
    });
    if (!seen) return FALSE;
    DM_LOG("Delete QLAll Successfully");
    return TRUE;
  });
}

}  // namespace dm
