// What the profile exports cost over the store calls they imply.
//
// The store holds web cards spread over domains, five cards a domain, each
// with a user name, a password, both web texts and a mode, filed in
// round-robin order so that every domain's cards are spread over the whole
// walk.  Each export is measured next to its bare store walk: the same
// store calls, in the same order, made directly through the KA_ functions,
// with nothing converted, logged or de-duplicated.  What is left is
// DataManager's own cost: the by-name look-up of each store function, the
// text conversions, the log lines and the removal of duplicates.
//
//   GetDomain           the two calls a caller makes (count, then fill):
//                       four passes over every card
//   GetProfile          the list of one domain, passwords included
//   IsProfileExist      a user that is the last card of its domain: a
//                       count pass and a query pass over the domain
//
// Each export runs twice: with its log lines written (to /dev/null: they
// are formatted and written, at no disk cost) and "quiet", with KSLOG_FILE
// off, which shows DataManager's own cost apart from KSLog's cost per line.
// After the runs the program prints each export's time over its bare walks,
// from this one run, and GetDomain's time per card at 1,000, 10,000 and
// 100,000 cards.
//
// Options (before Google Benchmark's own):
//   --store=memory         the in-memory store (the default)
//   --store=sqlite:<path>  the persistent store: each size gets a new
//                          database <path>-<cards>.db (removed first); put
//                          it on a fast disk, seeding commits once a card
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "DataManager.h"
#include "KSLogSink.h"
#include "KeelAPI.h"
#include "KeelAPITest.h"
#include "StoreHandles.h"
#include "binding/ModuleTable.h"
#include "ks/utf.h"

