// Processes on one store under Windows: two write at once, neither fails
// because of the other, and a third reads everything they wrote, secrets
// included: one database, one key file (protected for the user with
// DPAPI), whichever process made them.
#include <string>

#include "support/disk_fixture.h"
#include "common/child_process.h"

namespace keeltest {
namespace {

using KeelProcessesWindows = DiskTest;

constexpr int32_t kCategory = 999;
constexpr int kCardsEach = 25;

std::string Secret(const std::string& domain) { return "secret of " + domain + '\0'; }

// The child: writes its cards, each with a sealed value, then reports.
TEST_F(KeelProcessesWindows, RunsOnlyAsAChildOfTheTestBelow) {
  const std::optional<std::string> db = testchild::ChildDatabase();
  if (!db) GTEST_SKIP() << "a writer of the two-process test";
  ASSERT_EQ(KeelTest_Reset(("sqlite:" + *db).c_str()), KA_OK);
  Open();
  for (int n = 0; n < kCardsEach; ++n) {
    const std::string domain =
        "p" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(n) + ".example";
    uint32_t card = NewCard(domain.c_str(), kCategory);
    ASSERT_EQ(KA_Card_SetProperty(&card, KA_ATTR_SECRET, 104, Secret(domain).c_str(), -1),
              KA_OK);
    ASSERT_EQ(KA_Card_Release(&card), KA_OK);
  }
  testchild::Report("done");
}

TEST_F(KeelProcessesWindows, TwoWritersAtOnceAndAThirdProcessReadsEverything) {
  Close();
  {
    testchild::Child first("KeelProcessesWindows.RunsOnlyAsAChildOfTheTestBelow", db_);
    testchild::Child second("KeelProcessesWindows.RunsOnlyAsAChildOfTheTestBelow", db_);
    ASSERT_TRUE(first.started() && second.started());
    EXPECT_EQ(first.NextReport(), std::optional<std::string>("done"));
    EXPECT_EQ(second.NextReport(), std::optional<std::string>("done"));
    EXPECT_EQ(first.Wait(), 0u);
    EXPECT_EQ(second.Wait(), 0u);
  }
  ASSERT_EQ(Reopen(), KA_OK);
  Open();
  int seen = 0;
  uint32_t card = 0;
  for (KA_STATUS walk = KA_Id_GetCard(&identity_, nullptr, kCategory, 1, &card); walk == KA_OK;
       walk = KA_Id_GetCard(&identity_, nullptr, kCategory, 2, &card)) {
    const std::string domain = ReadValue(KA_Card_GetProperty, card, 1);
    EXPECT_EQ(ReadValue(KA_Card_GetProperty, card, 104), Secret(domain.c_str())) << domain;
    ++seen;
  }
  EXPECT_EQ(seen, 2 * kCardsEach);
}

}  // namespace
}  // namespace keeltest
