// cipher_openssl.cpp - the seal's cryptography through OpenSSL's EVP
// interface.
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "secrets/cipher.h"

namespace keel::cipher {
namespace {

struct CipherFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using Context = std::unique_ptr<EVP_CIPHER_CTX, CipherFree>;

// Starts a GCM operation with its key, nonce and associated data.
Context Start(bool encrypt, const Gcm& op) {
  if (op.size > static_cast<size_t>(INT_MAX) || op.aad_size > static_cast<size_t>(INT_MAX)) {
    return nullptr;
  }
  Context ctx(EVP_CIPHER_CTX_new());
  if (!ctx) return nullptr;
  int ignored = 0;
  const int init = EVP_CipherInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, op.key, op.nonce,
                                     encrypt ? 1 : 0);
  if (init != 1 || EVP_CipherUpdate(ctx.get(), nullptr, &ignored, op.aad,
                                    static_cast<int>(op.aad_size)) != 1) {
    return nullptr;
  }
  return ctx;
}

// One GCM pass over `op.size` bytes from `in` to `out`: encrypting writes
// the tag, decrypting checks it.
bool Crypt(bool encrypt, const Gcm& op, const uint8_t* in, uint8_t* out, uint8_t* tag) {
  const Context ctx = Start(encrypt, op);
  uint8_t nothing = 0;  // EVP wants a pointer even for no bytes
  if (op.size == 0) in = out = &nothing;
  int written = 0;
  int finished = 0;
  return ctx && EVP_CipherUpdate(ctx.get(), out, &written, in, static_cast<int>(op.size)) == 1 &&
         (encrypt || EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTagBytes, tag) == 1) &&
         EVP_CipherFinal_ex(ctx.get(), out + written, &finished) == 1 &&
         static_cast<size_t>(written + finished) == op.size &&
         (!encrypt || EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTagBytes, tag) == 1);
}

}  // namespace

bool RandomBytes(uint8_t* out, size_t size) {
  return size <= static_cast<size_t>(INT_MAX) && RAND_bytes(out, static_cast<int>(size)) == 1;
}

bool Sha256(const uint8_t* data, size_t size, uint8_t* digest) {
  unsigned int length = 0;
  return EVP_Digest(data, size, digest, &length, EVP_sha256(), nullptr) == 1 &&
         length == kDigestBytes;
}

bool Encrypt(const Gcm& op, const uint8_t* plain, uint8_t* body, uint8_t* tag) {
  return Crypt(true, op, plain, body, tag);
}

bool Decrypt(const Gcm& op, const uint8_t* body, const uint8_t* tag, uint8_t* plain) {
  uint8_t expected[kTagBytes];
  std::copy(tag, tag + kTagBytes, expected);  // EVP takes the tag as non-const
  return Crypt(false, op, body, plain, expected);
}

}  // namespace keel::cipher
