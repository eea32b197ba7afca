// secret_box.cpp - the sealed format, over the system's AES-256-GCM
// (cipher.h).
#include "secrets/secret_box.h"

#include <climits>
#include <cstring>

#include "ks/wipe.h"
#include "secrets/cipher.h"

namespace keel {
namespace {

constexpr uint8_t kFormat = 1;
constexpr size_t kNonceBytes = cipher::kNonceBytes;
constexpr size_t kTagBytes = cipher::kTagBytes;
static_assert(kSealOverhead == 1 + kNonceBytes + kTagBytes);
static_assert(kSecretKeyBytes == cipher::kKeyBytes);
constexpr char kSealLabel[] = "KeelAPI secret v1";
constexpr char kKeyIdLabel[] = "KeelAPI key id v1";

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

cipher::Gcm Operation(const SecretKey& key, const uint8_t* nonce, const AssociatedData& aad,
                      size_t size) {
  return {key.data(), nonce, aad.bytes, sizeof aad.bytes, size};
}

}  // namespace

bool NewSecretKey(SecretKey* key) { return cipher::RandomBytes(key->data(), kSecretKeyBytes); }

std::optional<KeyId> KeyIdOf(const SecretKey& key) {
  uint8_t input[sizeof kKeyIdLabel + kSecretKeyBytes];
  std::memcpy(input, kKeyIdLabel, sizeof kKeyIdLabel);
  std::memcpy(input + sizeof kKeyIdLabel, key.data(), kSecretKeyBytes);
  uint8_t digest[cipher::kDigestBytes];
  const bool done = cipher::Sha256(input, sizeof input, digest);
  Scrub(input, sizeof input);
  if (!done) return std::nullopt;
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
  if (!cipher::RandomBytes(nonce, kNonceBytes)) return false;
  const AssociatedData aad(object, number);
  if (!cipher::Encrypt(Operation(key, nonce, aad, size), plain, body, tag)) return false;
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
  const AssociatedData aad(object, number);
  return cipher::Decrypt(Operation(key, nonce, aad, *size), body, body + *size, plain);
}

void Scrub(void* data, size_t size) { ks::Wipe(data, size); }

}  // namespace keel
