// KSLog's lines per second to a file, side by side with a buffered logger
// (spdlog's basic_file_sink_mt, which keeps lines in its buffer until it
// fills, so that a killed process loses them) and the same logger flushing
// every line (which loses nothing, like KSLog).  One and two threads; lines
// of about 140 bytes, to files in a fresh temporary folder (in the page
// cache).  Run: build/default/bin/kslog_bench
#include <benchmark/benchmark.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "KSLog.h"
#include "KSLogSink.h"

namespace {

namespace fs = std::filesystem;

// The temporary folder, and KSLog pointed at a file in it, for the run.
struct Folder {
  Folder() {
    std::string name = (fs::temp_directory_path() / "kslog-bench-XXXXXX").string();
    if (mkdtemp(name.data()) != nullptr) path = name;
    setenv("KSLOG_FILE", (path / "kslog.log").c_str(), 1);
    KSLog_Reconfigure();
  }
  ~Folder() {
    setenv("KSLOG_FILE", "off", 1);
    KSLog_Reconfigure();
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  fs::path path;
};

Folder& TheFolder() {
  static Folder folder;
  return folder;
}

// A line such as an export writes; the text makes it 120-160 bytes long.
void BM_KSLog(benchmark::State& state) {
  TheFolder();
  int32_t n = 0;
  for (auto _ : state) {
    LogEx(KS_TEXT(".\\DataManagerUtils"), KS_TEXT("DataManagerUtils::GetDomain"), 42, 1,
          KS_TEXT("DataManager"), KS_TEXT("Exiting GetDomain() With bRet = %i; Count = %u"),
          int32_t{1}, ++n);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KSLog)->Threads(1)->Threads(2)->UseRealTime();

// The same line with the same fields, through spdlog.
std::shared_ptr<spdlog::logger> MakeLogger(const char* name, bool flush_every_line) {
  auto logger = spdlog::get(name);
  if (logger) return logger;
  logger = spdlog::basic_logger_mt(name, (TheFolder().path / (std::string(name) + ".log")).string());
  logger->set_pattern("%Y-%m-%d %H:%M:%S.%e [%P:%t] L%l %v");
  if (flush_every_line) logger->flush_on(spdlog::level::trace);
  return logger;
}

void LogThroughSpdlog(benchmark::State& state, const char* name, bool flush_every_line) {
  const std::shared_ptr<spdlog::logger> logger = MakeLogger(name, flush_every_line);
  int32_t n = 0;
  for (auto _ : state) {
    logger->info("{} {} {}:{} Exiting GetDomain() With bRet = {}; Count = {}", "DataManager",
                 ".\\DataManagerUtils", "DataManagerUtils::GetDomain", 42, 1, ++n);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_SpdlogBuffered(benchmark::State& state) { LogThroughSpdlog(state, "buffered", false); }
BENCHMARK(BM_SpdlogBuffered)->Threads(1)->Threads(2)->UseRealTime();

void BM_SpdlogFlushEveryLine(benchmark::State& state) {
  LogThroughSpdlog(state, "flushed", true);
}
BENCHMARK(BM_SpdlogFlushEveryLine)->Threads(1)->Threads(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
