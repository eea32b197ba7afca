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
  // Starts again as a new process would, on the store's own file, which
  // KEELAPI_DB names.
  void StartOnStoreFile() {
    store_file_.emplace("KEELAPI_DB", db_);
    ASSERT_EQ(KeelTest_Reset("sqlite"), KA_OK) << "the store's own file opens on first need";
  }

  // Writes a card with a user name, the state whose survival is checked.
  void WriteUserData() {
    Open();
    uint32_t card = NewCard("kept.example.com", 999);
    ASSERT_EQ(KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 103, "kept", -1), KA_OK);
    ASSERT_EQ(KA_Card_Release(&card), KA_OK);
    Close();
  }

  // Whether the user's card is still there, whole, and the store sound.
  void ExpectUserDataIntact() {
    ASSERT_EQ(Reopen(), KA_OK);
    KA_STATUS status = KA_E_STORAGE;
    EXPECT_TRUE(Problems(&status).empty());
    EXPECT_EQ(status, KA_OK);
    Open();
    uint32_t card = 0;
    ASSERT_EQ(KA_Id_GetCard(&identity_, "kept.example.com", 999, 1, &card), KA_OK);
    EXPECT_EQ(ReadValue(KA_Card_GetProperty, card, 103), std::string("kept", 5));
  }

  std::optional<testenv::ScopedEnv> store_file_;
};

// Calls every store function as a client starting up would: KA_Init first,
// then the others with what it got.  Answers the names of the functions
// that did not answer an error status (KA_Execute needs no store).
std::vector<std::string> FunctionsThatDidNotFail() {
  std::vector<std::string> passed;
  auto expect_failure = [&](const char* name, KA_STATUS status) {
    if (status >= 0) passed.push_back(name);
  };
  const uint8_t zeros[30] = {};
  uint32_t context = 0, app = 0, identity = 0, card = 0, macro = 0, shortcut = 0, size = 0;
  char buffer[64] = {};
  expect_failure("KA_Init", KA_Init(zeros, "bad-state", 0, &context));
  expect_failure("KA_GetApp", KA_GetApp(&context, 0, &app));
  expect_failure("KA_GetIdentity", KA_GetIdentity(&context, 0, &identity));
  expect_failure("KA_GetProperty", KA_GetProperty(&context, 108, 4, buffer, &size));
  expect_failure("KA_SetProperty", KA_SetProperty(&context, 108, buffer, 4));
  expect_failure("KA_CreateShortcut", KA_CreateShortcut(&context, &shortcut));
  expect_failure("KA_GetShortcut", KA_GetShortcut(&context, "US", 1, &shortcut));
  expect_failure("KA_Id_GetProperty", KA_Id_GetProperty(&identity, 1, 64, buffer, &size));
  expect_failure("KA_Id_SetProperty", KA_Id_SetProperty(&identity, -20, 1, "x", -1));
  expect_failure("KA_Id_GetCard", KA_Id_GetCard(&identity, nullptr, 999, 1, &card));
  expect_failure("KA_Id_GetCardByRefNum", KA_Id_GetCardByRefNum(&identity, 1, &card));
  expect_failure("KA_Id_CreateCard", KA_Id_CreateCard(&identity, "a.com", 999, &card));
  expect_failure("KA_Id_GetMacro", KA_Id_GetMacro(&identity, 1, 1, &macro));
  expect_failure("KA_Id_CreateMacro", KA_Id_CreateMacro(&identity, 1, &macro));
  expect_failure("KA_App_GetProperty", KA_App_GetProperty(&app, 1, 64, buffer, &size));
  expect_failure("KA_App_SetProperty", KA_App_SetProperty(&app, 2, "x", -1));
  expect_failure("KA_Shortcut_GetProperty", KA_Shortcut_GetProperty(&shortcut, 1, 64, buffer,
                                                                    &size));
  expect_failure("KA_Shortcut_SetProperty", KA_Shortcut_SetProperty(&shortcut, 1, "x", -1));
  expect_failure("KA_Card_GetProperty", KA_Card_GetProperty(&card, 1, 64, buffer, &size));
  expect_failure("KA_Card_SetProperty", KA_Card_SetProperty(&card, -20, 1, "x", -1));
  expect_failure("KA_Macro_GetProperty", KA_Macro_GetProperty(&macro, 1, 64, buffer, &size));
  expect_failure("KA_Macro_SetProperty", KA_Macro_SetProperty(&macro, 1, "x", -1));
  expect_failure("KA_Shortcut_Delete", KA_Shortcut_Delete(&shortcut));
  expect_failure("KA_Shortcut_Release", KA_Shortcut_Release(&shortcut));
  expect_failure("KA_Card_Delete", KA_Card_Delete(&card));
  expect_failure("KA_Card_Release", KA_Card_Release(&card));
  expect_failure("KA_Macro_Delete", KA_Macro_Delete(&macro));
  expect_failure("KA_Macro_Release", KA_Macro_Release(&macro));
  expect_failure("KA_App_Release", KA_App_Release(&app));
  expect_failure("KA_Id_Release", KA_Id_Release(&identity));
  expect_failure("KA_Free", KA_Free(&context));
  int64_t count = 0;
  expect_failure("KeelAdmin_CountObjects", KeelAdmin_CountObjects(KEEL_CARD, &count));
  expect_failure("KeelTest_SeedCard", static_cast<KA_STATUS>(KeelTest_SeedCard("a.com", 1)));
  return passed;
}

