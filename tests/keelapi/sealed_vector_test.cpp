// A store file written on one system opens on the other: the seals below
// were made with one key, one by OpenSSL (as the Linux build seals) and one
// by CNG under Wine (as the Windows build seals), for the password of the
// first card of a new store.  Both builds run this test, so each opens what
// the other sealed.
#include <filesystem>
#include <fstream>
#include <string>

#include "support/disk_fixture.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: dpapi.h needs its types.
#include <dpapi.h>
#endif

namespace keeltest {
namespace {

using KeelSealedVectors = DiskTest;

constexpr int64_t kFirstCard = 3;  // after the context and the identity

struct Vector {
  const char* system;
  const char* plain;  // stored with its NUL
  const char* sealed_hex;
};

// A seal: format byte 1, the nonce (bytes 100.. on Linux, 200.. on
// Windows), the ciphertext, the tag; the associated data "KeelAPI secret
// v1", its NUL, the object 3 and the property 104, little-endian.
const Vector kVectors[] = {
    {"Linux", "sealed on Linux",
     "016465666768696a6b6c6d6e6f3b7ebf0a1c8d76f150421381b41012fdbbe5d12b5396f6001c497305f1fe0cff"},
    {"Windows", "sealed on Windows",
     "01c8c9cacbcccdcecfd0d1d2d3621d00b7e3a8db4f1a1c48d77062846393870942abaad4b29fbd0d8fca71f10c02"
     "57"},
};

// The key both seals were made with: bytes 0x00 .. 0x1f.
std::string Key() {
  std::string key(32, '\0');
  for (int i = 0; i < 32; ++i) key[i] = static_cast<char>(i);
  return key;
}

// Puts the key file beside the database as the store keeps it: the key
// itself, private to the user, or, on Windows, protected with DPAPI.
void WriteKeyFile(const std::string& path, std::string key) {
#ifdef _WIN32
  DATA_BLOB in{static_cast<DWORD>(key.size()), reinterpret_cast<BYTE*>(key.data())};
  DATA_BLOB out{};
  ASSERT_TRUE(CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, 0, &out));
  key.assign(reinterpret_cast<const char*>(out.pbData), out.cbData);
  LocalFree(out.pbData);
#endif
  std::filesystem::remove(path);
  std::ofstream(path, std::ios::binary) << key;
  std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::owner_write);
}

TEST_F(KeelSealedVectors, ASealFromEitherSystemOpensWithTheSameKey) {
  Open();
  uint32_t card = NewCard("vector.example", 1);
  const int64_t object = ObjectOf(card);
  ASSERT_EQ(KA_Card_Release(&card), KA_OK);
  ASSERT_EQ(object, kFirstCard);
  for (const Vector& v : kVectors) {
    SCOPED_TRACE(v.system);
    Close();
    WriteKeyFile(db_ + ".key", Key());
    ASSERT_EQ(Sql("INSERT OR REPLACE INTO properties VALUES(" + std::to_string(object) +
                  ", 104, 10, X'" + v.sealed_hex + "')"),
              SQLITE_OK);
    ASSERT_EQ(Reopen(), KA_OK);
    Open();
    ASSERT_EQ(KA_Id_GetCard(&identity_, "vector.example", 1, 1, &card), KA_OK);
    EXPECT_EQ(ReadValue(KA_Card_GetProperty, card, 104), v.plain + std::string(1, '\0'));
    ASSERT_EQ(KA_Card_Release(&card), KA_OK);
  }
}

}  // namespace
}  // namespace keeltest
