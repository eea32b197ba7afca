// secret_box.cpp - AES-256-GCM through OpenSSL's EVP interface.
#include "secrets/secret_box.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <climits>
#include <cstring>
#include <memory>

#include "ks/wipe.h"

namespace keel {
namespace {

constexpr uint8_t kFormat = 1;
constexpr size_t kNonceBytes = 12;
constexpr size_t kTagBytes = 16;
constexpr char kSealLabel[] = "KeelAPI secret v1";
constexpr char kKeyIdLabel[] = "KeelAPI key id v1";

struct CipherFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using Cipher = std::unique_ptr<EVP_CIPHER_CTX, CipherFree>;

// The associated data: the label, then the object id and the property
// number, little-endian.
struct AssociatedData {
  uint8_t bytes[sizeof kSealLabel + 8 + 4];
  AssociatedData(int64_t object, int32_t number) {
    std::memcpy(bytes, kSealLabel, sizeof kSealLabel);
    uint8_t* p = bytes + sizeof kSealLabel;
    const auto id = static_cast<uint64_t>(object);
    for (int i = 0; i < 8; ++i) *p++ = static_cast<uint8_t>(id >> (8 * i));
    const auto n = static_cast<uint32_t>(number);
    for (int i = 0; i < 4; ++i) *p++ = static_cast<uint8_t>(n >> (8 * i));
  }
};

// Starts a GCM operation with its key, nonce and associated data.
Cipher Start(bool encrypt, const SecretKey& key, const uint8_t* nonce,
             const AssociatedData& aad) {
  Cipher ctx(EVP_CIPHER_CTX_new());
  if (!ctx) return nullptr;
  const int init = encrypt ? EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr,
                                                key.data(), nonce)
                           : EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr,
                                                key.data(), nonce);
  int ignored = 0;
  const int added = encrypt ? EVP_EncryptUpdate(ctx.get(), nullptr, &ignored, aad.bytes,
                                                sizeof aad.bytes)
                            : EVP_DecryptUpdate(ctx.get(), nullptr, &ignored, aad.bytes,
                                                sizeof aad.bytes);
  if (init != 1 || added != 1) return nullptr;
  return ctx;
}

}  // namespace

bool NewSecretKey(SecretKey* key) { return RAND_bytes(key->data(), kSecretKeyBytes) == 1; }

std::optional<KeyId> KeyIdOf(const SecretKey& key) {
  uint8_t input[sizeof kKeyIdLabel + kSecretKeyBytes];
  std::memcpy(input, kKeyIdLabel, sizeof kKeyIdLabel);
  std::memcpy(input + sizeof kKeyIdLabel, key.data(), kSecretKeyBytes);
  uint8_t digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  const int done = EVP_Digest(input, sizeof input, digest, &length, EVP_sha256(), nullptr);
  Scrub(input, sizeof input);
  if (done != 1 || length < sizeof(KeyId)) return std::nullopt;
  KeyId id{};
  std::memcpy(id.data(), digest, id.size());
  return id;
}

bool Seal(const SecretKey& key, int64_t object, int32_t number, const uint8_t* plain,
          size_t size, std::vector<uint8_t>* sealed) {
  if (size > static_cast<size_t>(INT_MAX) - kSealOverhead) return false;
  std::vector<uint8_t> out(kSealOverhead + size);
  out[0] = kFormat;
  uint8_t* nonce = out.data() + 1;
  uint8_t* body = nonce + kNonceBytes;
  uint8_t* tag = body + size;
  if (RAND_bytes(nonce, kNonceBytes) != 1) return false;
  Cipher ctx = Start(true, key, nonce, AssociatedData(object, number));
  if (!ctx) return false;
  int written = 0;
  int finished = 0;
  static const uint8_t kNothing = 0;  // EVP wants a pointer even for no bytes
  if (EVP_EncryptUpdate(ctx.get(), body, &written, size == 0 ? &kNothing : plain,
                        static_cast<int>(size)) != 1 ||
      EVP_EncryptFinal_ex(ctx.get(), body + written, &finished) != 1 ||
      static_cast<size_t>(written + finished) != size ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTagBytes, tag) != 1) {
    return false;
  }
  sealed->swap(out);
  return true;
}

std::optional<size_t> SealedValueSize(size_t sealed_size, uint8_t format) {
  if (format != kFormat || sealed_size < kSealOverhead) return std::nullopt;
  return sealed_size - kSealOverhead;
}

bool Unseal(const SecretKey& key, int64_t object, int32_t number, const uint8_t* sealed,
            size_t sealed_size, uint8_t* plain) {
  if (sealed_size == 0) return false;
  const std::optional<size_t> size = SealedValueSize(sealed_size, sealed[0]);
  if (!size || *size > static_cast<size_t>(INT_MAX)) return false;
  const uint8_t* nonce = sealed + 1;
  const uint8_t* body = nonce + kNonceBytes;
  uint8_t tag[kTagBytes];
  std::memcpy(tag, body + *size, kTagBytes);  // EVP takes the tag as non-const
  Cipher ctx = Start(false, key, nonce, AssociatedData(object, number));
  if (!ctx) return false;
  int written = 0;
  int finished = 0;
  uint8_t nothing = 0;
  return EVP_DecryptUpdate(ctx.get(), *size == 0 ? &nothing : plain, &written, body,
                           static_cast<int>(*size)) == 1 &&
         EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTagBytes, tag) == 1 &&
         EVP_DecryptFinal_ex(ctx.get(), (*size == 0 ? &nothing : plain) + written, &finished) ==
             1;
}

void Scrub(void* data, size_t size) { ks::Wipe(data, size); }

}  // namespace keel
