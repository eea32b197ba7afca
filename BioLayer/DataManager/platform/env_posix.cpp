// Env on POSIX: small stand-ins for the Windows services DataManager uses.
#include <dlfcn.h>

#include <cstdlib>
#include <string>

#include "platform/ElfFileVersion.h"
#include "ks/never_destroyed.h"
#include "platform/Env.h"
#include "platform/TextCodec.h"

#ifndef DM_COMMON_PROGRAM_FILES
#define DM_COMMON_PROGRAM_FILES "/usr/local/lib"
#endif

namespace dm {
namespace {

class PosixEnv final : public Env {
 public:
  WString CommonProgramFilesFolder() override {
    // The same variable Windows defines, so one setting serves both.
    const char* fromEnvironment = std::getenv("CommonProgramFiles");
    std::string folder = (fromEnvironment != nullptr && *fromEnvironment != '\0')
                             ? fromEnvironment
                             : DM_COMMON_PROGRAM_FILES;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    WString wide;
    if (!platform::Utf8ToWide(folder, &wide)) return {};
    return wide;
  }

  uint32_t FileVersionMS(const WString& path) override {
    return platform::ReadElfFileVersionMS(platform::WideToUtf8(path));
  }

  bool IsSystemAtLeast(uint32_t, uint32_t, uint16_t, uint16_t) override {
    // Every POSIX system we run on offers what the store needs.
    return true;
  }

  ModuleHandle LoadLibrary(const WString& nameOrPath) override {
    const std::string name = platform::WideToUtf8(nameOrPath);
    if (name.empty()) return nullptr;
    return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  }

  void* GetProcAddress(ModuleHandle module, const char* name) override {
    if (module == nullptr || name == nullptr) return nullptr;
    return dlsym(module, name);
  }

  bool FreeLibrary(ModuleHandle module) override {
    return module != nullptr && dlclose(module) == 0;
  }
};

}  // namespace

Env* DefaultEnv() {
  // Never destroyed: the unload handler may still use it at process exit.
  static ks::NeverDestroyed<PosixEnv> env;
  return &env.get();
}

}  // namespace dm
