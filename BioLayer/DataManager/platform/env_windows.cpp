// Env on Windows: the real system services.
#include <windows.h>
#include <shlobj.h>
#include <winver.h>

#include <vector>

#include "ks/never_destroyed.h"
#include "platform/Env.h"

namespace dm {
namespace {

constexpr DWORD kFixedFileInfoSignature = 0xFEEF04BD;

class WindowsEnv final : public Env {
 public:
  WString CommonProgramFilesFolder() override {
    WCHAR folder[MAX_PATH] = {};
    // The result is not checked: on failure the buffer stays empty, which
    // is what the caller expects of a failed lookup.
    SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES_COMMON, nullptr, SHGFP_TYPE_CURRENT, folder);
    return folder;
  }

  uint32_t FileVersionMS(const WString& path) override {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return 0;
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return 0;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) ||
        length == 0 || info == nullptr || info->dwSignature != kFixedFileInfoSignature) {
      return 0;
    }
    return info->dwFileVersionMS;
  }

  bool IsSystemAtLeast(uint32_t major, uint32_t minor, uint16_t spMajor,
                       uint16_t spMinor) override {
    OSVERSIONINFOEXW wanted = {};
    wanted.dwOSVersionInfoSize = sizeof wanted;
    wanted.dwMajorVersion = major;
    wanted.dwMinorVersion = minor;
    wanted.wServicePackMajor = spMajor;
    wanted.wServicePackMinor = spMinor;
    DWORDLONG mask = 0;
    mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_SERVICEPACKMINOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&wanted,
                              VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR |
                                  VER_SERVICEPACKMINOR,
                              mask) != FALSE;
  }

  ModuleHandle LoadLibrary(const WString& nameOrPath) override {
    return ::LoadLibraryW(nameOrPath.c_str());
  }

  void* GetProcAddress(ModuleHandle module, const char* name) override {
    if (module == nullptr || name == nullptr) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
  }

  bool FreeLibrary(ModuleHandle module) override {
    return module != nullptr && ::FreeLibrary(static_cast<HMODULE>(module)) != FALSE;
  }
};

}  // namespace

Env* DefaultEnv() {
  // Never destroyed: the unload handler may still use it at process exit.
  static ks::NeverDestroyed<WindowsEnv> env;
  return &env.get();
}

}  // namespace dm