namespace {

namespace fs = std::filesystem;

constexpr int32_t kWebCategory = 999;
constexpr int kCardsPerDomain = 5;
constexpr int kHeadlineCards = 10000;
constexpr int kScalingCards[] = {1000, 10000, 100000};

std::string g_store = "memory";

// ---- The store ---------------------------------------------------------------

// DataManager's store folder, holding a link to the store library this
// program is linked with: DataManager and the direct calls share one store.
class StoreFolder {
 public:
  StoreFolder() {
    std::string pattern = (fs::temp_directory_path() / "profile-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    root_ = pattern;
    fs::create_directories(root_ / "Halvorn");
    std::error_code ignored;
    fs::create_symlink(KEELAPI_LIBRARY_PATH, root_ / "Halvorn" / "libKeelAPI.so", ignored);
    setenv("CommonProgramFiles", root_.c_str(), 1);
  }
  ~StoreFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

 private:
  fs::path root_;
};

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
  std::string store = g_store;
  if (store.rfind("sqlite:", 0) == 0) {
    store += "-" + std::to_string(cards) + ".db";
    std::error_code ignored;
    fs::remove(store.substr(7), ignored);
  }
  g_seeded.cards = -1;  // until the new store is complete
  if (KeelTest_Reset(store.c_str()) != KA_OK) {
    state.SkipWithError(("the store " + store + " cannot be opened").c_str());
    return false;
  }
  // DataManager's handles died with the old store: a fresh process, as far
  // as it can tell.
  dm::ResetStoreHandlesForTesting();
  dm::binding::ResetModuleTableForTesting();
  KeelTest_SetTraceLimit(0);  // the trace is the tests' cost, not the store's
  const int domains = cards / kCardsPerDomain;
  for (int i = 0; i < cards; ++i) {
    if (!SeedCard(i, domains)) {
      state.SkipWithError(("seeding " + store + " failed").c_str());
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
    state.SkipWithError(("DataManager does not see the cards of " + store).c_str());
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

// Log lines off (KSLOG_FILE=off) for the life of the object, then back to
// /dev/null: the exports' own cost without KSLog's cost per line.
class LinesOff {
 public:
  explicit LinesOff(bool off) : off_(off) { Set(off_ ? "off" : "/dev/null"); }
  ~LinesOff() {
    if (off_) Set("/dev/null");
  }

 private:
  static void Set(const char* destination) {
    setenv("KSLOG_FILE", destination, 1);
    KSLog_Reconfigure();
  }
  bool off_;
};

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
  const LinesOff lines(quiet);
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
  const LinesOff lines(quiet);
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
  const LinesOff lines(quiet);
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

// ---- Ratios from this run ----------------------------------------------------------

// Prints as the console does and keeps each run's time per iteration.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      nanoseconds_[run.benchmark_name()] =
          run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    std::printf("\nstore: %s; time over the bare store walks, from this run:\n", g_store.c_str());
    std::printf("  %-15s %12s %12s %12s %8s %8s\n", "export", "export us", "quiet us", "bare us",
                "ratio", "quiet");
    for (const char* name : {"GetDomain", "GetProfile", "IsProfileExist"}) {
      PrintRatio(name, kHeadlineCards);
    }
    std::printf("\nGetDomain, two calls, per card:\n");
    for (int cards : kScalingCards) PrintRatio("GetDomain", cards, true);
  }

 private:
  const double* Find(const std::string& name) const {
    const auto it = nanoseconds_.find(name);
    return it == nanoseconds_.end() ? nullptr : &it->second;
  }
  // One line: the export with its log lines, without them, the bare walks,
  // and the two ratios (per card instead, when asked).
  void PrintRatio(const std::string& name, int cards, bool perCard = false) const {
    const std::string suffix = "/cards:" + std::to_string(cards);
    const double* logged = Find("BM_" + name + suffix);
    const double* quiet = Find("BM_" + name + "Quiet" + suffix);
    const double* bare = Find("BM_" + name + "Bare" + suffix);
    if (logged == nullptr || quiet == nullptr || bare == nullptr || *bare <= 0) return;
    if (perCard) {
      std::printf("  %7d cards: %8.1f ns a card (quiet %8.1f, bare %8.1f)\n", cards,
                  *logged / cards, *quiet / cards, *bare / cards);
      return;
    }
    std::printf("  %-15s %12.1f %12.1f %12.1f %8.2f %8.2f\n", name.c_str(), *logged / 1e3,
                *quiet / 1e3, *bare / 1e3, *logged / *bare, *quiet / *bare);
  }
  std::map<std::string, double> nanoseconds_;  // time per iteration
};

// Registers the export (with its log lines and without them) and its bare
// walks on a store of `cards` cards.
void Register(const std::string& name, void (*exported)(benchmark::State&, bool),
              void (*bare)(benchmark::State&), int cards) {
  auto add = [cards](benchmark::internal::Benchmark* b) {
    b->ArgName("cards")->Arg(cards)->Unit(benchmark::kMicrosecond);
  };
  add(benchmark::RegisterBenchmark(("BM_" + name).c_str(), exported, false));
  add(benchmark::RegisterBenchmark(("BM_" + name + "Quiet").c_str(), exported, true));
  add(benchmark::RegisterBenchmark(("BM_" + name + "Bare").c_str(), bare));
}

}  // namespace

int main(int argc, char** argv) {
  // Our option first, then Google Benchmark's.
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--store=", 8) == 0) {
      g_store = argv[i] + 8;
    } else {
      args.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(args.size());
  setenv("KSLOG_FILE", "/dev/null", 1);
  StoreFolder folder;

  // The headline size first, then the other sizes, each group on one store.
  Register("GetDomain", &BM_GetDomain, &BM_GetDomainBare, kHeadlineCards);
  Register("GetProfile", &BM_GetProfile, &BM_GetProfileBare, kHeadlineCards);
  Register("IsProfileExist", &BM_IsProfileExist, &BM_IsProfileExistBare, kHeadlineCards);
  for (int cards : kScalingCards) {
    if (cards != kHeadlineCards) Register("GetDomain", &BM_GetDomain, &BM_GetDomainBare, cards);
  }

  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  KeelTest_Reset("memory");  // closes a database before the folder goes
  return 0;
}
