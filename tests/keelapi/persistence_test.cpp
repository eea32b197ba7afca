// What the persistent backend keeps across processes, and secrets at rest:
// in no file of the store, and a seal that was changed, moved or whose key
// is gone answers an error, never garbage and never a new key.
#ifdef _WIN32
#include <windows.h>
// windows.h first: dpapi.h needs its types.
#include <dpapi.h>
#else
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <string>

#include "support/disk_fixture.h"

namespace keeltest {
namespace {

using KeelPersistence = DiskTest;

TEST_F(KeelPersistence, EverythingWrittenIsThereAfterReopeningAndNoIdIsHandedOutTwice) {
  Open();
  const uint32_t skin = 5;
  ASSERT_EQ(KA_SetProperty(&context_, 108, &skin, sizeof skin), KA_OK);
  uint32_t first = NewCard("example.com", 999);
  uint32_t second = NewCard("example.com", 999);
  ASSERT_EQ(KA_Card_SetProperty(&first, KA_ATTR_PLAIN, 103, "alice", -1), KA_OK);
  ASSERT_EQ(KA_Card_SetProperty(&first, KA_ATTR_SECRET, 104, "hunter2", -1), KA_OK);
  const int64_t ref = KeelTest_CardRefNum(ObjectOf(second));
  const std::vector<int64_t> walked = WalkCards("example.com", 999);
  uint32_t macro = 0;
  ASSERT_EQ(KA_Id_CreateMacro(&identity_, 6, &macro), KA_OK);
  ASSERT_EQ(KA_Macro_SetProperty(&macro, 2, "notepad.exe", -1), KA_OK);
  const int64_t first_id = ObjectOf(first);
  ASSERT_EQ(KA_Card_Release(&first), KA_OK);
  ASSERT_EQ(KA_Card_Release(&second), KA_OK);
  uint32_t deleted = NewCard("example.com", 999);
  const int64_t deleted_id = ObjectOf(deleted);
  ASSERT_EQ(KA_Card_Delete(&deleted), KA_OK);

  ASSERT_EQ(Reopen(), KA_OK);
  Open();
  uint32_t value = 0;
  ASSERT_EQ(KA_GetProperty(&context_, 108, sizeof value, &value, nullptr), KA_OK);
  EXPECT_EQ(value, skin);
  EXPECT_EQ(WalkCards("example.com", 999), walked) << "same cards, same order";
  uint32_t card = 0;
  ASSERT_EQ(KA_Id_GetCard(&identity_, "example.com", 999, 1, &card), KA_OK);
  EXPECT_EQ(ObjectOf(card), first_id);
  EXPECT_EQ(ReadValue(KA_Card_GetProperty, card, 1), std::string("example.com", 12));
  EXPECT_EQ(ReadValue(KA_Card_GetProperty, card, 103), std::string("alice", 6));
  EXPECT_EQ(ReadValue(KA_Card_GetProperty, card, 104), std::string("hunter2", 8));
  ASSERT_EQ(KA_Id_GetCardByRefNum(&identity_, ref, &card), KA_OK);
  EXPECT_EQ(ObjectOf(card), walked[1]);
  ASSERT_EQ(KA_Id_GetMacro(&identity_, 6, 1, &macro), KA_OK);
  EXPECT_EQ(ReadValue(KA_Macro_GetProperty, macro, 2), std::string("notepad.exe", 12));
  EXPECT_GT(KeelTest_SeedCard("a.com", 1), deleted_id) << "an id handed out twice";
}

TEST_F(KeelPersistence, AnEmptyFileBecomesAVersionedStoreInWalModeAndAnotherProgramsIsRefused) {
  Close();
  const std::string empty = folder_.File("empty.db");
  std::ofstream(empty).close();
  ASSERT_EQ(KeelTest_Reset(("sqlite:" + empty).c_str()), KA_OK);
  EXPECT_GT(KeelTest_SeedCard("a.com", 1), 0);
  Close();
  EXPECT_EQ(QueryInt(empty, "PRAGMA user_version"), 2);
  EXPECT_EQ(Query(empty, "PRAGMA journal_mode"), "wal");

  const std::string foreign = folder_.File("foreign.db");
  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open(foreign.c_str(), &handle), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(handle, "CREATE TABLE notes(text)", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(handle);
  const std::string before = FileBytes(foreign);
  EXPECT_EQ(KeelTest_Reset(("sqlite:" + foreign).c_str()), KA_E_STORAGE);
  EXPECT_TRUE(FileBytes(foreign) == before) << "the file was changed";
}

constexpr char kPassword[] = "correct-horse-battery-staple-9f3a";
constexpr char kUser[] = "visible-user-name-4711";

std::string Hex(const std::string& bytes) {
  std::string hex;
  for (const unsigned char byte : bytes) {
    hex += "0123456789abcdef"[byte >> 4];
    hex += "0123456789abcdef"[byte & 15];
  }
  return hex;
}

bool Contains(const std::string& haystack, const char* needle) {
  return haystack.find(needle) != std::string::npos;
}

class KeelSecrets : public DiskTest {
 protected:
  // Opens the store with one card holding the user name and the password.
  void WriteCard() {
    Open();
    card_ = NewCard("bank.example.com", 999);
    ASSERT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_PLAIN, 103, kUser, -1), KA_OK);
    ASSERT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_SECRET, 104, kPassword, -1), KA_OK);
    card_object_ = ObjectOf(card_);
    ASSERT_EQ(KA_Card_Release(&card_), KA_OK);
  }

  // Reopens the store and reads the password, leaving the buffer on failure.
  KA_STATUS ReadPasswordAfterReopening(const char* expected = kPassword) {
    EXPECT_EQ(Reopen(), KA_OK);
    Open();
    EXPECT_EQ(KA_Id_GetCard(&identity_, "bank.example.com", 999, 1, &card_), KA_OK);
    char buffer[64] = "untouched";
    uint32_t size = 0;
    const KA_STATUS status = KA_Card_GetProperty(&card_, 104, sizeof buffer, buffer, &size);
    EXPECT_STREQ(buffer, status == KA_OK ? expected : "untouched");
    return status;
  }

  // Replaces a secret property's stored bytes, in hex, in the database.
  void Rewrite(int64_t object, int32_t number, const std::string& hex) {
    Close();
    ASSERT_EQ(Sql("INSERT OR REPLACE INTO properties VALUES(" + std::to_string(object) + ", " +
                  std::to_string(number) + ", " + std::to_string(KA_ATTR_SECRET) + ", X'" + hex +
                  "')"),
              SQLITE_OK);
  }

  // The stored bytes of a property, read directly from the database.
  std::string Stored(int64_t object, int32_t number) {
    Close();
    return Query(db_, "SELECT value FROM properties WHERE object = " + std::to_string(object) +
                          " AND number = " + std::to_string(number))
        .value_or("");
  }

  std::string Key() const { return db_ + ".key"; }

  uint32_t card_ = 0;
  int64_t card_object_ = 0;
};

