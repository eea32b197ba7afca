// AES-128-CBC through OpenSSL's EVP interface (see Crypto.h).
#include <openssl/evp.h>

#include <climits>
#include <memory>

#include "platform/Crypto.h"

namespace dm::platform {
namespace {

// The fields of an AES-128 plain-text key blob (see AesKeyBlob).
constexpr uint8_t kPlainTextKeyBlob = 8;
constexpr uint8_t kBlobVersion = 2;
constexpr uint32_t kAlgorithmAes128 = 0x660E;
constexpr uint32_t kAes128KeySize = 16;
constexpr size_t kAesBlockSize = 16;

struct CipherContextFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};

// Encrypts in one final run; false leaves *cipher in any state.
bool EncryptWithOpenSsl(const AesKeyBlob& key, const uint8_t (&iv)[16], std::string_view plain,
                        std::string* cipher) {
  if (plain.size() > static_cast<size_t>(INT_MAX) - kAesBlockSize) return false;
  std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> context(EVP_CIPHER_CTX_new());
  if (!context ||
      EVP_EncryptInit_ex(context.get(), EVP_aes_128_cbc(), nullptr, key.key, iv) != 1) {
    return false;
  }
  // PKCS#7 padding is EVP's default: the output is at most one block longer.
  cipher->resize(plain.size() + kAesBlockSize);
  auto* out = reinterpret_cast<unsigned char*>(cipher->data());
  int written = 0;
  int finalWritten = 0;
  if (EVP_EncryptUpdate(context.get(), out, &written,
                        reinterpret_cast<const unsigned char*>(plain.data()),
                        static_cast<int>(plain.size())) != 1 ||
      EVP_EncryptFinal_ex(context.get(), out + written, &finalWritten) != 1) {
    return false;
  }
  cipher->resize(static_cast<size_t>(written) + static_cast<size_t>(finalWritten));
  return true;
}

}  // namespace

bool EncryptAes128Cbc(const AesKeyBlob& key, const uint8_t (&iv)[16], std::string_view plain,
                      std::string* cipher) {
  if (cipher == nullptr) return false;
  cipher->clear();
  if (key.type != kPlainTextKeyBlob || key.version != kBlobVersion ||
      key.algorithm != kAlgorithmAes128 || key.keySize != kAes128KeySize) {
    return false;
  }
  if (EncryptWithOpenSsl(key, iv, plain, cipher)) return true;
  cipher->clear();
  return false;
}

}  // namespace dm::platform
