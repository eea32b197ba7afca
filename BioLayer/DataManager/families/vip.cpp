// One-time-password access: the service's credential ID and the current
// passwords, read from the identity, and the service's prompt, opened by a
// store command.
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "DataManagerUtils.h"
#include "binding/KeelAPIBinding.h"
#include "families/CardFields.h"
#include "families/IdentityProperties.h"
#include "log/Log.h"
#include "log/MethodFrame.h"
#include "platform/TextCodec.h"

DM_LOG_SOURCE(".\\DataManagerUtils");

namespace dm {
namespace {

constexpr size_t kTextWidth = 256;  // the caller's buffers, in WCHARs
constexpr int16_t kOpenPromptCommand = 3;

void Clear(WCHAR* text) { std::memset(text, 0, kTextWidth * sizeof(WCHAR)); }

// Reads one of the service's identity properties into a caller's buffer.
cards::TextRead ReadServiceText(int32_t property, WCHAR* out) {
  return cards::ReadIdentityText(property, out, kTextWidth,
                                 identity::kOneTimePasswordReadCapacity);
}

// The store opening of these reads: that of the profiles.
bool OpenForService(DataManagerUtils& worker) {
  DWORD category = 0;
  return worker.InitializeProfile(KS_PROFILE_WEB, &category);
}

}  // namespace

BOOL DataManagerUtils::GetVIPCID(WCHAR* credentialId) {
  DM_LOG_FUNCTION("DataManagerUtils::GetVIPCID");
  return RunMethod(DM_METHOD_LINES("GetVIPCID()"), __LINE__, [&]() -> BOOL {
    if (credentialId == nullptr || !OpenForService(*this)) return FALSE;
    Clear(credentialId);
    // A credential never stored (or stored empty) is an empty ID, not a
    // failure; any other refusal is.
    const KA_STATUS status = ReadServiceText(identity::kCredentialId, credentialId).status;
    if (status < 0 && status != KA_E_NOT_STORED) return FALSE;
    DM_LOG("Get GetVIPCID Successfully");
    DM_LOG("GetVIPCID Is %s", credentialId);
    return TRUE;
  });
}

BOOL DataManagerUtils::GetVIPOTP(WCHAR* firstPassword, WCHAR* secondPassword) {
  DM_LOG_FUNCTION("DataManagerUtils::GetVIPOTP");
  const MethodLines lines{kLogFunction, KS_TEXT("Entering GetVIPOTP()"),
                          KS_TEXT("Exiting GetVIPOTP() With bRet = %i;")};
  return RunMethod(lines, __LINE__, [&]() -> std::optional<BOOL> {
    if (firstPassword == nullptr || secondPassword == nullptr) return FALSE;
    Clear(firstPassword);
    Clear(secondPassword);
    if (!OpenForService(*this)) return FALSE;
    // Without the first password there is nothing to hand out: the method
    // ends at once, with no exit line.
    const cards::TextRead first = ReadServiceText(identity::kFirstOneTimePassword, firstPassword);
    if (first.status < 0 || !first.stored) return kLeaveSilently;
    // The second one is optional: a refusal is only logged, by the wrapper.
    ReadServiceText(identity::kSecondOneTimePassword, secondPassword);
    return TRUE;
  });
}

BOOL DataManagerUtils::LaunchVIPPromptUIWithCmd(const char* command, PDWORD succeeded) {
  DM_LOG_FUNCTION("DataManagerUtils::LaunchVIPPromptUIWithCmd");
  if (succeeded == nullptr) return FALSE;  // nowhere to answer: the store is not asked
  *succeeded = FALSE;
  // The store gets the command as UTF-8 with the byte length the caller
  // gave, which is shorter than that text when the command has characters
  // outside ASCII; what it does with the length is its own affair.  A
  // command with characters invalid in the system code page gives no text.
  WString wide;
  std::optional<std::string> storeText;
  uint32_t length = 0;
  if (command != nullptr) {
    const std::string_view given(command);
    length = static_cast<uint32_t>(given.size());
    if (platform::SystemCodePageToWide(given, &wide)) storeText = platform::WideToUtf8(wide);
  }
  DM_LOG("Help File Path: %s", wide.c_str());
  // The one store call made outside the wrappers: it logs its own failure
  // line, under this method.
  const KA_STATUS status =
      binding::KA_Execute(kOpenPromptCommand, storeText ? storeText->c_str() : nullptr, &length);
  if (status < 0) {
    DM_LOG("KA_Execute Failed With Error = %i", status);
    return FALSE;
  }
  *succeeded = TRUE;
  return TRUE;
}

}  // namespace dm
