// What the quick-launch and shortcut exports cost over the store calls they
// imply.
//
// The store holds 10 fingers x 50 quick launches (half of them web
// addresses linked to a card with a login address, the rest local paths
// and actions) and a number of shortcuts, eight in ten of them web
// shortcuts with every field, the rest local paths and actions.  Each
// export is measured next to its bare store walk, logged and quiet
// (support/ExportBench.h):
//
//   IsQLExist            the one-record look-up (the existence test of the
//                        exported SetQL) of the last launch of the finger
//                        asked last: a count and a full read of every finger
//   GetShortcut          the web shortcuts, every field of each
//   IsShortcutExistUsingProfile
//                        a site only the last web shortcut answers: a count
//                        and a full read of the web shortcuts
//   ActivateSingleShortcutUsingProfile
//                        the same site: one walk that reads each target and
//                        full address, and marks the last one shown
//
// After the runs the program prints each export's time over its bare walks
// at 10,000 shortcuts, and the time per shortcut of the two listing exports
// at 1,000, 10,000 and 100,000 shortcuts.
//
// Options (before Google Benchmark's own):
//   --store=memory         the in-memory store (the default)
//   --store=sqlite:<path>  the persistent store: each size gets a new
//                          database <path>-<shortcuts>.db (removed first)
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "DataManager.h"
#include "DataManagerUtils.h"
#include "ks/utf.h"
#include "support/ExportBench.h"