// KA_Init's answer in particular, and that the check says why.
void ExpectStoreRefused(const char* reason) {
  const uint8_t zeros[30] = {};
  uint32_t context = 0;
  EXPECT_EQ(KA_Init(zeros, "bad-state", 0, &context), KA_E_STORAGE);
  KA_STATUS status = KA_OK;
  const std::vector<std::string> lines = Problems(&status);
  EXPECT_EQ(status, KA_E_STORAGE);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(reason), std::string::npos) << lines[0];
}

TEST_F(KeelBadState, AFileThatIsNotADatabaseIsRefusedAndLeftAsItIs) {
  Close();
  std::string garbage(20000, '\0');
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 7919 % 251);
  std::ofstream(db_, std::ios::binary | std::ios::trunc) << garbage;
  StartOnStoreFile();
  EXPECT_EQ(FunctionsThatDidNotFail(), std::vector<std::string>{});
  ExpectStoreRefused("not a readable store database");
  EXPECT_TRUE(FileBytes(db_) == garbage) << "the file was changed";
  EXPECT_EQ(KeelTest_Reset(("sqlite:" + db_).c_str()), KA_E_STORAGE);
}

TEST_F(KeelBadState, ADatabaseOfANewerBuildIsRefusedAndLeftAsItIs) {
  WriteUserData();
  ASSERT_EQ(Sql("PRAGMA user_version = 3"), SQLITE_OK);
  const std::string before = FileBytes(db_);
  StartOnStoreFile();
  EXPECT_EQ(FunctionsThatDidNotFail(), std::vector<std::string>{});
  ExpectStoreRefused("newer build");
  Close();
  EXPECT_TRUE(FileBytes(db_) == before) << "the file was changed";
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
    // Files may not grow past their size now: the write-ahead log cannot
    // take a large value.
    signal(SIGXFSZ, SIG_IGN);
    uint32_t context = 0, identity = 0, card = 0;
    if (!OpenStoreAt(db_, &context, &identity) ||
        KA_Id_GetCard(&identity, "kept.example.com", 999, 1, &card) != KA_OK) {
      return 3;
    }
    const rlimit limit{64 * 1024, 64 * 1024};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 4;
    const std::string large(512 * 1024, 'L');
    if (KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 105, large.c_str(), -1) != KA_E_STORAGE) return 5;
    uint32_t other = 0;
    if (KA_Id_CreateCard(&identity, std::string(300000, 'd').c_str(), 999, &other) !=
        KA_E_STORAGE) {
      return 6;
    }
    char buffer[16] = {};
    uint32_t size = 0;
    if (KA_Card_GetProperty(&card, 103, sizeof buffer, buffer, &size) != KA_OK ||
        std::string(buffer) != "kept") {
      return 7;
    }
    return 0;
  });
  EXPECT_EQ(WaitFor(child), 0);
  ExpectUserDataIntact();
  uint32_t card = 0;
  ASSERT_EQ(KA_Id_GetCard(&identity_, "kept.example.com", 999, 1, &card), KA_OK);
  uint32_t size = 0;
  EXPECT_EQ(KA_Card_GetProperty(&card, 105, 0, nullptr, &size), KA_E_NOT_STORED);
  EXPECT_EQ(WalkCards(nullptr, 999).size(), 1u);
}

}  // namespace
}  // namespace keeltest
