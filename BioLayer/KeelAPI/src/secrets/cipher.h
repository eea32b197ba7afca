// cipher.h - the system cryptography a seal is made of: random bytes,
// SHA-256, and AES-256-GCM with a 12-byte nonce and a 16-byte tag.  One
// implementation per system (OpenSSL's EVP on POSIX, CNG on Windows); both
// give the same bytes for the same inputs, so a seal made on one system
// opens on the other.
#ifndef KEEL_SECRETS_CIPHER_H
#define KEEL_SECRETS_CIPHER_H

#include <cstddef>
#include <cstdint>

namespace keel::cipher {

inline constexpr size_t kKeyBytes = 32;
inline constexpr size_t kNonceBytes = 12;
inline constexpr size_t kTagBytes = 16;
inline constexpr size_t kDigestBytes = 32;

// What one GCM operation works on.  `plain` and `body` are `size` bytes
// long and may be null only when size is 0.
struct Gcm {
  const uint8_t* key;    // kKeyBytes
  const uint8_t* nonce;  // kNonceBytes
  const uint8_t* aad;
  size_t aad_size;
  size_t size;
};

// Fills `out` with `size` bytes of the system's random source.
bool RandomBytes(uint8_t* out, size_t size);

// The SHA-256 digest of `size` bytes at `data`.
bool Sha256(const uint8_t* data, size_t size, uint8_t* digest);

// Encrypts `plain` into `body` and writes the tag.
bool Encrypt(const Gcm& op, const uint8_t* plain, uint8_t* body, uint8_t* tag);

// Decrypts `body` into `plain` when `tag` holds; false otherwise, and then
// `plain` may hold partial output that must not be used.
bool Decrypt(const Gcm& op, const uint8_t* body, const uint8_t* tag, uint8_t* plain);

}  // namespace keel::cipher

#endif  // KEEL_SECRETS_CIPHER_H
