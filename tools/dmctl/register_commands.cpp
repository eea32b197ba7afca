// dmctl register: sends the user's registration data.
//
// `register --dry-run` sends nothing: it shows the text and the request
// that a registration would send now, built by the same code DataManager
// builds them with (its registration library, with this build's host, key
// and IV), from the identity as the store holds it.
#include <string>
#include <vector>

#include "Command.h"
#include "DataManager.h"
#include "KeelAPITest.h"
#include "ks/utf.h"
#include "registration/Deployment.h"
#include "registration/RegistrationText.h"
#include "registration/Request.h"

namespace dmctl {
namespace {

// The identity's properties, read through the store's development
// interface; a value that does not fit the field's buffer is not copied,
// as the store's own read would refuse it.
void ReadFromStore(int64_t identity, int32_t property, char* buffer) {
  int32_t size = 0;
  KeelTest_GetProperty(identity, property, buffer,
                       static_cast<int32_t>(dm::registration::kFieldReadCapacity), &size,
                       nullptr);
}

int DryRun(Output* out) {
  const int64_t identity = KeelTest_IdentityObject();
  if (identity < 0) {
    out->Number("store_error", identity);
    return kExitFailed;
  }
  const std::string text = dm::registration::BuildText(
      [identity](int32_t property, char* buffer) { ReadFromStore(identity, property, buffer); });
  std::string cipher;
  if (!dm::platform::EncryptAes128Cbc(dm::registration::KeyBlob(),
                                      dm::registration::InitialisationVector(), text, &cipher)) {
    out->Flag("encrypted", false);
    return kExitFailed;
  }
  out->Text("text", text);
  out->Number("ciphertext_bytes", static_cast<int64_t>(cipher.size()));
  out->Text("agent", ks::text::Utf16ToUtf8<WCHAR>(dm::registration::kAgent));
  out->Text("url", std::string("http://") + dm::registration::Host() + ":" +
                       std::to_string(dm::registration::kPort) + dm::registration::kQueryPath +
                       dm::registration::QueryData(cipher));
  out->Flag("development_secrets", dm::registration::HasDevelopmentSecrets());
  out->Flag("sent", false);
  return kExitSucceeded;
}

int Register(const Invocation& in) {
  if (in.args.size() == 1 && in.args[0] == "--dry-run") return DryRun(in.out);
  if (!in.args.empty()) return kExitUsage;
  // 0 is success here: the export answers a result code.
  const BOOL code = SubmitRegistration();
  in.out->Number("result", code);
  in.out->Flag("sent", code == 0);
  return code == 0 ? kExitSucceeded : kExitFailed;
}

}  // namespace

std::vector<Command> RegisterCommands() {
  return {
      {{"register"},
       "[--dry-run]",
       "send the registration data; --dry-run shows the text and the request without sending",
       &Register},
  };
}

}  // namespace dmctl
