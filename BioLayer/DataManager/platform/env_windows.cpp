// Env on Windows: the real system services (CryptoAPI encrypts, in
// platform/crypto_windows.cpp; WinINet sends HTTP requests).
#include <windows.h>
#include <shlobj.h>
#include <wininet.h>
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

  bool EncryptAes128Cbc(const AesKeyBlob& key, const uint8_t (&iv)[16], std::string_view plain,
                        std::string* cipher) override {
    return platform::EncryptAes128Cbc(key, iv, plain, cipher);
  }

  bool HttpGet(const WString& agent, const WString& host, uint16_t port,
               const WString& path) override {
    HINTERNET session =
        InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (session == nullptr) return false;
    bool sent = false;
    HINTERNET connection = InternetConnectW(session, host.c_str(), port, nullptr, nullptr,
                                            INTERNET_SERVICE_HTTP, 0, 0);
    if (connection != nullptr) {
      // No verb: the default, GET.
      HINTERNET request =
          HttpOpenRequestW(connection, nullptr, path.c_str(), nullptr, nullptr, nullptr, 0, 0);
      if (request != nullptr) {
        sent = HttpSendRequestW(request, nullptr, 0, nullptr, 0) != FALSE;
        if (sent) {
          // The answer is read to its end and dropped.
          char byte = 0;
          DWORD read = 0;
          while (InternetReadFile(request, &byte, 1, &read) && read != 0) {
          }
        }
        InternetCloseHandle(request);
      }
      InternetCloseHandle(connection);
    }
    InternetCloseHandle(session);
    return sent;
  }
};

}  // namespace

Env* DefaultEnv() {
  // Never destroyed: the unload handler may still use it at process exit.
  static ks::NeverDestroyed<WindowsEnv> env;
  return &env.get();
}

}  // namespace dm
