// AES-128-CBC through CryptoAPI (see Crypto.h).
#include <windows.h>
#include <wincrypt.h>

#include <algorithm>

#include "platform/Crypto.h"

namespace dm::platform {
namespace {

// CryptEncrypt with the final flag under an imported key whose IV is set.
// The buffer starts as long as the text and is grown to the size the
// provider asks for while it answers ERROR_MORE_DATA; false on any other
// failure (*cipher then in any state).
bool EncryptFinal(HCRYPTKEY key, std::string_view plain, std::string* cipher) {
  if (plain.size() > MAXDWORD) return false;
  const DWORD textLength = static_cast<DWORD>(plain.size());
  cipher->assign(plain);  // data() of an empty string is still writable
  DWORD dataLength = textLength;
  while (!CryptEncrypt(key, 0, TRUE, 0, reinterpret_cast<BYTE*>(cipher->data()), &dataLength,
                       static_cast<DWORD>(cipher->size()))) {
    // The buffer must grow, or the provider would be asked the same forever.
    if (GetLastError() != ERROR_MORE_DATA || dataLength <= cipher->size()) return false;
    cipher->assign(dataLength, '\0');
    std::copy(plain.begin(), plain.end(), cipher->begin());
    dataLength = textLength;
  }
  cipher->resize(dataLength);
  return true;
}

}  // namespace

bool EncryptAes128Cbc(const AesKeyBlob& key, const uint8_t (&iv)[16], std::string_view plain,
                      std::string* cipher) {
  if (cipher == nullptr) return false;
  cipher->clear();
  // Failures are not reported further: the caller only needs to know the
  // text was not encrypted.  The provider refuses a blob that is not an
  // AES-128 plain-text key.
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
    return false;
  }
  bool encrypted = false;
  HCRYPTKEY handle = 0;
  if (CryptImportKey(provider, reinterpret_cast<const BYTE*>(&key), sizeof key, 0, 0,
                     &handle)) {
    encrypted = CryptSetKeyParam(handle, KP_IV, iv, 0) && EncryptFinal(handle, plain, cipher);
    CryptDestroyKey(handle);
  }
  CryptReleaseContext(provider, 0);
  if (!encrypted) cipher->clear();
  return encrypted;
}

}  // namespace dm::platform