TEST_F(KeelSecrets, APasswordIsInNoFileOfTheStoreAndItsKeyIsForTheOwnerOnly) {
  WriteCard();
#ifndef _WIN32  // file modes; on Windows DPAPI protects the key file
  struct stat key {};
  struct stat db {};
  ASSERT_EQ(stat(Key().c_str(), &key), 0);
  ASSERT_EQ(stat(db_.c_str(), &db), 0);
  EXPECT_EQ(key.st_mode & 0777, 0600u) << "for the owner only";
  EXPECT_EQ(db.st_mode & 0777, 0600u);
  EXPECT_EQ(key.st_size, 32);
#else
  EXPECT_TRUE(std::filesystem::exists(Key()));
#endif

  const std::string open_files = FileBytes(db_) + FileBytes(db_ + "-wal");
  EXPECT_TRUE(Contains(open_files, kUser)) << "the search would find a plain value";
  EXPECT_FALSE(Contains(open_files, kPassword));
  Close();
  const std::string closed = FileBytes(db_) + FileBytes(db_ + "-wal");
  EXPECT_TRUE(Contains(closed, kUser));
  EXPECT_FALSE(Contains(closed, kPassword));
  EXPECT_EQ(ReadPasswordAfterReopening(), KA_OK);
}

TEST_F(KeelSecrets, AChangedSealAnswersAnErrorAndTheCheckNamesIt) {
  WriteCard();
  std::string seal = Stored(card_object_, 104);
  ASSERT_GT(seal.size(), sizeof kPassword);
  for (const size_t at : {size_t{5}, seal.size() / 2, seal.size() - 1}) {  // nonce, body, tag
    SCOPED_TRACE(at);
    std::string changed = seal;
    changed[at] = static_cast<char>(changed[at] ^ 0x01);
    Rewrite(card_object_, 104, Hex(changed));
    EXPECT_EQ(ReadPasswordAfterReopening(), KA_E_STORAGE);
    EXPECT_EQ(ReadValue(KA_Card_GetProperty, card_, 103), std::string(kUser) + '\0');
  }
  Rewrite(card_object_, 104, Hex(seal.substr(0, 10)));  // cut short
  EXPECT_EQ(ReadPasswordAfterReopening(), KA_E_STORAGE);
  KA_STATUS status = KA_OK;
  const std::vector<std::string> problems = Problems(&status);
  EXPECT_EQ(status, KA_E_STORAGE);
  ASSERT_EQ(problems.size(), 1u) << testing::PrintToString(problems);
  EXPECT_TRUE(Contains(problems[0], "property 104")) << problems[0];
  Rewrite(card_object_, 104, Hex(seal));
  EXPECT_EQ(ReadPasswordAfterReopening(), KA_OK) << "the original seal still opens";
}

