// Registration: the identity's data joined into one text, encrypted with
// the deployment's key, Base64- and percent-encoded, and sent as the query
// of one HTTP GET to the registration service.  Nothing of the answer is
// used: a request that was sent is a submission.
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "DataManagerUtils.h"
#include "KeelAPIUtils.h"
#include "log/Log.h"
#include "log/MethodFrame.h"
#include "platform/Env.h"
#include "platform/TextCodec.h"
#include "registration/Deployment.h"
#include "registration/Request.h"
#include "registration/RegistrationText.h"

DM_LOG_SOURCE(".\\DataManagerUtils");

namespace dm {
namespace {

constexpr BOOL kSent = 0;
constexpr BOOL kNotBuilt = 270;      // no store, or no registration text
constexpr BOOL kNotEncrypted = 277;
constexpr BOOL kNotSent = 278;

constexpr DWORD kAppControl = 2;  // the opening registration works under

// The key in the form the crypto provider imports: process-wide, in static
// storage (nothing to allocate or free), and written again with the same
// bytes before each use.
AesKeyBlob g_keyBlob;

// The registration text, read from the store through the wrapper (which
// logs a refusal; the field then stays empty).
std::string RegistrationText() {
  KeelAPIUtils store;
  return registration::BuildText([&store](int32_t property, char* buffer) {
    uint32_t size = 0;
    store.GetIdentityProperty(property, registration::kFieldReadCapacity, buffer, &size);
  });
}

}  // namespace

BOOL DataManagerUtils::SubmitRegistration() {
  DM_LOG_FUNCTION("DataManagerUtils::SubmitRegistration");
  const MethodLines lines{kLogFunction, KS_TEXT("Entering SubmitRegistration()"),
                          KS_TEXT("Exiting SubmitRegistration() With nRet = %i")};
  return RunMethod(lines, __LINE__, [&]() -> BOOL {
    if (!InitializeSetting(kAppControl)) {
      DM_LOG_LEVEL(3, "InitializeSetting Failed");
      return kNotBuilt;
    }
    DWORD size = 0;
    if (!GetRegistrationInfo(nullptr, &size)) {
      DM_LOG_LEVEL(3, "GetRegistrationInfo(NULL, ) Failed");
      return kNotBuilt;
    }
    const std::unique_ptr<char[]> text(new (std::nothrow) char[size + 1]());
    if (text == nullptr || !GetRegistrationInfo(text.get(), &size)) {
      DM_LOG_LEVEL(3, "GetRegistrationInfo(data, ) Failed");
      return kNotBuilt;
    }
    return SendMsg(text.get());
  });
}

BOOL DataManagerUtils::GetRegistrationInfo(char* text, PDWORD size) {
  if (size == nullptr) return FALSE;
  const std::string built = RegistrationText();
  const DWORD needed = static_cast<DWORD>(built.size() + 1);
  if (text != nullptr) {
    // The text has changed since its size was asked, or the caller's size
    // is not the one it was given: nothing is written.
    if (*size != needed) return FALSE;
    std::memcpy(text, built.c_str(), needed);
  }
  *size = needed;
  return TRUE;
}

BOOL DataManagerUtils::SendMsg(const char* text) {
  DM_LOG_FUNCTION("DataManagerUtils::SendMsg");
  std::string encoded;
  if (text == nullptr || !EncryptURL(text, &encoded)) {
    DM_LOG_LEVEL(3, "EncryptURL() Failed");
    return kNotEncrypted;
  }
  const std::string path = registration::kQueryPath + encoded;
  if (!SendHttpRequest(path.c_str())) {
    DM_LOG_LEVEL(3, "SendHttpRequest Failed");
    return kNotSent;
  }
  DM_LOG("SendHttpRequest Success");
  return kSent;
}

bool DataManagerUtils::EncryptURL(const char* text, std::string* encoded) {
  encoded->clear();
  g_keyBlob = registration::KeyBlob();
  std::string cipher;
  if (!CurrentEnv()->EncryptAes128Cbc(g_keyBlob, registration::InitialisationVector(), text,
                                      &cipher) ||
      cipher.empty()) {
    return false;
  }
  *encoded = registration::QueryData(cipher);
  return true;
}

bool DataManagerUtils::SendHttpRequest(const char* path) {
  WString host, widePath;
  if (!platform::Utf8ToWide(registration::Host(), &host) ||
      !platform::Utf8ToWide(path, &widePath)) {
    return false;
  }
  return CurrentEnv()->HttpGet(registration::kAgent, host, registration::kPort, widePath);
}

}  // namespace dm
