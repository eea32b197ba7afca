// RecordingEnv.h - an Env that records the library calls and lets a test
// change single answers, forwarding everything else to the real platform.
#ifndef DM_TESTS_RECORDING_ENV_H
#define DM_TESTS_RECORDING_ENV_H

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Env.h"
#include "platform/TextCodec.h"

namespace dm::test {

class RecordingEnv : public EnvWrapper {
 public:
  RecordingEnv() : EnvWrapper(DefaultEnv()) { previous_ = SetEnv(this); }
  ~RecordingEnv() override { SetEnv(previous_ == DefaultEnv() ? nullptr : previous_); }

  // What a test can change.
  bool noLibraryAnywhere = false;             // every load fails
  std::set<std::string> missingFunctions;     // names the store "does not export"
  std::optional<bool> systemIsRecent;         // the answer of the system check
  std::optional<uint32_t> libraryVersion;     // the file version of any library
  bool encryptionFails = false;               // every encryption fails
  std::optional<bool> httpAnswer;             // what a GET answers, sending nothing

  // What a test can look at.
  std::vector<std::string> loads;  // every path or name given to LoadLibrary
  int frees = 0;
  int systemChecks = 0;
  std::vector<std::string> gets;  // every GET, as "agent|host:port|path"

  ModuleHandle LoadLibrary(const WString& nameOrPath) override {
    loads.push_back(platform::WideToUtf8(nameOrPath));
    return noLibraryAnywhere ? nullptr : EnvWrapper::LoadLibrary(nameOrPath);
  }
  void* GetProcAddress(ModuleHandle module, const char* name) override {
    return missingFunctions.count(name) != 0 ? nullptr : EnvWrapper::GetProcAddress(module, name);
  }
  bool FreeLibrary(ModuleHandle module) override {
    ++frees;
    return EnvWrapper::FreeLibrary(module);
  }
  bool IsSystemAtLeast(uint32_t major, uint32_t minor, uint16_t spMajor,
                       uint16_t spMinor) override {
    ++systemChecks;
    return systemIsRecent ? *systemIsRecent
                          : EnvWrapper::IsSystemAtLeast(major, minor, spMajor, spMinor);
  }
  uint32_t FileVersionMS(const WString& path) override {
    return libraryVersion ? *libraryVersion : EnvWrapper::FileVersionMS(path);
  }
  bool EncryptAes128Cbc(const AesKeyBlob& key, const uint8_t (&iv)[16], std::string_view plain,
                        std::string* cipher) override {
    return !encryptionFails && EnvWrapper::EncryptAes128Cbc(key, iv, plain, cipher);
  }
  bool HttpGet(const WString& agent, const WString& host, uint16_t port,
               const WString& path) override {
    gets.push_back(platform::WideToUtf8(agent) + "|" + platform::WideToUtf8(host) + ":" +
                   std::to_string(port) + "|" + platform::WideToUtf8(path));
    return httpAnswer ? *httpAnswer : EnvWrapper::HttpGet(agent, host, port, path);
  }

 private:
  Env* previous_;
};

}  // namespace dm::test

#endif  // DM_TESTS_RECORDING_ENV_H
