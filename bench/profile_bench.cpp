// What the profile exports cost over the store calls they imply.
//
// The store holds web cards spread over domains, five cards a domain, each
// with a user name, a password, both web texts and a mode, filed in
// round-robin order so that every domain's cards are spread over the whole
// walk.  Each export is measured next to its bare store walk, logged and
// quiet (support/ExportBench.h); DataManager's own cost is the by-name
// look-up of each store function, the text conversions, the log lines and
// the removal of duplicates.
//
//   GetDomain           the two calls a caller makes (count, then fill):
//                       four passes over every card
//   GetProfile          the list of one domain, passwords included
//   IsProfileExist      a user that is the last card of its domain: a
//                       count pass and a query pass over the domain
//
// After the runs the program prints each export's time over its bare walks,
// from this one run, and GetDomain's time per card at 1,000, 10,000 and
// 100,000 cards.
//
// Options (before Google Benchmark's own):
//   --store=memory         the in-memory store (the default)
//   --store=sqlite:<path>  the persistent store: each size gets a new
//                          database <path>-<cards>.db (removed first); put
//                          it on a fast disk, seeding commits once a card
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "DataManager.h"
#include "ks/utf.h"
#include "support/ExportBench.h"

namespace {

constexpr int32_t kWebCategory = 999;
constexpr int kCardsPerDomain = 5;
constexpr int kHeadlineCards = 10000;
constexpr int kScalingCards[] = {1000, 10000, 100000};

// ---- The store ---------------------------------------------------------------

std::string DomainName(int domain) { return "site-" + std::to_string(domain) + ".example"; }
std::string UserName(int card) { return "user-" + std::to_string(card); }

bool SetText(int64_t card, int32_t property, const std::string& text, int32_t attribute) {
  return KeelTest_SetProperty(card, property, attribute, text.c_str(), -1) == KA_OK;
}

// One web card of the benchmark's store, numbered `i` of `domains` domains.
bool SeedCard(int i, int domains) {
  const int64_t card = KeelTest_SeedCard(DomainName(i % domains).c_str(), kWebCategory);
  const std::string n = std::to_string(i);
  const uint8_t mode = 0;
  return card > 0 && SetText(card, 103, UserName(i), KA_ATTR_PLAIN) &&
         SetText(card, 104, "password-" + n, KA_ATTR_SECRET) &&
         SetText(card, 3101, "text-" + n, KA_ATTR_PLAIN) &&
         SetText(card, 105, "a longer text value of card " + n, KA_ATTR_PLAIN) &&
         KeelTest_SetProperty(card, 1003, KA_ATTR_PLAIN, &mode, 1) == KA_OK;
}

// The store in use, with `cards` web cards, and the context of the direct
// calls.  Reseeded only when the size changes.
struct SeededStore {
  int cards = -1;
  uint32_t context = 0;
};
SeededStore g_seeded;

bool EnsureCards(benchmark::State& state, int cards) {
  if (g_seeded.cards == cards) return true;
  g_seeded.cards = -1;  // until the new store is complete
  if (!bench::FreshStore(state, cards)) return false;
  const int domains = cards / kCardsPerDomain;
  for (int i = 0; i < cards; ++i) {
    if (!SeedCard(i, domains)) {
      state.SkipWithError("seeding the store failed");
      return false;
    }
  }
  const uint8_t zeros[30] = {};
  g_seeded.context = 0;
  KA_Init(zeros, "KSPasswordReplacement", 0, &g_seeded.context);
  // A store that DataManager cannot read would make every number
  // meaningless.
  DWORD listed = 0;
  if (!GetDomain(KS_PROFILE_WEB, nullptr, 0, &listed) || listed != static_cast<DWORD>(domains)) {
    state.SkipWithError("DataManager does not see the seeded cards");
    return false;
  }
  g_seeded.cards = cards;
  return true;
}

KS_DOMAIN WideDomain(int domain) {
  KS_DOMAIN d = {};
  std::u16string wide;
  ks::text::Utf8ToUtf16<char16_t>(DomainName(domain), &wide);
  ks::text::CopyToField<WCHAR>(d.Domain, 256, wide);
  return d;
}

// ---- The bare walks ------------------------------------------------------------

// An opening as the worker makes it: the App and the Identity asked for
// again (and, as there, not released).
uint32_t Open() {
  uint32_t app = 0, identity = 0;
  KA_GetApp(&g_seeded.context, 0, &app);
  KA_GetIdentity(&g_seeded.context, 0, &identity);
  return identity;
}

// A text property read as the worker reads it: its size, then its value
// into a zeroed buffer.
void ReadText(uint32_t* card, int32_t property, int32_t capacity) {
  uint32_t size = 0;
  if (KA_Card_GetProperty(card, property, 0, nullptr, &size) < 0 || size == 0) return;
  char buffer[4096];
  std::memset(buffer, 0, static_cast<size_t>(capacity));
  KA_Card_GetProperty(card, property, capacity, buffer, &size);
  benchmark::DoNotOptimize(buffer);
}

// Walks the cards (of a domain, or all of the category), releasing each.
template <typename Visit>
void Walk(const char* domain, Visit visit) {
  uint32_t identity = Open();
  uint32_t card = 0;
  for (int16_t mode = 1; KA_Id_GetCard(&identity, domain, kWebCategory, mode, &card) >= 0;
       mode = 2) {
    visit(&card);
    KA_Card_Release(&card);
  }
}

// One call of GetDomain: the count pass (domain sizes) and the list pass
// (sizes and values).
void BareDomainPasses() {
  Walk(nullptr, [](uint32_t* card) {
    uint32_t size = 0;
    KA_Card_GetProperty(card, 1, 0, nullptr, &size);
  });
  Walk(nullptr, [](uint32_t* card) { ReadText(card, 1, 512); });
}

// A list pass over a domain's profiles, with or without passwords.
void BareProfilePass(const char* domain, bool passwords) {
  Walk(domain, [passwords](uint32_t* card) {
    if (passwords) ReadText(card, 104, 4096);
    ReadText(card, 103, 4096);
    ReadText(card, 3101, 4096);
    ReadText(card, 105, 4096);
    uint32_t mode = 0, size = 0;
    KA_Card_GetProperty(card, 1003, 4, &mode, &size);
  });
}

// ---- The benchmarks --------------------------------------------------------------

void BM_GetDomain(benchmark::State& state, bool quiet) {
  const int cards = static_cast<int>(state.range(0));
  if (!EnsureCards(state, cards)) return;
  const bench::LinesOff lines(quiet);
  std::vector<KS_DOMAIN> domains(static_cast<size_t>(cards / kCardsPerDomain));
  for (auto _ : state) {
    DWORD count = 0;
    GetDomain(KS_PROFILE_WEB, nullptr, 0, &count);
    GetDomain(KS_PROFILE_WEB, domains.data(), count, &count);
    benchmark::DoNotOptimize(count);
  }
  state.SetItemsProcessed(state.iterations() * cards);
}

void BM_GetDomainBare(benchmark::State& state) {
  const int cards = static_cast<int>(state.range(0));
  if (!EnsureCards(state, cards)) return;
  for (auto _ : state) {
    BareDomainPasses();
    BareDomainPasses();
  }
  state.SetItemsProcessed(state.iterations() * cards);
}

// Runs `body(d, domains)` once an iteration on a store of state.range(0)
// cards, d going round its domains so that no domain stays in a cache.
template <typename Body>
void OverDomains(benchmark::State& state, Body body) {
  const int cards = static_cast<int>(state.range(0));
  if (!EnsureCards(state, cards)) return;
  const int domains = cards / kCardsPerDomain;
  int next = 0;
  for (auto _ : state) body(next++ % domains, domains);
}

void BM_GetProfile(benchmark::State& state, bool quiet) {
  const bench::LinesOff lines(quiet);
  KS_PROFILE profiles[kCardsPerDomain];
  OverDomains(state, [&profiles](int d, int) {
    KS_DOMAIN domain = WideDomain(d);
    DWORD count = 0;
    GetProfile(KS_PROFILE_WEB, &domain, profiles, kCardsPerDomain, &count);
    benchmark::DoNotOptimize(count);
  });
}

void BM_GetProfileBare(benchmark::State& state) {
  OverDomains(state, [](int d, int) { BareProfilePass(DomainName(d).c_str(), true); });
}

// The user looked for is the domain's last card: the whole domain is read.
void BM_IsProfileExist(benchmark::State& state, bool quiet) {
  const bench::LinesOff lines(quiet);
  OverDomains(state, [](int d, int domains) {
    KS_DOMAIN domain = WideDomain(d);
    KS_PROFILE profile = {};
    std::u16string user;
    ks::text::Utf8ToUtf16<char16_t>(UserName(d + (kCardsPerDomain - 1) * domains), &user);
    ks::text::CopyToField<WCHAR>(profile.UserName, 256, user);
    benchmark::DoNotOptimize(IsProfileExist(KS_PROFILE_WEB, &domain, &profile));
  });
}

void BM_IsProfileExistBare(benchmark::State& state) {
  OverDomains(state, [](int d, int) {
    const std::string domain = DomainName(d);
    Walk(domain.c_str(), [](uint32_t*) {});  // the count
    BareProfilePass(domain.c_str(), false);
  });
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> args = bench::ParseOptions(argc, argv);
  int count = static_cast<int>(args.size());
  bench::StoreFolder folder;

  // The headline size first, then the other sizes, each group on one store.
  const std::vector<std::string> names = {"GetDomain", "GetProfile", "IsProfileExist"};
  bench::Register("cards", "GetDomain", &BM_GetDomain, &BM_GetDomainBare, kHeadlineCards);
  bench::Register("cards", "GetProfile", &BM_GetProfile, &BM_GetProfileBare, kHeadlineCards);
  bench::Register("cards", "IsProfileExist", &BM_IsProfileExist, &BM_IsProfileExistBare,
                  kHeadlineCards);
  for (int cards : kScalingCards) {
    if (cards != kHeadlineCards) {
      bench::Register("cards", "GetDomain", &BM_GetDomain, &BM_GetDomainBare, cards);
    }
  }

  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  bench::RatioReporter reporter("cards");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios(names, kHeadlineCards);
  reporter.PrintScaling("GetDomain", {std::begin(kScalingCards), std::end(kScalingCards)});
  benchmark::Shutdown();
  return 0;
}
