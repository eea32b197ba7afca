// Finds the store library among the objects loaded in this process.
#include <link.h>
#include <climits>
#include <cstdlib>

#include <cstring>
#include <string>

#include "Command.h"

namespace dmctl {

std::string LoadedStorePath() {
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
  char resolved[PATH_MAX];
  if (!found.empty() && realpath(found.c_str(), resolved) != nullptr) found = resolved;
  return found;
}

}  // namespace dmctl
