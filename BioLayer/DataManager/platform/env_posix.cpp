// Env on POSIX: small stand-ins for the Windows services DataManager uses;
// OpenSSL encrypts (platform/crypto_posix.cpp) and libcurl sends HTTP
// requests.
#include <curl/curl.h>
#include <dlfcn.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "platform/ElfExports.h"
#include "platform/ElfFileVersion.h"
#include "ks/never_destroyed.h"
#include "platform/Env.h"
#include "platform/TextCodec.h"

#ifndef DM_COMMON_PROGRAM_FILES
#define DM_COMMON_PROGRAM_FILES "/usr/local/lib"
#endif

namespace dm {
namespace {

struct CurlEasyCleanup {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

// libcurl must be initialised once before use in a program with threads, and
// not from a static initializer (it may load other libraries).  The first
// request does it.  curl_global_cleanup is never called: other code in the
// process may still use libcurl when DataManager is done with it (or is
// unloaded), and cleaning up under it is not safe; what the initialisation
// holds is released when the process ends.
bool CurlReady() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ready;
}

// A library this Env loaded: the handle is ours, so that the look-up of a
// function by name can answer from the library's own export index.
struct LoadedLibrary {
  void* dl = nullptr;
  platform::ElfExports exports;
  bool indexed = false;
};

// The answer's body is read to its end and dropped.
size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

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
    void* dl = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (dl == nullptr) return nullptr;
    auto* library = new (std::nothrow) LoadedLibrary;
    if (library == nullptr) {
      dlclose(dl);
      return nullptr;
    }
    library->dl = dl;
    library->indexed = library->exports.Index(dl);
    return library;
  }

  // Every call looks the name up again, as the store's clients must; the
  // export index makes that a hash probe instead of dlsym's locked walk.
  void* GetProcAddress(ModuleHandle module, const char* name) override {
    if (module == nullptr || name == nullptr) return nullptr;
    const auto* library = static_cast<const LoadedLibrary*>(module);
    return library->indexed ? library->exports.Find(name) : dlsym(library->dl, name);
  }

  bool FreeLibrary(ModuleHandle module) override {
    if (module == nullptr) return false;
    auto* library = static_cast<LoadedLibrary*>(module);
    const bool freed = dlclose(library->dl) == 0;
    delete library;
    return freed;
  }

  bool EncryptAes128Cbc(const AesKeyBlob& key, const uint8_t (&iv)[16], std::string_view plain,
                        std::string* cipher) override {
    return platform::EncryptAes128Cbc(key, iv, plain, cipher);
  }

  bool HttpGet(const WString& agent, const WString& host, uint16_t port,
               const WString& path) override {
    if (!CurlReady()) return false;
    std::unique_ptr<CURL, CurlEasyCleanup> curl(curl_easy_init());
    if (!curl) return false;
    const std::string url = "http://" + platform::WideToUtf8(host) + ":" +
                            std::to_string(port) + platform::WideToUtf8(path);
    const std::string userAgent = platform::WideToUtf8(agent);
    // No proxy is set here: libcurl then takes http_proxy and no_proxy from
    // the environment, the POSIX form of the system's proxy settings.  No
    // time limit is set either; libcurl's own defaults apply.  Library code
    // must leave the process's signals alone, hence NOSIGNAL.
    CURL* handle = curl.get();
    return curl_easy_setopt(handle, CURLOPT_URL, url.c_str()) == CURLE_OK &&
           curl_easy_setopt(handle, CURLOPT_USERAGENT, userAgent.c_str()) == CURLE_OK &&
           curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L) == CURLE_OK &&
           curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
           curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, DiscardBody) == CURLE_OK &&
           // Any HTTP status counts as an answer (no FAILONERROR).
           curl_easy_perform(handle) == CURLE_OK;
  }
};

}  // namespace

Env* DefaultEnv() {
  // Never destroyed: the unload handler may still use it at process exit.
  static ks::NeverDestroyed<PosixEnv> env;
  return &env.get();
}

}  // namespace dm
