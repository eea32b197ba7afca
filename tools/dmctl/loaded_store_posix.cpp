// Finds the store library among the objects loaded in this process, and
// its functions.
#include <dlfcn.h>
#include <link.h>
#include <climits>
#include <cstdlib>

#include <cstring>
#include <string>

#include "LoadedStore.h"

namespace dmctl {
namespace {

// libKeelAPI.so, the name DataManager loads the store by, or a versioned
// name of the same library (libKeelAPI.so.2, libKeelAPI.so.2.0.0).
bool IsStoreFileName(const char* name) {
  static constexpr char kStem[] = "libKeelAPI.so";
  if (std::strncmp(name, kStem, sizeof kStem - 1) != 0) return false;
  const char* rest = name + sizeof kStem - 1;
  if (*rest == '\0') return true;
  for (; *rest != '\0'; ++rest) {
    if (*rest != '.' && (*rest < '0' || *rest > '9')) return false;
  }
  return rest[-1] != '.';
}

// The name the store library was loaded under, as the loader knows it.
std::string LoadedStoreName() {
  std::string found;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        const char* name = info->dlpi_name;
        const char* base = name != nullptr ? std::strrchr(name, '/') : nullptr;
        if (base != nullptr && IsStoreFileName(base + 1)) {
          // DataManager loads one store; should a program hold another
          // (linked), the last one loaded is DataManager's.
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
