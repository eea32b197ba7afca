// dmctl store ...: where the store is and whether DataManager reaches it.
#include <cstdlib>

#include "Command.h"
#include "DataManager.h"

namespace dmctl {
namespace {

int StoreInfo(const Invocation& in) {
  if (!in.args.empty()) return kExitUsage;
  // Any export that opens the store will do; the skin index is harmless.
  DWORD index = 0;
  const BOOL opened = GetSkinIndex(&index);
  const char* common = std::getenv("CommonProgramFiles");
  in.out->Text("common program files", common != nullptr && *common != '\0'
                                           ? common
                                           : "(not set: the folder fixed at build time)");
  const std::string loaded = LoadedStorePath();
  in.out->Text("store library", loaded.empty() ? "(not loaded)" : loaded);
  in.out->Flag("store reached", opened != 0 || !loaded.empty());
  return loaded.empty() ? kExitFailed : kExitSucceeded;
}

}  // namespace

std::vector<Command> StoreCommands() {
  return {{{"store", "info"}, "", "show which store library DataManager loaded", &StoreInfo}};
}

}  // namespace dmctl
