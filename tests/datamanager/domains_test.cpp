// Domains: the de-duplicated list of the domains of one profile kind, its
// count, its capacity rule, and the export's choice between the two.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "DataManager.h"
#include "support/DataManagerTest.h"
#include "support/ProfileCards.h"

namespace dm::test {
namespace {

using Domains = DataManagerTest;

void SeedDomains(const std::vector<std::string>& names, int32_t category = kWebCategory) {
  for (const std::string& name : names) ASSERT_GT(KeelTest_SeedCard(name.c_str(), category), 0);
}

// The domains GetDomain returns for the web kind, with an array of `capacity`.
std::vector<std::string> ListedDomains(DWORD capacity, BOOL* result = nullptr) {
  std::vector<KS_DOMAIN> domains(capacity);
  DWORD count = 0;
  const BOOL bRet = ::GetDomain(KS_PROFILE_WEB, domains.data(), capacity, &count);
  if (result != nullptr) *result = bRet;
  std::vector<std::string> names;
  for (DWORD i = 0; i < count; ++i) names.push_back(Utf8(domains[i].Domain));
  return names;
}

std::vector<std::string> DeletedDomains(const LogCapture& log) {
  std::vector<std::string> names;
  const std::string prefix = "Delete Domain = ";
  for (const std::string& text : log.Texts()) {
    if (text.rfind(prefix, 0) == 0) names.push_back(text.substr(prefix.size()));
  }
  return names;
}

TEST_P(Domains, TheCountingCallWritesItsLinesInOrder) {
  SeedDomains({"a.com", "b.com", "a.com"});
  DWORD count = 0;
  EXPECT_EQ(::GetDomain(KS_PROFILE_WEB, nullptr, 0, &count), 1);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(FunctionOrder(log()),
            "GetDomain > DataManagerUtils::GetDomainCount > DataManagerUtils::GetDomainAllCount > "
            "DataManagerUtils::GetDomainCount > "
            "DataManagerUtils::GetDomainAll > DataManagerUtils::GetDomainCount > GetDomain");
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::GetDomainCount"),
            "Entering GetDomainCount() | Get Domain All | Delete Domain = a.com | "
            "Exiting GetDomainCount() With bRet = 1; Count = 2");
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::GetDomainAllCount"),
            "Entering GetDomainAllCount() | Get Domain All Count | Get Domain All Count "
            "Successfully | Exiting GetDomainAllCount() With bRet = 1; Count = 3");
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::GetDomainAll"),
            "Entering GetDomainAll() | Get Domain All | Get Domain All Successfully | "
            "Exiting GetDomainAll() With bRet = 1; Count = 3");
  ExpectEachCardReleasedBeforeTheNextRequest();
}

// The removal of duplicates, against the pass it must be equivalent to:
// each entry compared with every later one.
TEST_P(Domains, DuplicatesAreDeletedInTheOrderOfThePairwisePass) {
  struct Case {
    const char* name;
    std::vector<std::string> store;
  };
  std::vector<std::string> mixed;
  for (int i = 0; i < 60; ++i) mixed.push_back("d" + std::to_string((i * 7 + i / 5) % 11));
  const std::vector<Case> cases = {
      {"later duplicates out of order", {"a", "b", "b", "a"}},
      {"three of one name", {"x", "y", "x", "x", "y"}},
      {"no duplicates", {"p", "q", "r"}},
      {"letter case makes two domains", {"Example.com", "example.com", "EXAMPLE.com"}},
      {"many, interleaved", mixed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FreshStore();
    SeedDomains(c.store);
    std::vector<std::string> entries = c.store, expectedDeleted, expectedKept;
    for (size_t i = 0; i < entries.size(); ++i) {
      for (size_t j = i + 1; j < entries.size(); ++j) {
        if (!entries[i].empty() && entries[i] == entries[j]) {
          expectedDeleted.push_back(entries[j]);
          entries[j].clear();
        }
      }
      if (!entries[i].empty()) expectedKept.push_back(entries[i]);
    }
    log().Clear();

    DWORD count = 0;
    EXPECT_EQ(::GetDomain(KS_PROFILE_WEB, nullptr, 0, &count), 1);
    EXPECT_EQ(count, expectedKept.size());
    EXPECT_EQ(DeletedDomains(log()), expectedDeleted);
    log().Clear();
    EXPECT_EQ(ListedDomains(count), expectedKept);
    EXPECT_EQ(DeletedDomains(log()), expectedDeleted);
  }
}

TEST_P(Domains, TheArrayIsFilledWithFirstOccurrencesUpToItsCapacity) {
  SeedDomains({"a.com", "b.com", "a.com"});
  for (DWORD capacity : {1u, 2u, 3u}) {
    SCOPED_TRACE(capacity);
    log().Clear();
    BOOL result = 0;
    const Names all = {"a.com", "b.com"};
    EXPECT_EQ(ListedDomains(capacity, &result), Names(all.begin(), all.begin() + std::min<DWORD>(capacity, 2)));
    EXPECT_EQ(result, 1);
    // Full after the last entry, whether or not a domain was left over.
    EXPECT_EQ(log().Count("Input Buffer Is Not Enough. So Break Here"), capacity < 3 ? 1u : 0u);
  }
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::GetDomain"),
            "Entering GetDomain() | Input Count Is 3 | Get Domain All | Delete Domain = a.com | "
            "Domain = a.com | Domain = b.com | Exiting GetDomain() With bRet = 1; Count = 2");
}

