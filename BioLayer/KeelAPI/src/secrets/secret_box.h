// secret_box.h - sealing secret values with AES-256-GCM (the system's
// own, cipher.h): encrypted, authenticated, and bound to the object and
// property they belong to, so that a value moved to another object or
// property, or changed by one bit, no longer opens.
//
// A seal is: one format byte (1), a random 12-byte nonce, the ciphertext
// (as long as the value), and the 16-byte tag.  The associated data is a
// fixed label, the object id and the property number.
#ifndef KEEL_SECRETS_SECRET_BOX_H
#define KEEL_SECRETS_SECRET_BOX_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace keel {

inline constexpr size_t kSecretKeyBytes = 32;
inline constexpr size_t kSealOverhead = 1 + 12 + 16;

using SecretKey = std::array<uint8_t, kSecretKeyBytes>;
using KeyId = std::array<uint8_t, 16>;

// A new random key.  False when the system's random source fails.
bool NewSecretKey(SecretKey* key);

// A fingerprint of the key that a database records, so that a key file that
// is not the one its secrets were sealed with is recognised.  It reveals
// nothing of the key (a truncated SHA-256 over a label and the key).
std::optional<KeyId> KeyIdOf(const SecretKey& key);

// Seals `size` bytes at `plain` (null only when size is 0) as property
// `number` of `object`.  True with *sealed set; false when the cipher fails.
bool Seal(const SecretKey& key, int64_t object, int32_t number, const uint8_t* plain,
          size_t size, std::vector<uint8_t>* sealed);

// The size of the value inside a seal of `sealed_size` bytes whose format
// byte is `format`, or nothing when no seal looks like that.
std::optional<size_t> SealedValueSize(size_t sealed_size, uint8_t format);

// Opens a seal of property `number` of `object` into `plain`, which has room
// for SealedValueSize bytes.  False when it does not open: then `plain` may
// hold partial output, which the caller must neither use nor hand out.
bool Unseal(const SecretKey& key, int64_t object, int32_t number, const uint8_t* sealed,
            size_t sealed_size, uint8_t* plain);

// Overwrites memory that held a key or a secret value.
void Scrub(void* data, size_t size);

}  // namespace keel

#endif  // KEEL_SECRETS_SECRET_BOX_H
