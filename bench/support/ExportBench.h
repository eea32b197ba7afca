// ExportBench.h - what the export benchmarks share: DataManager's store
// folder, the switch between logged and quiet runs, the --store option, a
// fresh store of the chosen backend, and the table of each export's time
// over the bare store walks it implies.
//
// Each export is measured next to its bare store walk: the same store calls,
// in the same order, made directly through the KA_ functions, with nothing
// converted, logged or compared.  What is left is DataManager's own cost.
// Each export runs with its log lines written (to /dev/null: formatted and
// written, at no disk cost) and "quiet", with KSLOG_FILE off.
#ifndef DM_BENCH_EXPORT_BENCH_H
#define DM_BENCH_EXPORT_BENCH_H

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "KSLogSink.h"
#include "KeelAPI.h"
#include "KeelAPITest.h"
#include "StoreHandles.h"
#include "binding/ModuleTable.h"

namespace bench {

namespace fs = std::filesystem;

// The store the benchmarks run on: "memory", or "sqlite:<path>" for the
// persistent store (each size gets its own database <path>-<size>.db).
inline std::string g_store = "memory";

// DataManager's store folder, holding a link to the store library this
// program is linked with: DataManager and the direct calls share one store.
class StoreFolder {
 public:
  StoreFolder() {
    std::string pattern = (fs::temp_directory_path() / "export-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    root_ = pattern;
    fs::create_directories(root_ / "Halvorn");
    std::error_code ignored;
    fs::create_symlink(KEELAPI_LIBRARY_PATH, root_ / "Halvorn" / "libKeelAPI.so", ignored);
    setenv("CommonProgramFiles", root_.c_str(), 1);
  }
  ~StoreFolder() {
    KeelTest_Reset("memory");  // closes a database before the folder goes
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

 private:
  fs::path root_;
};

// Starts an empty store of the chosen backend for `size` objects, with
// DataManager started afresh (its handles died with the old store) and the
// store's call trace off (the tests' cost, not the store's).  False, with
// the benchmark skipped, when the store cannot be opened.
inline bool FreshStore(benchmark::State& state, int size) {
  std::string store = g_store;
  if (store.rfind("sqlite:", 0) == 0) {
    store += "-" + std::to_string(size) + ".db";
    std::error_code ignored;
    fs::remove(store.substr(7), ignored);
  }
  if (KeelTest_Reset(store.c_str()) != KA_OK) {
    state.SkipWithError(("the store " + store + " cannot be opened").c_str());
    return false;
  }
  dm::ResetStoreHandlesForTesting();
  dm::binding::ResetModuleTableForTesting();
  KeelTest_SetTraceLimit(0);
  return true;
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

// Prints as the console does, keeps each run's time per iteration, and
// then prints each export's time over its bare walks.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // `sizeArg` names the benchmarks' one argument ("cards", "shortcuts").
  explicit RatioReporter(std::string sizeArg) : sizeArg_(std::move(sizeArg)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      nanoseconds_[run.benchmark_name()] =
          run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // One line per export at `size`: with its log lines, without them, the
  // bare walks, and the two ratios.
  void PrintRatios(const std::vector<std::string>& names, int size) const {
    std::printf("\nstore: %s, %d %s; time over the bare store walks, from this run:\n",
                g_store.c_str(), size, sizeArg_.c_str());
    std::printf("  %-30s %12s %12s %12s %8s %8s\n", "export", "export us", "quiet us", "bare us",
                "ratio", "quiet");
    for (const std::string& name : names) {
      const Times t = Find(name, size);
      if (!t.valid) continue;
      std::printf("  %-30s %12.1f %12.1f %12.1f %8.2f %8.2f\n", name.c_str(), t.logged / 1e3,
                  t.quiet / 1e3, t.bare / 1e3, t.logged / t.bare, t.quiet / t.bare);
    }
  }

  // The time per object of `name` at each size.
  void PrintScaling(const std::string& name, const std::vector<int>& sizes) const {
    std::printf("\n%s, per %s:\n", name.c_str(), sizeArg_.c_str());
    for (int size : sizes) {
      const Times t = Find(name, size);
      if (!t.valid) continue;
      std::printf("  %7d: %10.1f ns (quiet %10.1f, bare %10.1f)\n", size, t.logged / size,
                  t.quiet / size, t.bare / size);
    }
  }

 private:
  struct Times {
    bool valid = false;
    double logged = 0, quiet = 0, bare = 0;
  };
  Times Find(const std::string& name, int size) const {
    const std::string suffix = "/" + sizeArg_ + ":" + std::to_string(size);
    const auto logged = nanoseconds_.find("BM_" + name + suffix);
    const auto quiet = nanoseconds_.find("BM_" + name + "Quiet" + suffix);
    const auto bare = nanoseconds_.find("BM_" + name + "Bare" + suffix);
    if (logged == nanoseconds_.end() || quiet == nanoseconds_.end() ||
        bare == nanoseconds_.end() || bare->second <= 0) {
      return {};
    }
    return {true, logged->second, quiet->second, bare->second};
  }
  std::string sizeArg_;
  std::map<std::string, double> nanoseconds_;  // time per iteration
};

// Registers the export (with its log lines and without them) and its bare
// walks at `size`.
inline void Register(const std::string& sizeArg, const std::string& name,
                     void (*exported)(benchmark::State&, bool), void (*bare)(benchmark::State&),
                     int size) {
  auto add = [&](benchmark::internal::Benchmark* b) {
    b->ArgName(sizeArg)->Arg(size)->Unit(benchmark::kMicrosecond);
  };
  add(benchmark::RegisterBenchmark(("BM_" + name).c_str(), exported, false));
  add(benchmark::RegisterBenchmark(("BM_" + name + "Quiet").c_str(), exported, true));
  add(benchmark::RegisterBenchmark(("BM_" + name + "Bare").c_str(), bare));
}

// Takes --store=... out of the command line and hands the rest (for Google
// Benchmark) back; log lines go to /dev/null from here on.
inline std::vector<char*> ParseOptions(int argc, char** argv) {
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--store=", 8) == 0) {
      g_store = argv[i] + 8;
    } else {
      args.push_back(argv[i]);
    }
  }
  setenv("KSLOG_FILE", "/dev/null", 1);
  return args;
}

}  // namespace bench

#endif  // DM_BENCH_EXPORT_BENCH_H
