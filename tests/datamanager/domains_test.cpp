// Domains: the de-duplicated list of the domains of one profile kind, its
// count and its capacity rule (the export's choice: profiles_read_test.cpp).
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "DataManager.h"
#include "support/DataManagerTest.h"
#include "support/ProfileCards.h"

namespace dm::test {
namespace {

using Domains = DataManagerTest;

void SeedDomains(const Names& names, int32_t category = kWebCategory) {
  for (const std::string& name : names) ASSERT_GT(KeelTest_SeedCard(name.c_str(), category), 0);
}

// The domains GetDomain lists (answering whether any) for the web kind into an
// array of `capacity`, each with its terminator and nothing behind or past it.
Names ListedDomains(DWORD capacity) {
  std::vector<KS_DOMAIN> domains(capacity + 1);
  std::memset(domains.data(), 0x41, domains.size() * sizeof(KS_DOMAIN));
  DWORD count = 0;
  const BOOL bRet = ::GetDomain(KS_PROFILE_WEB, domains.data(), capacity, &count);
  EXPECT_EQ(bRet, count > 0 ? 1 : 0);
  Names names;
  for (DWORD i = 0; i < count; ++i) names.push_back(Utf8(domains[i].Domain));
  for (DWORD i = 0; i <= capacity; ++i) {
    const size_t end = i < count ? names[i].size() + 1 : 0;  // the ASCII names' terminators
    for (size_t u = end; u < 256; ++u) EXPECT_EQ(domains[i].Domain[u], 0x4141) << i << ":" << u;
  }
  return names;
}

// Each kind lists its own domains: none without its cards, nothing for an
// unknown kind.  The count and the list log their passes in order.
TEST_P(Domains, EachKindListsItsOwnAndLogsItsPassesInOrder) {
  SeedDomains({"app.example"}, kAppCategory);
  KS_DOMAIN domain[1] = {};
  DWORD count = 9;
  for (KS_PROFILE_TYPE kind : {KS_PROFILE_WEB, 3u}) {  // no cards of the kind; no such kind
    EXPECT_EQ(::GetDomain(kind, nullptr, 0, &count), 0);
    EXPECT_EQ(::GetDomain(kind, domain, 1, &count), 0);
    EXPECT_EQ(count, 0u);
  }
  ASSERT_EQ(::GetDomain(KS_PROFILE_APP, domain, 1, &count), 1);
  EXPECT_EQ(Utf8(domain[0].Domain), "app.example");
  SeedDomains({"a.com", "b.com", "a.com"});
  log().Clear();
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
  log().Clear();
  EXPECT_EQ(ListedDomains(3), (Names{"a.com", "b.com"}));
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::GetDomain"),
            "Entering GetDomain() | Input Count Is 3 | Get Domain All | Delete Domain = a.com | "
            "Domain = a.com | Domain = b.com | Exiting GetDomain() With bRet = 1; Count = 2");
}

// The removal of duplicates, against the pass it must be equivalent to:
// each entry compared with every later one.  The list is cut at its
// capacity, with the full-array line when it fills up.
TEST_P(Domains, DuplicatesAreDeletedInTheOrderOfThePairwisePass) {
  Names mixed;
  for (int i = 0; i < 60; ++i) mixed.push_back("d" + std::to_string((i * 7 + i / 5) % 11));
  const std::vector<Names> stores = {
      {"a", "b", "b", "a"},  // later duplicates out of order
      {"x", "y", "x", "x", "y"},
      {"Example.com", "example.com", "EXAMPLE.com"},  // letter case makes two domains
      mixed,
  };
  for (const Names& store : stores) {
    SCOPED_TRACE(store.size());
    FreshStore();
    SeedDomains(store);
    Names entries = store, deleted, kept;
    for (size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].empty()) continue;
      kept.push_back(entries[i]);
      for (size_t j = i + 1; j < entries.size(); ++j) {
        if (entries[j] == entries[i]) deleted.push_back(std::exchange(entries[j], ""));
      }
    }
    log().Clear();
    DWORD count = 0;
    EXPECT_EQ(::GetDomain(KS_PROFILE_WEB, nullptr, 0, &count), 1);
    EXPECT_EQ(count, kept.size());
    Names deletions;
    for (const std::string& text : log().Texts()) {
      if (text.rfind("Delete Domain = ", 0) == 0) deletions.push_back(text.substr(16));
    }
    EXPECT_EQ(deletions, deleted);
    for (DWORD capacity : {count - 1, count, count + 1}) {
      log().Clear();
      const Names listed(kept.begin(), kept.begin() + std::min<size_t>(capacity, count));
      EXPECT_EQ(ListedDomains(capacity), listed);
      const size_t fullLines = log().Count("Input Buffer Is Not Enough. So Break Here");
      EXPECT_EQ(fullLines, capacity > count ? 0u : 1u);
    }
  }
}

// Domains that cannot become an entry (a refused read, text not UTF-8 or too
// long for the record) count in both passes but are left out; a card without
// one counts in neither.  A refused release ends the counting pass.
TEST_P(Domains, UnreadableDomainsAreLeftOutAndAFailedReleaseEndsTheCount) {
  SeedDomains({"first.com", "bad.com", "long.com", "huge.com", "none.com", "last.com"});
  const std::vector<int64_t> cards = Cards();
  SetCardText(cards[1], 1, "\xC3\x28");             // not UTF-8
  SetCardText(cards[2], 1, std::string(256, 'x'));  // fits the read, not the record
  SetCardText(cards[3], 1, std::string(600, 'y'));  // too long for the read
  ASSERT_EQ(KeelTest_SetProperty(cards[4], 1, KA_ATTR_PLAIN, nullptr, 0), KA_OK);  // size 0
  EXPECT_EQ(ListedDomains(5), (Names{"first.com", "last.com"}));
  EXPECT_EQ(log().Count("KA_Card_GetProperty Failed With Error = -5"), 1u);
  EXPECT_EQ(log().Count("Exiting GetDomainAllCount() With bRet = 1; Count = 5"), 1u);
  EXPECT_EQ(log().Count("Exiting GetDomainAll() With bRet = 1; Count = 5"), 1u);
  StoreScript script;
  script.Answer(KF_Card_Release, KA_E_STORAGE).OnCall(1);
  DWORD count = 0;
  EXPECT_EQ(::GetDomain(KS_PROFILE_WEB, nullptr, 0, &count), 1);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(log().Count("Exiting GetDomainAllCount() With bRet = 1; Count = 1"), 1u);
}

DM_IN_MEMORY(Domains);

}  // namespace
}  // namespace dm::test
