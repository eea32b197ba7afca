// Crypto.h - the one cipher the library uses: AES-128 in CBC mode with
// PKCS#7 padding, through the platform's crypto service.
//
// Env::EncryptAes128Cbc calls it (so tests can replace it there); tools
// that must produce the same bytes call it directly.
#ifndef DM_PLATFORM_CRYPTO_H
#define DM_PLATFORM_CRYPTO_H

#include <cstdint>
#include <string>
#include <string_view>

namespace dm {

// An AES-128 key in the form the Windows crypto provider imports it: a
// plain-text key blob (blob type 8, version 2, reserved 0, algorithm
// 0x660E, key size 16) followed by the 16 key bytes, 28 bytes in all.
#pragma pack(push, 1)
struct AesKeyBlob {
  uint8_t type;
  uint8_t version;
  uint16_t reserved;
  uint32_t algorithm;
  uint32_t keySize;
  uint8_t key[16];
};
#pragma pack(pop)
static_assert(sizeof(AesKeyBlob) == 28, "the provider reads exactly 28 bytes");

namespace platform {

// Encrypts `plain` in one final run under `key` and the 16-byte `iv`.
// Windows: CryptoAPI (see Env::EncryptAes128Cbc); POSIX: OpenSSL's EVP.  A
// blob that is not an AES-128 plain-text key is refused.  Success: true,
// with the ciphertext in *cipher.  Failure: false, with *cipher empty.
bool EncryptAes128Cbc(const AesKeyBlob& key, const uint8_t (&iv)[16], std::string_view plain,
                      std::string* cipher);

}  // namespace platform
}  // namespace dm

#endif  // DM_PLATFORM_CRYPTO_H
