// dmctl settings ...: the application settings.
#include "Command.h"
#include "DataManager.h"

namespace dmctl {
namespace {

int SkinGet(const Invocation& in) {
  if (!in.args.empty()) return kExitUsage;
  DWORD index = 0;
  if (!GetSkinIndex(&index)) return kExitFailed;
  in.out->Number("skin index", index);
  return kExitSucceeded;
}

int SkinSet(const Invocation& in) {
  unsigned long index = 0;
  if (in.args.size() != 1 || !ParseDword(in.args[0], &index)) return kExitUsage;
  if (!SetSkinIndex(static_cast<DWORD>(index))) return kExitFailed;
  in.out->Number("skin index", static_cast<int64_t>(index));
  return kExitSucceeded;
}

}  // namespace

std::vector<Command> SettingsCommands() {
  return {
      {{"settings", "skin", "get"}, "", "show the skin index", &SkinGet},
      {{"settings", "skin", "set"}, "<index>", "set the skin index", &SkinSet},
  };
}

}  // namespace dmctl
