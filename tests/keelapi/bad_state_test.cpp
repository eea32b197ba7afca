// Bad states: a file that is not a database, a database of a newer build, a
// folder that cannot be written or has vanished, a full disk.  Every store
// function answers an error status, the process keeps running, and nothing
// of what the user had is changed.
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/scoped_env.h"
#include "support/disk_fixture.h"

namespace keeltest {
namespace {

class KeelBadState : public DiskTest {
 protected:
  // Writes a card with a user name, the state whose survival is checked.
  void WriteUserData() {
    Open();
    uint32_t card = NewCard("kept.example.com", 999);
    ASSERT_EQ(KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 103, "kept", -1), KA_OK);
    ASSERT_EQ(KA_Card_Release(&card), KA_OK);
    Close();
  }

  // Whether the user's card is still there, whole and alone, and the store
  // sound.
  void ExpectUserDataIntact() {
    ASSERT_EQ(Reopen(), KA_OK);
    KA_STATUS status = KA_E_STORAGE;
    EXPECT_TRUE(Problems(&status).empty());
    EXPECT_EQ(status, KA_OK);
    Open();
    uint32_t card = 0;
    ASSERT_EQ(KA_Id_GetCard(&identity_, "kept.example.com", 999, 1, &card), KA_OK);
    EXPECT_EQ(ReadValue(KA_Card_GetProperty, card, 103), std::string("kept", 5));
    EXPECT_EQ(ReadValue(KA_Card_GetProperty, card, 105), "status -17") << "not stored";
    EXPECT_EQ(WalkCards(nullptr, 999).size(), 1u);
  }
};

// Calls every store function as a client starting up would, KA_Init first,
// and answers those that did not answer an error (KA_Execute needs no store).
std::vector<std::string> FunctionsThatDidNotFail() {
  const uint8_t zeros[30] = {};
  uint32_t context = 0, app = 0, identity = 0, card = 0, macro = 0, shortcut = 0, out = 0;
  int64_t count = 0;
  auto calls = CallsOnHandles(&context, &app, &identity, &card, &macro, &shortcut, &out);
  calls.insert(calls.begin(), STORE_CALL(KA_Init(zeros, "bad-state", 0, &context)));
  calls.push_back(STORE_CALL(KeelAdmin_CountObjects(KEEL_CARD, &count)));
  calls.push_back(STORE_CALL(static_cast<KA_STATUS>(KeelTest_SeedCard("a.com", 1))));
  std::vector<std::string> passed;
  for (const Call& c : calls) {
    if (c.call() >= 0) passed.push_back(c.what);
  }
  return passed;
}

TEST_F(KeelBadState, AFileThatIsNotAStoreOfThisBuildIsRefusedAndLeftAsItIs) {
  WriteUserData();
  ASSERT_EQ(Sql("PRAGMA user_version = 3"), SQLITE_OK);
  const std::string newer = FileBytes(db_);
  std::string garbage(20000, '\0');
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 7919 % 251);
  for (const auto& [bytes, reason] :
       {std::pair{newer, "newer build"}, {garbage, "not a readable store database"}}) {
    SCOPED_TRACE(reason);
    std::ofstream(db_, std::ios::binary | std::ios::trunc) << bytes;
    {
      // A new process on the store's own file, which opens on first need.
      const testenv::ScopedEnv store_file("KEELAPI_DB", db_);
      ASSERT_EQ(KeelTest_Reset("sqlite"), KA_OK);
      EXPECT_EQ(FunctionsThatDidNotFail(), std::vector<std::string>{});
      KA_STATUS status = KA_OK;
      const std::vector<std::string> lines = Problems(&status);
      EXPECT_EQ(status, KA_E_STORAGE);
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_NE(lines[0].find(reason), std::string::npos) << lines[0];
    }
    Close();
    EXPECT_TRUE(FileBytes(db_) == bytes) << "the file was changed";
    EXPECT_EQ(KeelTest_Reset(("sqlite:" + db_).c_str()), KA_E_STORAGE);
  }
  std::ofstream(db_, std::ios::binary | std::ios::trunc) << newer;
  ASSERT_EQ(Sql("PRAGMA user_version = 2"), SQLITE_OK);
  ExpectUserDataIntact();
}

TEST_F(KeelBadState, AFolderThatCannotBeWrittenFailsEveryCall) {
  WriteUserData();
  const pid_t child = Spawn([&] {
    // Root writes through permission bits: run as an ordinary user instead.
    chmod(db_.c_str(), 0444);
    chmod(folder_.path().c_str(), 0555);
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 2;
    setenv("KEELAPI_DB", db_.c_str(), 1);
    if (KeelTest_Reset("sqlite") != KA_OK) return 3;
    return FunctionsThatDidNotFail().empty() ? 0 : 1;
  });
  EXPECT_EQ(WaitFor(child), 0);
  chmod(folder_.path().c_str(), 0700);
  chmod(db_.c_str(), 0600);
  ExpectUserDataIntact();
}

TEST_F(KeelBadState, AVanishedFolderFailsWritesInsteadOfLosingThem) {
  Open();
  uint32_t card = NewCard("a.example.com", 999);
  ASSERT_EQ(KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 103, "before", -1), KA_OK);
  std::filesystem::remove_all(folder_.path());
  EXPECT_EQ(KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 103, "after", -1), KA_E_STORAGE);
  uint32_t other = 0;
  EXPECT_EQ(KA_Id_CreateCard(&identity_, "b.example.com", 999, &other), KA_E_STORAGE);
  EXPECT_EQ(KA_Card_Delete(&card), KA_E_STORAGE);
  EXPECT_EQ(KA_Card_Release(&card), KA_E_STORAGE) << "the new card cannot be published";
  EXPECT_EQ(KA_Id_Release(&identity_), KA_OK) << "handles still work";
  EXPECT_EQ(KA_Free(&context_), KA_OK);
}

TEST_F(KeelBadState, AFullDiskFailsTheWriteAndKeepsWhatWasThere) {
  WriteUserData();
  const pid_t child = Spawn([&] {
    // Files may not grow past 64 KiB: the write-ahead log cannot take more.
    signal(SIGXFSZ, SIG_IGN);
    uint32_t context = 0, identity = 0, card = 0, other = 0;
    if (!OpenStoreAt(db_, &context, &identity) ||
        KA_Id_GetCard(&identity, "kept.example.com", 999, 1, &card) != KA_OK) {
      return 3;
    }
    const rlimit limit{64 * 1024, 64 * 1024};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 4;
    const std::string large(512 * 1024, 'L');
    if (KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 105, large.c_str(), -1) != KA_E_STORAGE) return 5;
    const std::string domain(300000, 'd');
    if (KA_Id_CreateCard(&identity, domain.c_str(), 999, &other) != KA_E_STORAGE) return 6;
    return ReadValue(KA_Card_GetProperty, card, 103) == std::string("kept", 5) ? 0 : 7;
  });
  EXPECT_EQ(WaitFor(child), 0);
  ExpectUserDataIntact();
}

}  // namespace
}  // namespace keeltest
