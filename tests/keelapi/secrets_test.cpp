// Secrets at rest: a value written with attribute 10 is not in the database
// files, reads back whole, and a seal that was changed, moved or whose key
// is gone answers an error, never garbage and never a new key.
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "support/disk_fixture.h"

namespace keeltest {
namespace {

constexpr char kPassword[] = "correct-horse-battery-staple-9f3a";
constexpr char kUser[] = "visible-user-name-4711";

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

  // Reopens the store and answers the status of reading the password, whose
  // buffer must be left alone on failure.
  KA_STATUS ReadPasswordAfterReopening() {
    EXPECT_EQ(Reopen(), KA_OK);
    Open();
    EXPECT_EQ(KA_Id_GetCard(&identity_, "bank.example.com", 999, 1, &card_), KA_OK);
    char buffer[64] = "untouched";
    uint32_t size = 0;
    const KA_STATUS status = KA_Card_GetProperty(&card_, 104, sizeof buffer, buffer, &size);
    if (status == KA_OK) {
      EXPECT_STREQ(buffer, kPassword);
    } else {
      EXPECT_STREQ(buffer, "untouched");
    }
    return status;
  }

  // Replaces the stored bytes of a secret property, directly in the database.
  void Rewrite(int64_t object, int32_t number, const std::string& bytes) {
    Close();
    std::string hex;
    for (unsigned char byte : bytes) {
      hex += "0123456789abcdef"[byte >> 4];
      hex += "0123456789abcdef"[byte & 15];
    }
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

bool Contains(const std::string& haystack, const char* needle) {
  return haystack.find(needle) != std::string::npos;
}

TEST_F(KeelSecrets, APasswordIsInNoFileOfTheStoreAndItsKeyIsMadeAtTheFirstSecret) {
  Open();
  card_ = NewCard("bank.example.com", 999);
  ASSERT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_PLAIN, 103, kUser, -1), KA_OK);
  EXPECT_FALSE(std::filesystem::exists(Key()));
  ASSERT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_SECRET, 104, kPassword, -1), KA_OK);
  ASSERT_EQ(KA_Card_Release(&card_), KA_OK);
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
    Rewrite(card_object_, 104, changed);
    EXPECT_EQ(ReadPasswordAfterReopening(), KA_E_STORAGE);
    EXPECT_EQ(ReadValue(KA_Card_GetProperty, card_, 103), std::string(kUser) + '\0');
  }
  Rewrite(card_object_, 104, seal.substr(0, 10));  // cut short
  EXPECT_EQ(ReadPasswordAfterReopening(), KA_E_STORAGE);
  KA_STATUS status = KA_OK;
  const std::vector<std::string> problems = Problems(&status);
  EXPECT_EQ(status, KA_E_STORAGE);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_TRUE(Contains(problems[0], "property 104")) << problems[0];
  Rewrite(card_object_, 104, seal);
  EXPECT_EQ(ReadPasswordAfterReopening(), KA_OK) << "the original seal still opens";
}

TEST_F(KeelSecrets, ASealMovedToAnotherCardOrPropertyDoesNotOpen) {
  WriteCard();
  uint32_t other = NewCard("bank.example.com", 998);
  ASSERT_EQ(KA_Card_SetProperty(&other, KA_ATTR_SECRET, 104, "other-password", -1), KA_OK);
  const int64_t other_object = ObjectOf(other);
  ASSERT_EQ(KA_Card_Release(&other), KA_OK);
  const std::string seal = Stored(card_object_, 104);
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

}  // namespace
}  // namespace keeltest