TEST_P(Domains, AnEntryIsWrittenWithItsTerminatorAndNothingBeyond) {
  SeedDomains({"ab", "c"});
  KS_DOMAIN domains[3];
  std::memset(domains, 0x41, sizeof domains);
  DWORD count = 0;
  ASSERT_EQ(::GetDomain(KS_PROFILE_WEB, domains, 2, &count), 1);
  EXPECT_EQ(domains[0].Domain[0], u'a');
  EXPECT_EQ(domains[0].Domain[2], 0);
  EXPECT_EQ(domains[0].Domain[3], 0x4141);  // behind the terminator: the caller's
  EXPECT_EQ(domains[1].Domain[1], 0);
  EXPECT_EQ(domains[1].Domain[2], 0x4141);
  for (WCHAR unit : domains[2].Domain) ASSERT_EQ(unit, 0x4141);  // past the capacity
}

TEST_P(Domains, KindsAreListedApartAndNoCardsOrAnUnknownKindGiveNothing) {
  for (KS_PROFILE_TYPE kind : {KS_PROFILE_WEB, KS_PROFILE_APP, 3u}) {
    SCOPED_TRACE(kind);
    KS_DOMAIN domain[1] = {};
    DWORD count = 99;
    EXPECT_EQ(::GetDomain(kind, nullptr, 0, &count), 0);
    EXPECT_EQ(count, 0u);
    count = 99;
    EXPECT_EQ(::GetDomain(kind, domain, 1, &count), 0);
    EXPECT_EQ(count, 0u);
  }
  SeedDomains({"app.example"}, kAppCategory);
  SeedDomains({"web.example"}, kWebCategory);
  KS_DOMAIN domain[1] = {};
  DWORD count = 0;
  ASSERT_EQ(::GetDomain(KS_PROFILE_APP, domain, 1, &count), 1);
  EXPECT_EQ(Utf8(domain[0].Domain), "app.example");
  EXPECT_EQ(ListedDomains(1), (Names{"web.example"}));
}

// The store's values that cannot become an entry: a refused read, text that
// is not UTF-8, and text too long for the record.
TEST_P(Domains, UnreadableDomainsAreLeftOut) {
  SeedDomains({"first.example", "bad.example", "long.example", "huge.example", "last.example"});
  const std::vector<int64_t> cards = Cards();
  SetCardText(cards[1], 1, "\xC3\x28");             // not UTF-8
  SetCardText(cards[2], 1, std::string(256, 'x'));  // fits the read, not the record
  SetCardText(cards[3], 1, std::string(600, 'y'));  // too long for the read
  EXPECT_EQ(ListedDomains(5), (Names{"first.example", "last.example"}));
  EXPECT_EQ(log().Count("KA_Card_GetProperty Failed With Error = -5"), 1u);
  EXPECT_EQ(log().Count("Exiting GetDomainAllCount() With bRet = 1; Count = 5"), 1u);
}

TEST_P(Domains, AFailedReadLeavesTheCardOutAndAFailedReleaseEndsTheWalk) {
  SeedDomains({"a.com", "b.com", "c.com"});
  struct Case {
    KeelFunction function;
    int nth;
    const char* line;  // the count pass's or the list pass's result
  };
  // The count pass queries each card's size (calls 1 to 3); the list pass
  // queries and reads each card (4 to 9): call 5 is the first card's read.
  // A refused first release stops the count pass after one card.
  for (const Case& c : {Case{KF_Card_GetProperty, 5, "Exiting GetDomainAll() With bRet = 1; Count = 3"},
                        Case{KF_Card_Release, 1, "Exiting GetDomainAllCount() With bRet = 1; Count = 1"}}) {
    SCOPED_TRACE(c.line);
    StoreScript script;
    script.Answer(c.function, KA_E_STORAGE).OnCall(c.nth);
    log().Clear();
    DWORD count = 0;
    EXPECT_EQ(::GetDomain(KS_PROFILE_WEB, nullptr, 0, &count), 1);
    EXPECT_EQ(count, c.function == KF_Card_Release ? 1u : 2u);
    EXPECT_EQ(log().Count(c.line), 1u);
    EXPECT_EQ(log().Count(std::string(KeelTest_FunctionName(c.function)) + " Failed With Error = -7"), 1u);
  }
}

TEST_P(Domains, TheExportChoosesBetweenCountAndFillAndNeedsACount) {
  SeedDomains({"a.com"});
  KS_DOMAIN domain[1];
  std::memset(domain, 0x41, sizeof domain);
  DWORD count = 0;
  struct Case {
    const char* name;
    KS_DOMAIN* array;
    DWORD capacity;
    DWORD* count;
    BOOL result;
    const char* worker;
    bool touchesStore;
  };
  const std::vector<Case> cases = {
      {"null count, capacity 0", nullptr, 0, nullptr, 0, "Entering GetDomainCount()", false},
      {"null count, capacity 1", domain, 1, nullptr, 0, "Entering GetDomain()", false},
      {"null array, capacity 0: count", nullptr, 0, &count, 1, "Entering GetDomainCount()", true},
      {"array, capacity 0: fill, refused", domain, 0, &count, 0, "Entering GetDomain()", false},
      {"null array, capacity 1: fill, refused", nullptr, 1, &count, 0, "Entering GetDomain()",
       false},
      {"array, capacity 1: fill", domain, 1, &count, 1, "Entering GetDomain()", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log().Clear();
    KeelTest_TraceClear();
    EXPECT_EQ(::GetDomain(KS_PROFILE_WEB, c.array, c.capacity, c.count), c.result);
    ASSERT_GE(log().lines().size(), 2u);
    EXPECT_EQ(log().lines()[1].text, c.worker);
    EXPECT_EQ(KeelTest_TraceSize() > 0, c.touchesStore);
    if (c.result == 0) {
      EXPECT_EQ(domain[0].Domain[0], 0x4141) << "a refusal writes nothing";
    }
  }
}

DM_IN_MEMORY(Domains);

}  // namespace
}  // namespace dm::test
