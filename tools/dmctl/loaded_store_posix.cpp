// Finds the store library among the objects loaded in this process, and
// its functions.
#include <dlfcn.h>
#include <link.h>
#include <climits>
#include <cstdlib>

#include <cstring>
#include <string>

#include "Command.h"

namespace dmctl {
namespace {

// The name the store library was loaded under, as the loader knows it.
std::string LoadedStoreName() {
  std::string found;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        const char* name = info->dlpi_name;
        const char* base = name != nullptr ? std::strrchr(name, '/') : nullptr;
        if (base != nullptr && std::strcmp(base + 1, "libKeelAPI.so") == 0) {
          // The last one loaded: dmctl links the store for its admin
          // commands, and DataManager may load another copy from its store
          // folder after that.
          *static_cast<std::string*>(data) = name;
        }
        return 0;
      },
      &found);
  return found;
}

}  // namespace

std::string LoadedStorePath() {
  std::string found = LoadedStoreName();
  char resolved[PATH_MAX];
  if (!found.empty() && realpath(found.c_str(), resolved) != nullptr) found = resolved;
  return found;
}

void* LoadedStoreFunction(const char* name) {
  const std::string store = LoadedStoreName();
  if (store.empty()) return nullptr;
  // Finds the loaded library without loading anything.  The reference this
  // takes is kept: the function stays valid for the process's life.
  void* library = dlopen(store.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  return library != nullptr ? dlsym(library, name) : nullptr;
}

}  // namespace dmctl
