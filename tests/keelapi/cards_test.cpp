// Cards, macros and shortcuts: creating them, walking them in creation
// order under each filter (also over many cards and under several threads),
// going on from released and deleted objects, finding cards by reference
// number.  Results only, never time.
#include <algorithm>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "store_fixture.h"

namespace keeltest {
namespace {

class KeelCards : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    Open();
  }
};

TEST_F(KeelCards, WalksFollowCreationOrderUnderEachFilter) {
  // Created in this order: a b c d e.
  const int64_t a = ObjectOf(NewCard("a.com", 1));
  const int64_t b = ObjectOf(NewCard("b.com", 1));
  const int64_t c = ObjectOf(NewCard("a.com", 2));
  const int64_t d = ObjectOf(NewCard("a.com", 1));
  const int64_t e = ObjectOf(NewCard("A.com", 1));
  struct Case {
    const char* domain;
    int32_t category;
    int16_t first_mode;
    std::vector<int64_t> expected;
  } cases[] = {
      {nullptr, 1, 1, {a, b, d, e}},
      {nullptr, 2, 1, {c}},
      {nullptr, 9, 1, {}},
      {"a.com", 1, 1, {a, d}},
      {"A.com", 1, 1, {e}},
      {"a.com", 2, 1, {c}},
      {"a.co", 1, 1, {}},
      // Mode 3 starts at the first card of the domain and the category,
      // never at one of another category; mode 2 then goes on under both.
      {"a.com", 1, 3, {a, d}},
      {"a.com", 2, 3, {c}},
      {"b.com", 7, 3, {}},
      {"nowhere", 1, 3, {}},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(WalkCards(k.domain, k.category, k.first_mode), k.expected)
        << (k.domain ? k.domain : "(any domain)") << " category " << k.category << " mode "
        << k.first_mode;
  }
}

TEST_F(KeelCards, EveryWalkStepOpensAHandleAndAWalkGoesOnFromAReleasedOrDeletedCard) {
  const int64_t first = ObjectOf(NewCard("a.com", 1));
  const int64_t second = ObjectOf(NewCard("a.com", 1));
  const int64_t third = ObjectOf(NewCard("a.com", 1));
  uint32_t card = 0, again = 0;
  ASSERT_EQ(KA_Id_GetCard(&identity_, nullptr, 1, 1, &card), KA_OK);
  const uint32_t open = KeelTest_OpenHandles();
  ASSERT_EQ(KA_Id_GetCard(&identity_, nullptr, 1, 1, &again), KA_OK);
  EXPECT_NE(card, again);
  EXPECT_EQ(ObjectOf(again), first);
  EXPECT_EQ(KeelTest_OpenHandles(), open + 1);
  ASSERT_EQ(KA_Card_Release(&card), KA_OK);
  ASSERT_EQ(KA_Id_GetCard(&identity_, nullptr, 1, 2, &card), KA_OK);
  ASSERT_EQ(ObjectOf(card), second);
  ASSERT_EQ(KA_Card_Delete(&card), KA_OK);
  ASSERT_EQ(KA_Id_GetCard(&identity_, nullptr, 1, 2, &card), KA_OK);
  EXPECT_EQ(ObjectOf(card), third);
  EXPECT_EQ(KA_Id_GetCard(&identity_, nullptr, 1, 2, &card), KA_E_END);
  EXPECT_EQ(ObjectOf(card), third) << "an exhausted walk leaves the variable";
  uint32_t none = 777;
  EXPECT_EQ(KA_Id_GetCard(&identity_, "b.com", 1, 1, &none), KA_E_END);
  EXPECT_EQ(none, 777u);
  EXPECT_EQ(WalkCards(nullptr, 1), (std::vector<int64_t>{first, third}));
}

TEST_F(KeelCards, ACardKeepsItsDomainAndAReferenceNumberOfItsOwnThatFindsIt) {
  std::set<int64_t> refs;
  std::vector<int64_t> cards;
  for (int i = 0; i < 64; ++i) {
    cards.push_back(ObjectOf(NewCard("example.com", i % 3)));
    refs.insert(KeelTest_CardRefNum(cards.back()));
  }
  EXPECT_EQ(refs.size(), cards.size());
  EXPECT_GT(*refs.begin(), 0);
  uint32_t found = 0;
  for (int64_t card : cards) {
    ASSERT_EQ(KA_Id_GetCardByRefNum(&identity_, KeelTest_CardRefNum(card), &found), KA_OK);
    EXPECT_EQ(ObjectOf(found), card);
  }
  EXPECT_EQ(ReadValue(KA_Card_GetProperty, found, 1), std::string("example.com", 12));
  int32_t attribute = 0;
  EXPECT_EQ(KeelTest_GetProperty(ObjectOf(found), 1, nullptr, 0, nullptr, &attribute), KA_OK);
  EXPECT_EQ(attribute, KA_ATTR_PLAIN) << "the domain is a plain text";
  int64_t unused = 1;
  while (refs.count(unused) != 0) ++unused;
  found = 555;
  EXPECT_EQ(KA_Id_GetCardByRefNum(&identity_, unused, &found), KA_E_END);
  EXPECT_EQ(found, 555u);
}