TEST_F(KeelSecrets, ASealMovedToAnotherCardOrPropertyDoesNotOpen) {
  WriteCard();
  uint32_t other = NewCard("bank.example.com", 998);
  ASSERT_EQ(KA_Card_SetProperty(&other, KA_ATTR_SECRET, 104, "other-password", -1), KA_OK);
  const int64_t other_object = ObjectOf(other);
  ASSERT_EQ(KA_Card_Release(&other), KA_OK);
  const std::string seal = Hex(Stored(card_object_, 104));
  Rewrite(other_object, 104, seal);
  Rewrite(card_object_, 105, seal);
  ASSERT_EQ(Reopen(), KA_OK);
  for (const auto& [object, number] : {std::pair{other_object, 104}, {card_object_, 105}}) {
    char buffer[64] = "untouched";
    int32_t size = 0;
    EXPECT_EQ(KeelTest_GetProperty(object, number, buffer, sizeof buffer, &size, nullptr),
              KA_E_STORAGE);
    EXPECT_STREQ(buffer, "untouched");
  }
}

// A key file that is gone, of another store, or of the wrong size: the
// secrets it sealed answer an error, new secrets are refused, and no key
// is made in its place.
TEST_F(KeelSecrets, AMissingOrAnotherKeyIsAnErrorAndNoNewKeyIsMade) {
  WriteCard();
  Close();
  ASSERT_TRUE(std::filesystem::remove(Key()));
  EXPECT_EQ(ReadPasswordAfterReopening(), KA_E_STORAGE);
  uint32_t card = NewCard("new.example.com", 999);
  EXPECT_EQ(KA_Card_SetProperty(&card, KA_ATTR_SECRET, 104, "new", -1), KA_E_STORAGE);
  EXPECT_EQ(KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 103, "plain still works", -1), KA_OK);
  EXPECT_FALSE(std::filesystem::exists(Key()));
  KA_STATUS status = KA_OK;
  const std::vector<std::string> problems = Problems(&status);
  EXPECT_EQ(status, KA_E_STORAGE);
  ASSERT_FALSE(problems.empty());
  EXPECT_TRUE(Contains(problems[0], "missing")) << problems[0];

  for (const size_t size : {32, 31}) {
    SCOPED_TRACE(size);
    Close();
    std::ofstream(Key(), std::ios::binary | std::ios::trunc) << std::string(size, 'k');
    EXPECT_EQ(ReadPasswordAfterReopening(), KA_E_STORAGE);
    EXPECT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_SECRET, 104, "new", -1), KA_E_STORAGE);
  }
}

// Seals of the password of a new store's first card (object 3, property
// 104), made with the key bytes 0x00 .. 0x1f, one by OpenSSL as the Linux
// build seals and one by CNG under Wine as the Windows build seals: format
// byte 1, the nonce, the ciphertext, the tag.  Both builds run this test.
TEST_F(KeelSecrets, ASealFromEitherSystemOpensWithTheSameKey) {
  const struct {
    const char* plain;
    const char* sealed_hex;
  } vectors[] = {
      {"sealed on Linux",
       "016465666768696a6b6c6d6e6f3b7ebf0a1c8d76f150421381b41012fdbbe5d12b5396f6001c497305f1fe0c"
       "ff"},
      {"sealed on Windows",
       "01c8c9cacbcccdcecfd0d1d2d3621d00b7e3a8db4f1a1c48d77062846393870942abaad4b29fbd0d8fca71f1"
       "0c0257"},
  };
  Open();  // a card with no secret yet: no key is bound to the store
  card_ = NewCard("bank.example.com", 999);
  card_object_ = ObjectOf(card_);
  ASSERT_EQ(card_object_, 3);
  ASSERT_EQ(KA_Card_Release(&card_), KA_OK);
  EXPECT_FALSE(std::filesystem::exists(Key())) << "the key is made at the first secret";
  std::string key(32, '\0');
  for (int i = 0; i < 32; ++i) key[i] = static_cast<char>(i);
#ifdef _WIN32  // the store keeps its key protected with DPAPI
  DATA_BLOB in{static_cast<DWORD>(key.size()), reinterpret_cast<BYTE*>(key.data())};
  DATA_BLOB out{};
  ASSERT_TRUE(CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, 0, &out));
  key.assign(reinterpret_cast<const char*>(out.pbData), out.cbData);
  LocalFree(out.pbData);
#endif
  Close();
  std::ofstream(Key(), std::ios::binary) << key;
  std::filesystem::permissions(Key(), std::filesystem::perms::owner_read |
                                          std::filesystem::perms::owner_write);
  for (const auto& v : vectors) {
    SCOPED_TRACE(v.plain);
    Rewrite(card_object_, 104, v.sealed_hex);
    EXPECT_EQ(ReadPasswordAfterReopening(v.plain), KA_OK);
  }
}

}  // namespace
}  // namespace keeltest
