// Env.h - everything DataManager asks of the operating system, behind one
// interface.
//
// Each method mirrors one Windows service that the library relies on.  The
// Windows build calls the real service (env_windows.cpp); the POSIX build
// supplies a small stand-in written to the same contract (env_posix.cpp).
// Tests replace single calls by deriving from EnvWrapper and installing the
// result with SetEnv().
#ifndef DM_PLATFORM_ENV_H
#define DM_PLATFORM_ENV_H

#include <cstdint>
#include <string>
#include <string_view>

#include "KSTypes.h"
#include "platform/Crypto.h"

namespace dm {

using WString = std::basic_string<WCHAR>;
using WStringView = std::basic_string_view<WCHAR>;

// An opaque handle of a loaded library; null when nothing is loaded.
using ModuleHandle = void*;

class Env {
 public:
  virtual ~Env() = default;

  // The folder of files shared by the suite's programs, the common program
  // files folder.  Windows: SHGetFolderPathW(CSIDL_PROGRAM_FILES_COMMON).
  // POSIX: the CommonProgramFiles environment variable when it is set and
  // not empty, else the folder fixed when the library was built.
  // Success: the folder, without a trailing separator.  Failure: an empty
  // text (the caller goes on and builds paths from it regardless).
  virtual WString CommonProgramFilesFolder() = 0;

  // The most significant 32 bits of the file version of the library at
  // `path` (dwFileVersionMS: major << 16 | minor), read without loading it.
  // Windows: the VERSIONINFO resource.  POSIX: the same fixed file
  // information, kept in the library's ".fileversion" ELF section.
  // Answers 0 when the file is missing, unreadable or carries no version.
  virtual uint32_t FileVersionMS(const WString& path) = 0;

  // Whether the running system is at least version major.minor with service
  // pack spMajor.spMinor.  Windows: VerifyVersionInfoW with VER_GREATER_EQUAL
  // on all four.  POSIX: always true.
  virtual bool IsSystemAtLeast(uint32_t major, uint32_t minor, uint16_t spMajor,
                               uint16_t spMinor) = 0;

  // Loads a library by path, or by bare name through the system's search
  // order (on POSIX that includes the folder of DataManager itself).
  // Success: its handle.  Failure: null, and nothing is loaded.
  virtual ModuleHandle LoadLibrary(const WString& nameOrPath) = 0;

  // The address of an exported function.  Failure (no such name, a null
  // module): null.
  virtual void* GetProcAddress(ModuleHandle module, const char* name) = 0;

  // Drops one load reference of a library; the library is unloaded with its
  // last reference.  Answers true on success, false otherwise.
  virtual bool FreeLibrary(ModuleHandle module) = 0;

  // Encrypts `plain` with AES-128 in CBC mode with PKCS#7 padding, under
  // the key in `key` and the 16-byte `iv`, in one final run.  Windows: the
  // default provider of type PROV_RSA_AES acquired with CRYPT_VERIFYCONTEXT,
  // CryptImportKey of the blob, CryptSetKeyParam(KP_IV), and CryptEncrypt
  // with the final flag, the buffer grown while it answers ERROR_MORE_DATA;
  // the key and the provider are released on every path.  POSIX: OpenSSL's
  // EVP interface (EVP_aes_128_cbc).  A key blob that is not an AES-128
  // plain-text blob is refused.
  // Success: true, with the ciphertext in *cipher (the text's length
  // rounded up to the next multiple of 16, a whole block more when it
  // already is one).  Failure: false, with *cipher empty.
  virtual bool EncryptAes128Cbc(const AesKeyBlob& key, const uint8_t (&iv)[16],
                                std::string_view plain, std::string* cipher) = 0;

  // Sends one HTTP GET of `path` (which holds its query) to `host` on
  // `port`, plain HTTP, with `agent` as the user agent, no headers of its
  // own and no body, through the system's proxy settings.  The answer is
  // read to its end and dropped.  Windows: InternetOpenW with
  // INTERNET_OPEN_TYPE_PRECONFIG, InternetConnectW (INTERNET_SERVICE_HTTP),
  // HttpOpenRequestW with the default verb, HttpSendRequestW, the answer
  // read a byte at a time with InternetReadFile; the handles are closed in
  // the reverse order.  POSIX: libcurl, whose proxy settings are the
  // standard environment variables (http_proxy, no_proxy).  No time limit
  // of its own beyond those of the system's HTTP client.
  // Success: true once the request was sent and answered, whatever the HTTP
  // status.  Failure (no connection, no answer): false.
  virtual bool HttpGet(const WString& agent, const WString& host, uint16_t port,
                       const WString& path) = 0;
};

// Forwards every call to another Env, so a test overrides just the calls it
// cares about.
class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(Env* target) : target_(target) {}
  Env* target() const { return target_; }

  WString CommonProgramFilesFolder() override { return target_->CommonProgramFilesFolder(); }
  uint32_t FileVersionMS(const WString& path) override { return target_->FileVersionMS(path); }
  bool IsSystemAtLeast(uint32_t major, uint32_t minor, uint16_t spMajor,
                       uint16_t spMinor) override {
    return target_->IsSystemAtLeast(major, minor, spMajor, spMinor);
  }
  ModuleHandle LoadLibrary(const WString& nameOrPath) override {
    return target_->LoadLibrary(nameOrPath);
  }
  void* GetProcAddress(ModuleHandle module, const char* name) override {
    return target_->GetProcAddress(module, name);
  }
  bool FreeLibrary(ModuleHandle module) override { return target_->FreeLibrary(module); }
  bool EncryptAes128Cbc(const AesKeyBlob& key, const uint8_t (&iv)[16], std::string_view plain,
                        std::string* cipher) override {
    return target_->EncryptAes128Cbc(key, iv, plain, cipher);
  }
  bool HttpGet(const WString& agent, const WString& host, uint16_t port,
               const WString& path) override {
    return target_->HttpGet(agent, host, port, path);
  }

 private:
  Env* target_;
};

// The platform's own Env; it lives for the whole process.
Env* DefaultEnv();

// The Env that the library uses: DefaultEnv() unless a test installed another.
Env* CurrentEnv();

// Installs `env` (null restores the default) and answers the previous one.
Env* SetEnv(Env* env);

// The path separator of the platform, and the longest path the library
// composes (in WCHARs, terminator included).  A path that would not fit is
// treated as unusable.
#ifdef _WIN32
inline constexpr WCHAR kPathSeparator = L'\\';
inline constexpr size_t kMaxPath = 260;
#else
inline constexpr WCHAR kPathSeparator = u'/';
inline constexpr size_t kMaxPath = 4096;
#endif

}  // namespace dm

#endif  // DM_PLATFORM_ENV_H
