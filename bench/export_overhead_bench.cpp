// What an export costs on top of the store calls it makes: the frame, the
// worker's opening (which asks for the App and Identity objects again), the
// by-name look-up of every store function, and the log lines, against the
// same store read called directly.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "DataManager.h"
#include "KeelAPITest.h"

namespace {

struct Setup {
  Setup() {
    // Log lines are formatted and written, to a sink that costs no disk.
    setenv("KSLOG_FILE", "/dev/null", 0);
    // DataManager's store folder, holding a link to the development store
    // this program is linked with: DataManager and the direct calls share
    // one store.
    std::string folder = (std::filesystem::temp_directory_path() / "dm-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) != nullptr) {
      root = folder;
      std::error_code ignored;
      std::filesystem::create_directories(root / "Halvorn", ignored);
      std::filesystem::create_symlink(KEELAPI_LIBRARY_PATH, root / "Halvorn" / "libKeelAPI.so",
                                      ignored);
      setenv("CommonProgramFiles", root.c_str(), 1);
    }
    KeelTest_Reset("memory");
    KeelTest_SetTraceLimit(0);  // the trace is the tests' cost, not the store's
  }
  ~Setup() {
    std::error_code ignored;
    if (!root.empty()) std::filesystem::remove_all(root, ignored);
  }
  std::filesystem::path root;
};

void SetUpOnce() { static Setup setup; }

// A store context of the touch application, holding a skin index, as the
// export's opening would leave it.
uint32_t OpenContextWithSkinIndex() {
  SetUpOnce();
  uint32_t context = 0;
  const uint8_t zeros[30] = {};
  KA_Init(zeros, "KSTouchControl", 0, &context);
  uint32_t index = 3;
  KA_SetProperty(&context, 108, &index, sizeof index);
  return context;
}

void BM_StoreReadDirect(benchmark::State& state) {
  uint32_t context = OpenContextWithSkinIndex();
  for (auto _ : state) {
    uint32_t value = 0;
    benchmark::DoNotOptimize(KA_GetProperty(&context, 108, 4, &value, nullptr));
    benchmark::DoNotOptimize(value);
  }
  KA_Free(&context);
}
BENCHMARK(BM_StoreReadDirect);

// The store calls GetSkinIndex makes once the store is open (the worker's
// opening asks for the App and the Identity again, then the read), called
// directly: what the export would cost with nothing of its own.
void BM_SkinIndexStoreCallsDirect(benchmark::State& state) {
  uint32_t context = OpenContextWithSkinIndex();
  uint32_t app = 0, identity = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(KA_GetApp(&context, 0, &app));
    benchmark::DoNotOptimize(KA_GetIdentity(&context, 0, &identity));
    uint32_t value = 0;
    benchmark::DoNotOptimize(KA_GetProperty(&context, 108, 4, &value, nullptr));
    benchmark::DoNotOptimize(value);
  }
  KA_Free(&context);
}
BENCHMARK(BM_SkinIndexStoreCallsDirect);

void BM_GetSkinIndexExport(benchmark::State& state) {
  SetUpOnce();
  DWORD index = 0;
  SetSkinIndex(3);  // opens the store once; later calls find it open
  for (auto _ : state) {
    benchmark::DoNotOptimize(GetSkinIndex(&index));
    benchmark::DoNotOptimize(index);
  }
}
BENCHMARK(BM_GetSkinIndexExport);

}  // namespace
