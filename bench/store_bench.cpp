// The credential store's own costs, the SQLite backend side by side with
// the in-memory one: a property read, a property write, creating a card
// with four properties, and walking 10,000 cards of one category reading
// property 1 of each.  Reads and walks are measured twice: on a store that
// stays as it is (the SQLite backend answers from its read cache) and right
// after a write each time (it reads the database).
//
// The SQLite databases live in a fresh folder under the temporary folder
// (TMPDIR), so that writes pay for a real durable commit on that disk.  The
// 10,000 cards of the walk are seeded on /dev/shm when it exists (seeding
// commits 10,000 times) and the database is then copied next to the others.
//
// The store's memory: a client's openings (the App, the identity and one
// context property, a million times over, as DataManager asks at each of
// its calls) and the walks report how much the resident memory grew while
// they ran (rss_growth_kb) and the handles open at the end (open_handles).
// Run the openings alone with
//   store_bench --benchmark_filter=ClientOpenings
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "KeelAPI.h"
#include "KeelAPITest.h"

namespace {

namespace fs = std::filesystem;

enum class Backend { kMemory, kSqlite };

constexpr int32_t kCategory = 999;
constexpr int kWalkCards = 10000;

// A folder of the benchmark's own, removed at exit.
class Folder {
 public:
  explicit Folder(const fs::path& parent) {
    std::string pattern = (parent / "store-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~Folder() {
    KeelTest_Reset("memory");  // closes the database first
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

Folder& DiskFolder() {
  static Folder folder(fs::temp_directory_path());
  return folder;
}

// The backend name of `backend` for KeelTest_Reset: memory, or the SQLite
// database `name` in the disk folder.
std::string BackendName(Backend backend, const std::string& name) {
  return backend == Backend::kMemory ? "memory"
                                     : "sqlite:" + (DiskFolder().path() / name).string();
}

// Opens a context and the identity on the store in use, with tracing off so
// that only the store counts.
bool OpenContext(uint32_t* context, uint32_t* identity) {
  KeelTest_SetTraceLimit(0);
  const uint8_t zeros[30] = {};
  return KA_Init(zeros, "store_bench", 0, context) == KA_OK &&
         KA_GetIdentity(context, 0, identity) == KA_OK;
}

// Starts a new store on `backend` (an SQLite database named `name`).
bool Open(Backend backend, const std::string& name, uint32_t* context, uint32_t* identity) {
  return KeelTest_Reset(BackendName(backend, name).c_str()) == KA_OK &&
         OpenContext(context, identity);
}

uint32_t NewCard(uint32_t* identity, const char* domain) {
  uint32_t card = 0;
  KA_Id_CreateCard(identity, domain, kCategory, &card);
  return card;
}

// A write that changes the store between measured steps, outside the
// measured time: the SQLite backend then cannot answer from its read cache
// and reads the database, as after another process's write.
void ChangeTheStore(benchmark::State& state, uint32_t* context) {
  static uint32_t stamp = 0;
  state.PauseTiming();
  ++stamp;
  KA_SetProperty(context, 2001, &stamp, sizeof stamp);
  state.ResumeTiming();
}

// The process's resident memory, in bytes (0 when it cannot be read).
int64_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  int64_t pages = 0;
  int64_t resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

// Reports the memory counters, from the resident memory `before` the run.
void ReportMemory(benchmark::State& state, int64_t before) {
  state.counters["rss_growth_kb"] = static_cast<double>(ResidentBytes() - before) / 1024;
  state.counters["open_handles"] = KeelTest_OpenHandles();
}

// What DataManager does at every call: it asks for the App and the identity
// again, then reads a context property (the skin index).
void BM_ClientOpenings(benchmark::State& state, Backend backend) {
  uint32_t context = 0;
  uint32_t identity = 0;
  if (!Open(backend, "openings.db", &context, &identity)) return state.SkipWithError("no store");
  const uint32_t skin = 2;
  KA_SetProperty(&context, 108, &skin, sizeof skin);
  const int64_t before = ResidentBytes();
  for (auto _ : state) {
    uint32_t app = 0;
    uint32_t value = 0;
    if (KA_GetApp(&context, 0, &app) != KA_OK || KA_GetIdentity(&context, 0, &identity) != KA_OK ||
        KA_GetProperty(&context, 108, sizeof value, &value, nullptr) != KA_OK) {
      return state.SkipWithError("an opening failed");
    }
    benchmark::DoNotOptimize(value);
  }
  ReportMemory(state, before);
}

// Reads property 103 of a card; `changed`: right after a write each time.
void PropertyRead(benchmark::State& state, Backend backend, bool changed) {
  uint32_t context = 0;
  uint32_t identity = 0;
  if (!Open(backend, "read.db", &context, &identity)) return state.SkipWithError("no store");
  uint32_t card = NewCard(&identity, "example.com");
  KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 103, "someone@example.com", -1);
  char value[4096];
  for (auto _ : state) {
    if (changed) ChangeTheStore(state, &context);
    uint32_t size = 0;
    if (KA_Card_GetProperty(&card, 103, sizeof value, value, &size) != KA_OK) {
      return state.SkipWithError("read failed");
    }
    benchmark::DoNotOptimize(value);
  }
}

void BM_PropertyRead(benchmark::State& state, Backend backend) {
  PropertyRead(state, backend, false);
}

void BM_PropertyReadAfterAWrite(benchmark::State& state, Backend backend) {
  PropertyRead(state, backend, true);
}

void BM_PropertyWrite(benchmark::State& state, Backend backend) {
  uint32_t context = 0;
  uint32_t identity = 0;
  if (!Open(backend, "write.db", &context, &identity)) return state.SkipWithError("no store");
  uint32_t card = NewCard(&identity, "example.com");
  for (auto _ : state) {
    if (KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 103, "someone@example.com", -1) != KA_OK) {
      return state.SkipWithError("write failed");
    }
  }
}

void BM_CreateCardWithFourProperties(benchmark::State& state, Backend backend) {
  uint32_t context = 0;
  uint32_t identity = 0;
  if (!Open(backend, "create.db", &context, &identity)) return state.SkipWithError("no store");
  for (auto _ : state) {
    uint32_t card = NewCard(&identity, "example.com");
    const bool written =
        KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 103, "someone@example.com", -1) == KA_OK &&
        KA_Card_SetProperty(&card, KA_ATTR_SECRET, 104, "correct horse", -1) == KA_OK &&
        KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 105, "https://example.com/login", -1) ==
            KA_OK &&
        KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 3101, "Example", -1) == KA_OK;
    if (!written || KA_Card_Release(&card) != KA_OK) return state.SkipWithError("create failed");
  }
}

