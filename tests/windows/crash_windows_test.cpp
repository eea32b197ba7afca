// A process ended at any instant (TerminateProcess, as a crash or the task
// manager ends it) neither damages the store nor loses a card whose release
// succeeded: a child writes cards (a user name and a sealed password each)
// and reports each released one; after each of several random ends, the
// store passes its check and holds every reported card whole.
#include <random>
#include <string>
#include <thread>

#include "support/disk_fixture.h"
#include "common/child_process.h"

namespace keeltest {
namespace {

using KeelCrashWindows = DiskTest;

constexpr int32_t kCategory = 7;

std::string Domain(int n) { return "site-" + std::to_string(n) + ".example"; }
std::string User(int n) { return "user-" + std::to_string(n); }
std::string Password(int n) { return "password-" + std::to_string(n); }

// The child: writes cards until it is ended, numbering them from the
// number of cards already there.
TEST_F(KeelCrashWindows, RunsOnlyAsTheChildOfTheTestBelow) {
  const std::optional<std::string> db = testchild::ChildDatabase();
  if (!db) GTEST_SKIP() << "the writer of the crash test";
  ASSERT_EQ(KeelTest_Reset(("sqlite:" + *db).c_str()), KA_OK);
  Open();
  int64_t existing = 0;
  ASSERT_EQ(KeelAdmin_CountObjects(KEEL_CARD, &existing), KA_OK);
  for (int n = static_cast<int>(existing);; ++n) {
    uint32_t card = NewCard(Domain(n).c_str(), kCategory);
    ASSERT_EQ(KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 103, User(n).c_str(), -1), KA_OK);
    ASSERT_EQ(KA_Card_SetProperty(&card, KA_ATTR_SECRET, 104, Password(n).c_str(), -1), KA_OK);
    ASSERT_EQ(KA_Card_Release(&card), KA_OK);
    testchild::Report(std::to_string(n));
  }
}

TEST_F(KeelCrashWindows, TerminateProcessLosesNoAcknowledgedCard) {
  Close();
  std::mt19937 random(std::random_device{}());
  int acknowledged = 0;
  for (int run = 0; run < 6; ++run) {
    SCOPED_TRACE(run);
    testchild::Child child("KeelCrashWindows.RunsOnlyAsTheChildOfTheTestBelow", db_);
    ASSERT_TRUE(child.started());
    // Ended after a few cards, at a moment that falls anywhere in a call.
    const int wanted = acknowledged + 1 + static_cast<int>(random() % 8);
    while (acknowledged < wanted) {
      const std::optional<std::string> report = child.NextReport();
      ASSERT_TRUE(report.has_value()) << "the child ended by itself";
      acknowledged = std::stoi(*report) + 1;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    child.Kill();
    // Reports made before the end.
    while (const auto late = child.NextReport()) acknowledged = std::stoi(*late) + 1;

    ASSERT_EQ(Reopen(), KA_OK);
    KA_STATUS status = KA_E_STORAGE;
    EXPECT_EQ(Problems(&status), std::vector<std::string>{});
    EXPECT_EQ(status, KA_OK);
    Open();
    for (int n = 0; n < acknowledged; ++n) {
      uint32_t card = 0;
      ASSERT_EQ(KA_Id_GetCard(&identity_, Domain(n).c_str(), kCategory, 1, &card), KA_OK) << n;
      EXPECT_EQ(ReadValue(KA_Card_GetProperty, card, 103), User(n) + '\0');
      EXPECT_EQ(ReadValue(KA_Card_GetProperty, card, 104), Password(n) + '\0');
      KA_Card_Release(&card);
    }
    Close();
  }
}

}  // namespace
}  // namespace keeltest
