// dmctl register: sends the user's registration data.
//
// `register --dry-run` sends nothing: it shows the text and the request
// that a registration would send now, built by the same code DataManager
// builds them with (its registration library, with this build's host, key
// and IV), from the identity as the store holds it, read through the
// store's administration interface: it works on the production store, and
// it never hands out a secret.
#include <string>
#include <vector>

#include "Command.h"
#include "DataManager.h"
#include "LoadedStore.h"
#include "ks/utf.h"
#include "registration/Deployment.h"
#include "registration/RegistrationText.h"
#include "registration/Request.h"

namespace dmctl {
namespace {

// The identity's properties, read through the store's administration
// interface: a value that does not fit the field's buffer is not copied, as
// the store's own read would refuse it, and a secret is refused, so its
// field stays empty.  The first failure other than those (an unreadable
// store) is kept in *failure.
void ReadFromStore(const StoreAdmin& admin, int32_t property, char* buffer,
                   KA_STATUS* failure) {
  int32_t size = 0;
  const KA_STATUS status = admin.identity_text(
      property, buffer, static_cast<int32_t>(dm::registration::kFieldReadCapacity), &size);
  if (status == KA_E_STORAGE && *failure == KA_OK) *failure = status;
}

int DryRun(Output* out) {
  StoreAdmin admin;
  if (!FindStoreAdmin("register --dry-run", &admin)) return kExitFailed;
  KA_STATUS failure = KA_OK;
  const std::string text =
      dm::registration::BuildText([&admin, &failure](int32_t property, char* buffer) {
        ReadFromStore(admin, property, buffer, &failure);
      });
  if (failure != KA_OK) {
    out->Number("store_error", failure);
    return kExitFailed;
  }
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
