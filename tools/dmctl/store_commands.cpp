// dmctl store ...: where the store is, whether DataManager reaches it, what
// it holds, whether it is sound, and its contents for support.  All but
// `store info` use the store's own administration interface.
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "Command.h"
#include "DataManager.h"
#include "KeelAPIAdmin.h"

namespace dmctl {
namespace {

// The database file of the store, or an empty text for a store in memory.
std::string StoreFile() {
  int32_t size = 0;
  if (KeelAdmin_StoreFile(nullptr, 0, &size) != KA_OK || size <= 0) return "";
  std::string file(static_cast<size_t>(size), '\0');
  if (KeelAdmin_StoreFile(file.data(), size, &size) != KA_OK) return "";
  file.resize(static_cast<size_t>(size) - 1);
  return file;
}

void ShowStoreFile(Output* out) {
  const std::string file = StoreFile();
  out->Text("store file", file.empty() ? "(kept in memory)" : file);
  if (!file.empty()) out->Text("key file", file + ".key");
}

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
  ShowStoreFile(in.out);
  return loaded.empty() ? kExitFailed : kExitSucceeded;
}

int StoreFileCommand(const Invocation& in) {
  if (!in.args.empty()) return kExitUsage;
  ShowStoreFile(in.out);
  return kExitSucceeded;
}

int StoreCounts(const Invocation& in) {
  if (!in.args.empty()) return kExitUsage;
  static constexpr struct {
    KeelObjectKind kind;
    const char* name;
  } kKinds[] = {{KEEL_CONTEXT, "contexts"}, {KEEL_APP, "apps"},     {KEEL_IDENTITY, "identities"},
                {KEEL_CARD, "cards"},       {KEEL_MACRO, "macros"}, {KEEL_SHORTCUT, "shortcuts"}};
  for (const auto& kind : kKinds) {
    int64_t count = 0;
    const KA_STATUS status = KeelAdmin_CountObjects(kind.kind, &count);
    if (status != KA_OK) {
      in.out->Number("store error", status);
      return kExitFailed;
    }
    in.out->Number(kind.name, count);
  }
  return kExitSucceeded;
}

int StoreCheck(const Invocation& in) {
  if (!in.args.empty()) return kExitUsage;
  std::vector<std::string> problems;
  const KA_STATUS status = KeelAdmin_Check(
      [](void* user, const char* line) {
        static_cast<std::vector<std::string>*>(user)->push_back(line);
      },
      &problems);
  ShowStoreFile(in.out);
  in.out->Flag("sound", status == KA_OK);
  for (size_t i = 0; i < problems.size(); ++i) {
    in.out->Text("problem " + std::to_string(i + 1), problems[i]);
  }
  return status == KA_OK ? kExitSucceeded : kExitFailed;
}

// Writes the store's contents, secrets withheld, as JSON into a file.
int StoreExport(const Invocation& in) {
  if (in.args.size() != 1 || in.args[0].empty()) return kExitUsage;
  std::ofstream file(in.args[0], std::ios::binary | std::ios::trunc);
  if (!file) {
    in.out->Text("cannot write", in.args[0]);
    return kExitFailed;
  }
  const KA_STATUS status = KeelAdmin_Export(
      0, [](void* user, const char* text) { *static_cast<std::ofstream*>(user) << text; },
      &file);
  file.close();
  in.out->Text("export", in.args[0]);
  in.out->Flag("secrets withheld", true);
  if (status != KA_OK || !file) {
    in.out->Number("store error", status);
    return kExitFailed;
  }
  return kExitSucceeded;
}

}  // namespace

std::vector<Command> StoreCommands() {
  return {
      {{"store", "info"}, "", "show which store library DataManager loaded, and its file",
       &StoreInfo},
      {{"store", "file"}, "", "show the store's database file and key file", &StoreFileCommand},
      {{"store", "counts"}, "", "count the store's objects of each kind", &StoreCounts},
      {{"store", "check"}, "", "check the store's integrity, its key and its secrets",
       &StoreCheck},
      {{"store", "export"}, "<file>", "write the store's contents as JSON, secrets withheld",
       &StoreExport},
  };
}

}  // namespace dmctl