// Seeds the store named `backend` (for KeelTest_Reset) with 10,000 cards of
// the category among as many of another.
bool SeedWalk(const std::string& backend) {
  if (KeelTest_Reset(backend.c_str()) != KA_OK) return false;
  KeelTest_SetTraceLimit(0);
  for (int i = 0; i < 2 * kWalkCards; ++i) {
    const std::string domain = "site" + std::to_string(i / 2) + ".example.com";
    if (KeelTest_SeedCard(domain.c_str(), i % 2 == 0 ? kCategory : kCategory - 1) <= 0) {
      return false;
    }
  }
  return true;
}

// The walk's SQLite database at `target`, seeded once per process where
// commits are cheap (/dev/shm) and then copied to the disk.
bool PrepareSqliteWalk(const fs::path& target) {
  if (fs::exists(target)) return true;
  const bool fast = fs::is_directory("/dev/shm");
  Folder scratch(fast ? fs::path("/dev/shm") : DiskFolder().path());
  const fs::path seeded = fast ? scratch.path() / "walk.db" : target;
  if (!SeedWalk("sqlite:" + seeded.string())) return false;
  KeelTest_Reset("memory");  // closes it: one file, ready to copy
  if (fast) fs::copy_file(seeded, target);
  return true;
}

// Walks the category reading property 1 of each card; `changed`: right
// after a write each time.
void Walk(benchmark::State& state, Backend backend, bool changed) {
  const bool ready = backend == Backend::kMemory
                         ? SeedWalk("memory")
                         : PrepareSqliteWalk(DiskFolder().path() / "walk.db") &&
                               KeelTest_Reset(BackendName(backend, "walk.db").c_str()) == KA_OK;
  uint32_t context = 0;
  uint32_t identity = 0;
  if (!ready || !OpenContext(&context, &identity)) return state.SkipWithError("no store");
  char value[4096];
  const int64_t before = ResidentBytes();
  for (auto _ : state) {
    if (changed) ChangeTheStore(state, &context);
    int visited = 0;
    uint32_t card = 0;
    for (KA_STATUS s = KA_Id_GetCard(&identity, nullptr, kCategory, 1, &card); s == KA_OK;
         s = KA_Id_GetCard(&identity, nullptr, kCategory, 2, &card)) {
      uint32_t size = 0;
      if (KA_Card_GetProperty(&card, 1, sizeof value, value, &size) != KA_OK) {
        return state.SkipWithError("read failed");
      }
      KA_Card_Release(&card);
      ++visited;
    }
    if (visited != kWalkCards) return state.SkipWithError("walk missed cards");
  }
  state.SetItemsProcessed(state.iterations() * kWalkCards);
  ReportMemory(state, before);
}

void BM_WalkTenThousandCards(benchmark::State& state, Backend backend) {
  Walk(state, backend, false);
}

void BM_WalkTenThousandCardsAfterAWrite(benchmark::State& state, Backend backend) {
  Walk(state, backend, true);
}

BENCHMARK_CAPTURE(BM_ClientOpenings, memory, Backend::kMemory)->Iterations(1000000);
BENCHMARK_CAPTURE(BM_ClientOpenings, sqlite, Backend::kSqlite)->Iterations(1000000);
BENCHMARK_CAPTURE(BM_PropertyRead, memory, Backend::kMemory);
BENCHMARK_CAPTURE(BM_PropertyRead, sqlite, Backend::kSqlite);
BENCHMARK_CAPTURE(BM_PropertyReadAfterAWrite, memory, Backend::kMemory);
BENCHMARK_CAPTURE(BM_PropertyReadAfterAWrite, sqlite, Backend::kSqlite);
BENCHMARK_CAPTURE(BM_PropertyWrite, memory, Backend::kMemory);
BENCHMARK_CAPTURE(BM_PropertyWrite, sqlite, Backend::kSqlite);
BENCHMARK_CAPTURE(BM_CreateCardWithFourProperties, memory, Backend::kMemory);
BENCHMARK_CAPTURE(BM_CreateCardWithFourProperties, sqlite, Backend::kSqlite);
BENCHMARK_CAPTURE(BM_WalkTenThousandCards, memory, Backend::kMemory)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WalkTenThousandCards, sqlite, Backend::kSqlite)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WalkTenThousandCardsAfterAWrite, memory, Backend::kMemory)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WalkTenThousandCardsAfterAWrite, sqlite, Backend::kSqlite)
    ->Unit(benchmark::kMillisecond);

}  // namespace
