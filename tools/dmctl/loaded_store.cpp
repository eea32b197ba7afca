// Reaching the interfaces of the store DataManager loaded; the search for
// the loaded module itself is in loaded_store_posix.cpp and
// loaded_store_windows.cpp.
#include "LoadedStore.h"

#include <cstdio>

#include "DataManager.h"

namespace dmctl {
namespace {

template <typename Function>
bool Find(const char* name, Function* function) {
  *function = reinterpret_cast<Function>(LoadedStoreFunction(name));
  return *function != nullptr;
}

}  // namespace

bool LoadStore(const char* command) {
  // Any export that opens the store will do; the skin index only reads.
  DWORD index = 0;
  GetSkinIndex(&index);
  if (!LoadedStorePath().empty()) return true;
  std::fprintf(stderr, "dmctl: %s: DataManager could not load its store library\n", command);
  return false;
}

bool FindStoreAdmin(const char* command, StoreAdmin* admin) {
  if (!LoadStore(command)) return false;
  if (Find("KeelAdmin_StoreFile", &admin->store_file) &&
      Find("KeelAdmin_CountObjects", &admin->count_objects) &&
      Find("KeelAdmin_Check", &admin->check) && Find("KeelAdmin_Export", &admin->export_all) &&
      Find("KeelAdmin_GetIdentityText", &admin->identity_text)) {
    return true;
  }
  std::fprintf(stderr, "dmctl: %s: %s has no administration interface\n", command,
               LoadedStorePath().c_str());
  return false;
}

bool FindDevelopmentStore(const char* command, DevelopmentStore* dev) {
  if (!LoadStore(command)) return false;
  if (Find("KeelTest_ContextObject", &dev->context_object) &&
      Find("KeelTest_IdentityObject", &dev->identity_object) &&
      Find("KeelTest_SetProperty", &dev->set_property)) {
    return true;
  }
  std::fprintf(stderr, "dmctl: %s needs a development store; %s is a production store\n",
               command, LoadedStorePath().c_str());
  return false;
}

}  // namespace dmctl
