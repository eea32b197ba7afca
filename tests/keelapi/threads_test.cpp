// The store under several threads, and a walk over many cards: both check
// results only, never time.
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "store_fixture.h"

namespace keeltest {
namespace {

using KeelThreads = StoreTest;

TEST_F(KeelThreads, ThreadsCreatingAndWalkingCardsSeeConsistentWalks) {
  Open();
  constexpr int kThreads = 4;
  constexpr int kCardsEach = 150;
  std::vector<std::thread> threads;
  std::vector<std::string> failures(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t, &failures] {
      uint32_t identity = 0;
      if (KA_GetIdentity(&context_, 0, &identity) != KA_OK) {
        failures[t] = "no identity";
        return;
      }
      const std::string domain = "thread" + std::to_string(t) + ".com";
      std::vector<int64_t> made;
      for (int i = 0; i < kCardsEach; ++i) {
        uint32_t card = 0;
        if (KA_Id_CreateCard(&identity, domain.c_str(), 1, &card) != KA_OK ||
            KA_Card_SetProperty(&card, KA_ATTR_SECRET, 2, &i, sizeof i) != KA_OK) {
          failures[t] = "create failed";
          return;
        }
        made.push_back(KeelTest_ObjectOfHandle(card));
        KA_Card_Release(&card);
        // Walk this thread's domain while the others keep creating.
        if (i % 50 == 49) {
          std::vector<int64_t> walked;
          uint32_t walk = 0;
          KA_STATUS status = KA_Id_GetCard(&identity, domain.c_str(), 1, 1, &walk);
          while (status == KA_OK) {
            walked.push_back(KeelTest_ObjectOfHandle(walk));
            KA_Card_Release(&walk);
            status = KA_Id_GetCard(&identity, domain.c_str(), 1, 2, &walk);
          }
          if (status != KA_E_END || walked != made)
            failures[t] = "walk differs at " + std::to_string(i);
        }
      }
      KA_Id_Release(&identity);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], "") << "thread " << t;

  std::vector<int64_t> cards(kThreads * kCardsEach);
  ASSERT_EQ(KeelTest_ListObjects(KEEL_CARD, cards.data(), cards.size()), cards.size());
  std::set<int64_t> refs;
  for (int64_t card : cards) refs.insert(KeelTest_CardRefNum(card));
  EXPECT_EQ(refs.size(), cards.size());
  EXPECT_EQ(KeelTest_OpenHandles(), 2u) << "every thread released what it opened";
}

TEST_F(KeelThreads, WalkOverTwentyThousandCardsVisitsEachOnceInOrder) {
  Open();
  constexpr int kCards = 20000;
  for (int i = 0; i < kCards; ++i) {
    ASSERT_GT(KeelTest_SeedCard(i % 2 == 0 ? "even.com" : "odd.com", 1), 0);
  }
  KeelTest_SetTraceLimit(0);
  const std::vector<int64_t> all = WalkCards(nullptr, 1);
  ASSERT_EQ(all.size(), static_cast<size_t>(kCards));
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
  EXPECT_EQ(WalkCards("odd.com", 1).size(), static_cast<size_t>(kCards / 2));
}

}  // namespace
}  // namespace keeltest
