// What an export costs on top of the store call it makes: the frame, the
// worker's opening (which asks for the App and Identity objects again), the
// by-name look-up of every store function, and the log lines, against the
// same store read called directly.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "DataManager.h"
#include "KeelAPITest.h"

namespace {

struct Setup {
  Setup() {
    // Log lines are formatted and written, to a sink that costs no disk.
    setenv("KSLOG_FILE", "/dev/null", 0);
    // Our store, found by bare name next to DataManager.
    setenv("CommonProgramFiles", "/nonexistent-common-files", 1);
    KeelTest_Reset("memory");
    KeelTest_SetTraceLimit(0);  // the trace is the tests' cost, not the store's
  }
};

void BM_StoreReadDirect(benchmark::State& state) {
  static Setup setup;
  uint32_t context = 0;
  const uint8_t zeros[30] = {};
  KA_Init(zeros, "KSTouchControl", 0, &context);
  uint32_t index = 3;
  KA_SetProperty(&context, 108, &index, sizeof index);
  for (auto _ : state) {
    uint32_t value = 0;
    benchmark::DoNotOptimize(KA_GetProperty(&context, 108, 4, &value, nullptr));
    benchmark::DoNotOptimize(value);
  }
  KA_Free(&context);
}
BENCHMARK(BM_StoreReadDirect);

void BM_GetSkinIndexExport(benchmark::State& state) {
  static Setup setup;
  DWORD index = 0;
  SetSkinIndex(3);  // opens the store once; later calls find it open
  for (auto _ : state) {
    benchmark::DoNotOptimize(GetSkinIndex(&index));
    benchmark::DoNotOptimize(index);
  }
}
BENCHMARK(BM_GetSkinIndexExport);

}  // namespace
