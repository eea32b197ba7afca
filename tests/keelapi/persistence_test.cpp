// The persistent backend keeps what was written: objects, properties,
// reference numbers and creation order outlive the process that wrote them,
// ids are never handed out twice, and the database carries its schema
// version in write-ahead-log mode.
#include <fstream>

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

}  // namespace
}  // namespace keeltest