namespace {

constexpr int kHeadlineShortcuts = 10000;
constexpr int kScalingShortcuts[] = {1000, 10000, 100000};
constexpr int kLaunchesPerFinger = 50;
constexpr uint32_t kFingers[] = {0x020, 0x040, 0x080, 0x100, 0x200,
                                 0x001, 0x002, 0x004, 0x008, 0x010};  // as the look-up asks
constexpr const char* kActions[] = {"lock/", "logoff/", "shutdown/", "restart/", "sleep/"};
constexpr const char* kCategories[] = {"Personal", "Games", "NewsMedia", "Finance"};

// ---- The store -----------------------------------------------------------------

std::string LaunchSite(uint32_t finger, int i) {
  return "http://launch-" + std::to_string(finger) + "-" + std::to_string(i) + ".example/";
}
std::string ShortcutHost(int i) { return "www.site-" + std::to_string(i) + ".example"; }
bool IsWebShortcut(int i) { return i % 10 < 8; }
int LastWebShortcut(int shortcuts) {
  int i = shortcuts - 1;
  while (!IsWebShortcut(i)) --i;
  return i;
}

bool SetText(int64_t object, int32_t property, const std::string& text) {
  return KeelTest_SetProperty(object, property, KA_ATTR_PLAIN, text.c_str(), -1) == KA_OK;
}
bool SetNumber(int64_t object, int32_t property, uint32_t value) {
  return KeelTest_SetProperty(object, property, KA_ATTR_PLAIN, &value, 4) == KA_OK;
}

// Quick launch `i` of a finger: a web address linked to a card for even i,
// else a local path or an action.
bool SeedLaunch(uint32_t finger, int i) {
  const int64_t macro = KeelTest_SeedMacro(finger);
  if (macro <= 0) return false;
  if (i % 2 == 1) {
    return SetText(macro, 100, i % 4 == 1 ? "file:///apps/app-" + std::to_string(i)
                                          : std::string("action://") + kActions[i % 5]);
  }
  const int64_t card = KeelTest_SeedCard(LaunchSite(finger, i).c_str(), 999);
  const int64_t refNum = card > 0 ? KeelTest_CardRefNum(card) : -1;
  return refNum > 0 && SetText(macro, 100, LaunchSite(finger, i)) &&
         KeelTest_SetProperty(macro, 101, KA_ATTR_PLAIN, &refNum, 8) == KA_OK &&
         SetText(macro, 102, LaunchSite(finger, i) + "login");
}

bool SeedShortcut(int i) {
  const int64_t sc = KeelTest_SeedShortcut();
  if (sc <= 0) return false;
  const std::string n = std::to_string(i);
  bool ok = SetText(sc, 1023, "icons/" + n + ".ico") && SetText(sc, 1000, "Site " + n) &&
            SetNumber(sc, 1021, static_cast<uint32_t>(i % 2)) && SetNumber(sc, 1010, 0) &&
            SetText(sc, 1022, kCategories[i % 4]);
  if (IsWebShortcut(i)) {
    const std::string url = "https://" + ShortcutHost(i) + "/";
    return ok && SetText(sc, 1002, url) && SetText(sc, 1004, url + "home?from=bench");
  }
  return ok && SetText(sc, 1002, i % 10 == 8 ? "file:///apps/" + n
                                             : std::string("action://") + kActions[i % 5]);
}

// The store in use, and the context of the direct calls.  Reseeded only
// when the size changes.
struct SeededStore {
  int shortcuts = -1;
  uint32_t context = 0;
};
SeededStore g_seeded;

bool EnsureShortcuts(benchmark::State& state, int shortcuts) {
  if (g_seeded.shortcuts == shortcuts) return true;
  g_seeded.shortcuts = -1;  // until the new store is complete
  if (!bench::FreshStore(state, shortcuts)) return false;
  bool seeded = true;
  for (uint32_t finger : kFingers) {
    for (int i = 0; i < kLaunchesPerFinger && seeded; ++i) seeded = SeedLaunch(finger, i);
  }
  for (int i = 0; i < shortcuts && seeded; ++i) seeded = SeedShortcut(i);
  const uint8_t zeros[30] = {};
  g_seeded.context = 0;
  KA_Init(zeros, "KSTouchControl", 0, &g_seeded.context);
  // A store that DataManager cannot read would make every number
  // meaningless.
  DWORD count = 0, web = 0;
  for (int i = 0; i < shortcuts; ++i) web += IsWebShortcut(i) ? 1 : 0;
  if (!seeded || !GetShortcut(WEB, nullptr, 0, &count) || count != web) {
    state.SkipWithError("the seeded store is not what DataManager reads");
    return false;
  }
  g_seeded.shortcuts = shortcuts;
  return true;
}

KS_QL LastLaunch() {
  KS_QL ql = {};
  ql.Type = WEB;
  std::u16string url;
  ks::text::Utf8ToUtf16<char16_t>(LaunchSite(0x010, kLaunchesPerFinger - 2), &url);
  ks::text::CopyToField<WCHAR>(ql.Url, 2048, url);
  return ql;
}

KS_SHORTCUT LastSite(int shortcuts) {
  KS_SHORTCUT site = {};
  site.Type = WEB;
  std::u16string key;
  ks::text::Utf8ToUtf16<char16_t>(ShortcutHost(LastWebShortcut(shortcuts)), &key);
  ks::text::CopyToField<WCHAR>(site.Web.Tip, 256, key);
  return site;
}

// ---- The bare walks --------------------------------------------------------------

using Getter = KA_STATUS (*)(uint32_t*, int32_t, int32_t, void*, uint32_t*);

// An opening as the worker makes it: the App and the Identity asked for
// again (and, as there, not released).
uint32_t Open() {
  uint32_t init = 0, app = 0, identity = 0;
  const uint8_t zeros[30] = {};
  KA_Init(zeros, "KSTouchControl", 0, &init);  // answers "already initialised"
  KA_GetApp(&g_seeded.context, 0, &app);
  KA_GetIdentity(&g_seeded.context, 0, &identity);
  return identity;
}

// A text property read as the worker reads it: its size, then its value
// into a zeroed buffer.  Answers the text.
std::string ReadText(Getter get, uint32_t* object, int32_t property) {
  uint32_t size = 0;
  if (get(object, property, 0, nullptr, &size) < 0 || size == 0) return {};
  char buffer[4096] = {};
  if (get(object, property, sizeof buffer, buffer, &size) < 0) return {};
  return buffer;
}

uint32_t ReadNumber(uint32_t* shortcut, int32_t property) {
  uint32_t value = 0, size = 0;
  KA_Shortcut_GetProperty(shortcut, property, 4, &value, &size);
  return value;
}

template <typename Visit>
void WalkMacros(uint32_t finger, Visit visit) {
  uint32_t identity = Open();
  uint32_t macro = 0;
  for (int16_t mode = 1; KA_Id_GetMacro(&identity, finger, mode, &macro) >= 0; mode = 2) {
    visit(&macro, &identity);
    KA_Macro_Release(&macro);
  }
}

template <typename Visit>
void WalkShortcuts(Visit visit) {
  Open();
  uint32_t sc = 0;
  for (int16_t mode = 1; KA_GetShortcut(&g_seeded.context, "US", mode, &sc) >= 0; mode = 2) {
    visit(&sc);
    KA_Shortcut_Release(&sc);
  }
}

// GetShortcut's pass over the web shortcuts: the target, then every field.
void BareShortcutList() {
  WalkShortcuts([](uint32_t* sc) {
    if (ReadText(KA_Shortcut_GetProperty, sc, 1002).rfind("http", 0) != 0) return;
    for (int32_t property : {1002, 1004, 1023, 1000}) {
      ReadText(KA_Shortcut_GetProperty, sc, property);
    }
    ReadNumber(sc, 1021);
    ReadNumber(sc, 1010);
    ReadText(KA_Shortcut_GetProperty, sc, 1022);
  });
}

// ---- The benchmarks --------------------------------------------------------------

template <typename Body>
void Measure(benchmark::State& state, bool quiet, Body body) {
  const int shortcuts = static_cast<int>(state.range(0));
  if (!EnsureShortcuts(state, shortcuts)) return;
  const bench::LinesOff lines(quiet);
  for (auto _ : state) body(shortcuts);
}

void BM_IsQLExist(benchmark::State& state, bool quiet) {
  KS_QL wanted = LastLaunch();
  Measure(state, quiet, [&](int) {
    benchmark::DoNotOptimize(dm::DataManagerUtils().IsQLExist(&wanted));
  });
}

void BM_IsQLExistBare(benchmark::State& state) {
  Measure(state, true, [](int) {
    for (uint32_t finger : kFingers) {
      WalkMacros(finger, [](uint32_t* macro, uint32_t*) {
        uint32_t size = 0;
        KA_Macro_GetProperty(macro, 100, 0, nullptr, &size);
      });
      WalkMacros(finger, [](uint32_t* macro, uint32_t* identity) {
        if (ReadText(KA_Macro_GetProperty, macro, 100).rfind("http", 0) != 0) return;
        int64_t refNum = 0;
        uint32_t size = 0, card = 0;
        KA_Macro_GetProperty(macro, 101, 8, &refNum, &size);
        if (KA_Id_GetCardByRefNum(identity, refNum, &card) < 0) return;
        ReadText(KA_Macro_GetProperty, macro, 102);
        KA_Card_Release(&card);
      });
    }
  });
}

void BM_GetShortcut(benchmark::State& state, bool quiet) {
  std::vector<KS_SHORTCUT> records(static_cast<size_t>(state.range(0)));
  Measure(state, quiet, [&](int) {
    DWORD count = 0;
    GetShortcut(WEB, records.data(), static_cast<DWORD>(records.size()), &count);
    benchmark::DoNotOptimize(count);
  });
}

void BM_GetShortcutBare(benchmark::State& state) {
  Measure(state, true, [](int) { BareShortcutList(); });
}

void BM_IsShortcutExistUsingProfile(benchmark::State& state, bool quiet) {
  Measure(state, quiet, [](int shortcuts) {
    KS_SHORTCUT site = LastSite(shortcuts);
    benchmark::DoNotOptimize(IsShortcutExistUsingProfile(WEB, &site));
  });
}

void BM_IsShortcutExistUsingProfileBare(benchmark::State& state) {
  Measure(state, true, [](int) {
    WalkShortcuts([](uint32_t* sc) { ReadText(KA_Shortcut_GetProperty, sc, 1002); });
    BareShortcutList();
  });
}

void BM_ActivateSingleShortcutUsingProfile(benchmark::State& state, bool quiet) {
  Measure(state, quiet, [](int shortcuts) {
    KS_SHORTCUT site = LastSite(shortcuts);
    benchmark::DoNotOptimize(ActivateSingleShortcutUsingProfile(WEB, &site));
  });
}

void BM_ActivateSingleShortcutUsingProfileBare(benchmark::State& state) {
  Measure(state, true, [](int shortcuts) {
    const std::string key = ShortcutHost(LastWebShortcut(shortcuts));
    WalkShortcuts([&key](uint32_t* sc) {
      const std::string target = ReadText(KA_Shortcut_GetProperty, sc, 1002);
      if (target.rfind("http", 0) != 0) return;
      if (target.find(key) == std::string::npos &&
          ReadText(KA_Shortcut_GetProperty, sc, 1004).find(key) == std::string::npos) {
        return;
      }
      const uint32_t shown = 0;
      KA_Shortcut_SetProperty(sc, 1021, &shown, 4);
    });
  });
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> args = bench::ParseOptions(argc, argv);
  int count = static_cast<int>(args.size());
  bench::StoreFolder folder;

  const std::vector<std::string> names = {"IsQLExist", "GetShortcut",
                                          "IsShortcutExistUsingProfile",
                                          "ActivateSingleShortcutUsingProfile"};
  const std::string size = "shortcuts";
  // One store for each size, the headline size first.
  for (int shortcuts : {kHeadlineShortcuts, 1000, 100000}) {
    const bool headline = shortcuts == kHeadlineShortcuts;
    if (headline) bench::Register(size, names[0], &BM_IsQLExist, &BM_IsQLExistBare, shortcuts);
    bench::Register(size, names[1], &BM_GetShortcut, &BM_GetShortcutBare, shortcuts);
    bench::Register(size, names[2], &BM_IsShortcutExistUsingProfile,
                    &BM_IsShortcutExistUsingProfileBare, shortcuts);
    if (headline) {
      bench::Register(size, names[3], &BM_ActivateSingleShortcutUsingProfile,
                      &BM_ActivateSingleShortcutUsingProfileBare, shortcuts);
    }
  }

  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  bench::RatioReporter reporter(size);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios(names, kHeadlineShortcuts);
  const std::vector<int> sizes(std::begin(kScalingShortcuts), std::end(kScalingShortcuts));
  reporter.PrintScaling(names[1], sizes);
  reporter.PrintScaling(names[2], sizes);
  benchmark::Shutdown();
  return 0;
}