// A deleted card is gone at once; another handle on it answers
// KA_E_BAD_HANDLE but is still open until released.
TEST_F(KeelCards, DeleteRemovesTheCardAndReleaseOnlyTheHandle) {
  uint32_t card = NewCard("a.com", 1);
  uint32_t other = 0, kept = NewCard("b.com", 1);
  ASSERT_EQ(KA_Id_GetCard(&identity_, "a.com", 1, 3, &other), KA_OK);
  const int64_t ref = KeelTest_CardRefNum(ObjectOf(card));
  const uint32_t open = KeelTest_OpenHandles();
  ASSERT_EQ(KA_Card_Delete(&card), KA_OK);
  EXPECT_EQ(KeelTest_OpenHandles(), open - 1);
  EXPECT_EQ(CountOf(KEEL_CARD), 1u);
  for (uint32_t* gone : {&card, &other}) {
    EXPECT_EQ(KA_Card_GetProperty(gone, 1, 0, nullptr, nullptr), KA_E_BAD_HANDLE);
    EXPECT_EQ(KA_Card_SetProperty(gone, KA_ATTR_PLAIN, 2, "x", -1), KA_E_BAD_HANDLE);
    EXPECT_EQ(KA_Card_Delete(gone), KA_E_BAD_HANDLE);
  }
  EXPECT_EQ(KA_Card_Release(&card), KA_E_BAD_HANDLE);
  EXPECT_EQ(KA_Card_Release(&other), KA_OK);
  EXPECT_EQ(KeelTest_OpenHandles(), open - 2);
  uint32_t found = 0;
  EXPECT_EQ(KA_Id_GetCardByRefNum(&identity_, ref, &found), KA_E_END);
  EXPECT_EQ(KA_Card_Release(&kept), KA_OK);
  EXPECT_EQ(KA_Card_Release(&kept), KA_E_BAD_HANDLE);
  EXPECT_EQ(CountOf(KEEL_CARD), 1u) << "a release leaves the card";
  // The handle that made a card is released even when another deleted it.
  uint32_t made = NewCard("c.com", 1), walker = 0;
  ASSERT_EQ(KA_Id_GetCard(&identity_, "c.com", 1, 3, &walker), KA_OK);
  ASSERT_EQ(KA_Card_Delete(&walker), KA_OK);
  EXPECT_EQ(KA_Card_Release(&made), KA_OK);
}

TEST_F(KeelCards, MacrosAreWalkedByFingerAndShortcutsUnderUSOnly) {
  uint32_t made = 0, walk = 0;
  std::vector<int64_t> macros, shortcuts;
  for (const uint32_t finger : {1, 2, 1}) {
    ASSERT_EQ(KA_Id_CreateMacro(&identity_, finger, &made), KA_OK);
    macros.push_back(ObjectOf(made));
    ASSERT_EQ(KA_CreateShortcut(&context_, &made), KA_OK);
    shortcuts.push_back(ObjectOf(made));
  }
  ASSERT_EQ(KA_Id_GetMacro(&identity_, 1, 1, &walk), KA_OK);
  EXPECT_EQ(ObjectOf(walk), macros[0]);
  ASSERT_EQ(KA_Macro_Delete(&walk), KA_OK);
  ASSERT_EQ(KA_Id_GetMacro(&identity_, 1, 2, &walk), KA_OK);
  EXPECT_EQ(ObjectOf(walk), macros[2]);
  EXPECT_EQ(KA_Id_GetMacro(&identity_, 1, 2, &walk), KA_E_END);
  EXPECT_EQ(KA_Id_GetMacro(&identity_, 3, 1, &walk), KA_E_END);
  EXPECT_EQ(CountOf(KEEL_MACRO), 2u);

  ASSERT_EQ(KA_GetShortcut(&context_, "US", 1, &walk), KA_OK);
  EXPECT_EQ(ObjectOf(walk), shortcuts[0]);
  ASSERT_EQ(KA_Shortcut_Delete(&walk), KA_OK);
  ASSERT_EQ(KA_GetShortcut(&context_, "US", 2, &walk), KA_OK);
  EXPECT_EQ(ObjectOf(walk), shortcuts[1]);
  ASSERT_EQ(KA_GetShortcut(&context_, "US", 2, &walk), KA_OK);
  EXPECT_EQ(ObjectOf(walk), shortcuts[2]);
  EXPECT_EQ(KA_GetShortcut(&context_, "US", 2, &walk), KA_E_END);
  for (const char* region : {"us", "EU", ""}) {
    uint32_t none = 0;
    EXPECT_EQ(KA_GetShortcut(&context_, region, 1, &none), KA_E_END) << region;
  }
  EXPECT_EQ(CountOf(KEEL_SHORTCUT), 2u);
}

TEST_F(KeelCards, ThreadsCreatingAndWalkingCardsSeeConsistentWalks) {
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

TEST_F(KeelCards, WalkOverTwentyThousandCardsVisitsEachOnceInOrder) {
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
