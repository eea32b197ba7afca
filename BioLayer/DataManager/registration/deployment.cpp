// The registration service's host, key and initialisation vector, from the
// build's settings (see Deployment.h and cmake/RegistrationSettings.cmake).
#include "registration/Deployment.h"

#if !defined(DM_REGISTRATION_HOST) || !defined(DM_REGISTRATION_KEY) || \
    !defined(DM_REGISTRATION_IV) || !defined(DM_REGISTRATION_DEVELOPMENT)
#error "the registration settings are set by the build"
#endif

namespace dm::registration {
namespace {

constexpr char kHost[] = DM_REGISTRATION_HOST;
constexpr uint8_t kKey[16] = {DM_REGISTRATION_KEY};
// Sixteen printable characters; the string's terminator is not part of it.
constexpr char kIvText[] = DM_REGISTRATION_IV;
static_assert(sizeof kIvText == 17, "the initialisation vector is 16 characters");

constexpr auto IvBytes() {
  struct Bytes {
    uint8_t b[16];
  } iv{};
  for (int i = 0; i < 16; ++i) iv.b[i] = static_cast<uint8_t>(kIvText[i]);
  return iv;
}
constexpr auto kIv = IvBytes();

}  // namespace

const char* Host() { return kHost; }
const uint8_t (&Key())[16] { return kKey; }
const uint8_t (&InitialisationVector())[16] { return kIv.b; }
AesKeyBlob KeyBlob() {
  AesKeyBlob blob = {8, 2, 0, 0x660E, 16, {}};  // a plain-text AES-128 key
  for (int i = 0; i < 16; ++i) blob.key[i] = kKey[i];
  return blob;
}

bool HasDevelopmentSecrets() { return DM_REGISTRATION_DEVELOPMENT != 0; }

}  // namespace dm::registration
