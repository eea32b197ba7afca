// cipher_cng.cpp - the seal's cryptography through Windows' CNG (bcrypt):
// AES in GCM chaining mode, SHA-256 and the system's preferred random
// source.
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <climits>

#include "secrets/cipher.h"

namespace keel::cipher {
namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

// An algorithm provider, closed when it goes.
class Provider {
 public:
  explicit Provider(const wchar_t* algorithm) {
    if (!Succeeded(BCryptOpenAlgorithmProvider(&handle_, algorithm, nullptr, 0))) {
      handle_ = nullptr;
    }
  }
  ~Provider() {
    if (handle_ != nullptr) BCryptCloseAlgorithmProvider(handle_, 0);
  }
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;
  BCRYPT_ALG_HANDLE get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

// An AES-256 key in GCM mode, destroyed when it goes.
class GcmKey {
 public:
  explicit GcmKey(const uint8_t* key) : aes_(BCRYPT_AES_ALGORITHM) {
    if (aes_.get() == nullptr) return;
    auto* mode = const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_GCM);
    if (!Succeeded(BCryptSetProperty(aes_.get(), BCRYPT_CHAINING_MODE,
                                     reinterpret_cast<PUCHAR>(mode),
                                     sizeof BCRYPT_CHAIN_MODE_GCM, 0)) ||
        !Succeeded(BCryptGenerateSymmetricKey(aes_.get(), &handle_, nullptr, 0,
                                              const_cast<PUCHAR>(key), kKeyBytes, 0))) {
      handle_ = nullptr;
    }
  }
  ~GcmKey() {
    if (handle_ != nullptr) BCryptDestroyKey(handle_);
  }
  GcmKey(const GcmKey&) = delete;
  GcmKey& operator=(const GcmKey&) = delete;
  BCRYPT_KEY_HANDLE get() const { return handle_; }

 private:
  Provider aes_;
  BCRYPT_KEY_HANDLE handle_ = nullptr;
};

// The nonce, associated data and tag of one operation, as CNG takes them.
BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO ModeInfo(const Gcm& op, uint8_t* tag) {
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
  BCRYPT_INIT_AUTH_MODE_INFO(info);
  info.pbNonce = const_cast<PUCHAR>(op.nonce);
  info.cbNonce = kNonceBytes;
  info.pbAuthData = op.aad_size == 0 ? nullptr : const_cast<PUCHAR>(op.aad);
  info.cbAuthData = static_cast<ULONG>(op.aad_size);
  info.pbTag = tag;
  info.cbTag = kTagBytes;
  return info;
}

// BCryptEncrypt or BCryptDecrypt, which take the same arguments.
using CipherCall = NTSTATUS(WINAPI*)(BCRYPT_KEY_HANDLE, PUCHAR, ULONG, VOID*, PUCHAR, ULONG,
                                     PUCHAR, ULONG, ULONG*, ULONG);

// One GCM pass over `op.size` bytes from `in` to `out`: encrypting writes
// the tag, decrypting checks it.
bool Crypt(CipherCall call, const Gcm& op, const uint8_t* in, uint8_t* out, uint8_t* tag) {
  const GcmKey key(op.key);
  if (key.get() == nullptr || op.size > ULONG_MAX || op.aad_size > ULONG_MAX) return false;
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info = ModeInfo(op, tag);
  const auto size = static_cast<ULONG>(op.size);
  ULONG written = 0;
  return Succeeded(call(key.get(), const_cast<PUCHAR>(in), size, &info, nullptr, 0, out, size,
                        &written, 0)) &&
         written == size;
}

}  // namespace

bool RandomBytes(uint8_t* out, size_t size) {
  return size <= ULONG_MAX &&
         Succeeded(BCryptGenRandom(nullptr, out, static_cast<ULONG>(size),
                                   BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

bool Sha256(const uint8_t* data, size_t size, uint8_t* digest) {
  const Provider sha(BCRYPT_SHA256_ALGORITHM);
  return sha.get() != nullptr && size <= ULONG_MAX &&
         Succeeded(BCryptHash(sha.get(), nullptr, 0, const_cast<PUCHAR>(data),
                              static_cast<ULONG>(size), digest, kDigestBytes));
}

bool Encrypt(const Gcm& op, const uint8_t* plain, uint8_t* body, uint8_t* tag) {
  return Crypt(BCryptEncrypt, op, plain, body, tag);
}

bool Decrypt(const Gcm& op, const uint8_t* body, const uint8_t* tag, uint8_t* plain) {
  uint8_t expected[kTagBytes];
  for (size_t i = 0; i < kTagBytes; ++i) expected[i] = tag[i];  // CNG takes it as non-const
  return Crypt(BCryptDecrypt, op, body, plain, expected);
}

}  // namespace keel::cipher
