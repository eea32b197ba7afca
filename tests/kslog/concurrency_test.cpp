// Many threads logging at once: every line arrives whole, exactly once, in
// the file and in the sink, even while the sink and the settings change.
#include <atomic>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "log_test_support.h"

namespace kslog_test {
namespace {

using KSLogConcurrencyTest = LogTest;

constexpr int32_t kThreads = 8;
constexpr int32_t kLinesPerThread = 250;
constexpr size_t kPadding = 300;  // long lines make a mixed-up write visible

// Runs kThreads threads that log their numbered lines, and waits for them.
void LogFromThreads() {
  const std::basic_string<WCHAR> padding(kPadding, 'x');
  std::vector<std::thread> threads;
  for (int32_t t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &padding] {
      for (int32_t i = 0; i < kLinesPerThread; ++i) {
        LogEx(KS_TEST_FILE, KS_TEXT("Worker"), 1, 1, KS_TEXT("Test"), KS_TEXT("t%i n%i %s"), t, i,
              padding.c_str());
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
}

// Checks that the file holds exactly one intact line per call.
void ExpectEveryLineOnceAndWhole(const std::string& path) {
  const std::vector<std::string> lines = ReadLines(path);
  EXPECT_EQ(lines.size(), size_t{kThreads} * kLinesPerThread);
  const std::regex layout(R"(^\S+ \S+ \[\d+:\d+\] L1 Test \S+ Worker:1 t(\d+) n(\d+) x{300}$)");
  std::set<std::pair<int, int>> seen;
  for (const std::string& line : lines) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, layout)) << line;
    EXPECT_TRUE(seen.insert({std::stoi(m[1].str()), std::stoi(m[2].str())}).second) << line;
  }
}

TEST_F(KSLogConcurrencyTest, ThreadsWriteExactlyTheirLinesIntact) {
  CapturingSink sink;
  LogFromThreads();
  ExpectEveryLineOnceAndWhole(log_path());
  EXPECT_EQ(sink.records().size(), size_t{kThreads} * kLinesPerThread);
}

// Swapping the sink and re-reading the settings while lines are being
// written loses no line and mixes none (AddressSanitizer watches the rest).
TEST_F(KSLogConcurrencyTest, SinkAndSettingsMayChangeWhileThreadsLog) {
  std::atomic<bool> done{false};
  std::thread changer([&done] {
    while (!done.load()) {
      KSLog_SetSink(nullptr, nullptr);
      KSLog_Reconfigure();  // same KSLOG_FILE: reopens the same file
      KSLog_SetSink([](void*, const KSLogRecord*) {}, nullptr);
      std::this_thread::yield();
    }
  });
  LogFromThreads();
  done.store(true);
  changer.join();
  KSLog_SetSink(nullptr, nullptr);
  ExpectEveryLineOnceAndWhole(log_path());
}

}  // namespace
}  // namespace kslog_test
