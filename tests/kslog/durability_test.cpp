// What a log file goes through besides single lines: threads logging at
// once, even while the sink and the settings change; and, with forked
// children standing for them, processes killed while they log, several
// processes at once, another program cutting, renaming or deleting the
// file, and a disk that is full.
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <numeric>
#include <random>
#include <regex>
#include <thread>

#ifndef _WIN32
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>

#include "common/child_process.h"
#endif
#include "log_test_support.h"

namespace kslog_test {
namespace {

namespace fs = std::filesystem;
using KSLogConcurrencyTest = LogTest;
using KSLogDurabilityTest = LogTest;

const std::basic_string<WCHAR> kPadding(90, 'p');  // lines of some 150 bytes

int LogNumbered(int32_t writer, int32_t n) {
  return LogEx(KS_TEST_FILE, KS_TEXT("Worker"), 1, 1, KS_TEXT("Test"), KS_TEXT("w%i n%i %s"),
               writer, n, kPadding.c_str());
}

// Each writer's numbers found in the file, which must be plain text: every
// line whole, no zero byte.
std::map<int, std::vector<int>> NumbersByWriter(const fs::path& path) {
  EXPECT_EQ(ReadFile(path).find('\0'), std::string::npos) << "zero bytes in " << path;
  const std::regex layout(R"(^\S+ \S+ \[\d+:\d+\] L1 Test \S+ Worker:1 w(\d+) n(\d+) p{90}$)");
  std::map<int, std::vector<int>> numbers;
  for (const std::string& line : ReadLines(path)) {
    std::smatch m;
    if (std::regex_match(line, m, layout)) {
      numbers[std::stoi(m[1].str())].push_back(std::stoi(m[2].str()));
    } else {
      ADD_FAILURE() << "not a whole line: " << line;
    }
  }
  return numbers;
}

std::vector<int> Count(int n) {  // 0 to n - 1
  std::vector<int> numbers(static_cast<size_t>(n));
  std::iota(numbers.begin(), numbers.end(), 0);
  return numbers;
}

// The file holds lines 0 to `lines` - 1 of writers 0 to `writers` - 1, each
// once and in each writer's order, and nothing else.
void ExpectEveryLine(const fs::path& path, int writers, int lines) {
  std::map<int, std::vector<int>> numbers = NumbersByWriter(path);
  EXPECT_EQ(numbers.size(), static_cast<size_t>(writers));
  for (int writer = 0; writer < writers; ++writer) {
    EXPECT_EQ(numbers[writer], Count(lines)) << "writer " << writer;
  }
}

constexpr int32_t kThreads = 8;
constexpr int32_t kLinesPerThread = 250;

// Runs kThreads threads that log their numbered lines, and waits for them.
void LogFromThreads() {
  std::vector<std::thread> threads;
  for (int32_t t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int32_t n = 0; n < kLinesPerThread; ++n) LogNumbered(t, n);
    });
  }
  for (std::thread& thread : threads) thread.join();
}

TEST_F(KSLogConcurrencyTest, ThreadsWriteExactlyTheirLinesIntact) {
  CapturingSink sink;
  LogFromThreads();
  Configure("off");  // KSLog lets go of the file: no room is kept for lines to come
  ExpectEveryLine(log_path(), kThreads, kLinesPerThread);
  EXPECT_EQ(sink.records().size(), size_t{kThreads} * kLinesPerThread);
}

// Swapping the sink and re-reading the settings while lines are being
// written loses no line, mixes none and keeps each thread's in order, though
// every reconfiguration opens the file anew (AddressSanitizer watches the
// rest).
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
  Configure("off");
  ExpectEveryLine(log_path(), kThreads, kLinesPerThread);
}

#ifndef _WIN32

using testchild::WaitFor;

// Runs `body` in a child process logging to `path`; answers its pid.
pid_t Spawn(const std::string& path, const std::function<void()>& body) {
  return testchild::Spawn([&]() -> int {
    setenv("KSLOG_FILE", path.c_str(), 1);
    KSLog_Reconfigure();
    body();
    std::exit(0);  // a clean exit, with the library's own ending
  });
}

TEST_F(KSLogDurabilityTest, KilledWritersLoseNoFinishedLineAndTheNextOpenRepairs) {
  constexpr int kKills = 100;
  const std::string path = (scratch_ / "killed.log").string();
  // What each child finished before it was killed, where the parent sees it.
  auto* finished = static_cast<std::atomic<int>*>(mmap(nullptr, sizeof(std::atomic<int>) * kKills,
                                                       PROT_READ | PROT_WRITE,
                                                       MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(finished, MAP_FAILED);
  std::mt19937 random(12345);
  for (int writer = 0; writer < kKills; ++writer) {
    finished[writer].store(0);
    const pid_t pid = Spawn(path, [&] {
      for (int32_t n = 0;; ++n) {
        LogNumbered(writer, n);
        finished[writer].store(n + 1);
      }
    });
    while (finished[writer].load() == 0) std::this_thread::yield();  // it has started
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    kill(pid, SIGKILL);
    EXPECT_EQ(WaitFor(pid), 128 + SIGKILL);
  }
  EXPECT_EQ(WaitFor(Spawn(path, [] {})), 0);  // opens the file alone: repairs it
  std::map<int, std::vector<int>> numbers = NumbersByWriter(path);
  for (int writer = 0; writer < kKills; ++writer) {
    const int done = finished[writer].load();
    std::vector<int>& found = numbers[writer];
    // The line being written at the kill may or may not have made it.
    if (found.size() == static_cast<size_t>(done) + 1) found.pop_back();
    EXPECT_EQ(found, Count(done)) << "writer " << writer;
  }
  munmap(finished, sizeof(std::atomic<int>) * kKills);
}

TEST_F(KSLogDurabilityTest, ProcessesSharingAFileLoseAndMixNothing) {
  constexpr int kWriters = 4;
  constexpr int kLines = 3000;  // more than one extent each
  const std::string path = (scratch_ / "shared.log").string();
  std::vector<pid_t> pids;
  for (int writer = 0; writer < kWriters; ++writer) {
    pids.push_back(Spawn(path, [writer] {
      for (int32_t n = 0; n < kLines; ++n) LogNumbered(writer, n);
    }));
  }
  for (pid_t pid : pids) EXPECT_EQ(WaitFor(pid), 0);
  ExpectEveryLine(path, kWriters, kLines);
}

// Another program cuts the file, renames it away, deletes it: the process
// goes on (no SIGBUS reaches it) and its lines follow the path again within
// the tenth of a second in which KSLog looks at it.
TEST_F(KSLogDurabilityTest, CutRenamedOrDeletedFileIsFollowed) {
  const fs::path path = log_path();
  const fs::path rotated = scratch_ / "test.log.1";
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"cut", [&] { fs::resize_file(path, 0); }},
      {"renamed", [&] { fs::rename(path, rotated); }},
      {"deleted", [&] { fs::remove(path); }},
  };
  for (const auto& [name, change] : changes) {
    SCOPED_TRACE(name);
    for (int32_t n = 0; n < 10; ++n) EXPECT_EQ(LogNumbered(0, n), 0);
    change();
    for (int32_t n = 10; n < 20; ++n) LogNumbered(0, n);  // may be lost, never a crash
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(LogNumbered(1, 0), 0);
    const std::vector<std::string> lines = ReadLines(path);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find(" w1 n0 "), std::string::npos);
    fs::remove(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  }
  EXPECT_EQ(ReadFile(rotated).find('\0'), std::string::npos) << "the renamed file was left";
  EXPECT_EQ(ReadLines(rotated).size(), 20u);
}

TEST_F(KSLogDurabilityTest, FullDiskDropsLinesAndNothingElse) {
  const std::string path = (scratch_ / "full.log").string();
  // The process may write 200 kB; it logs about 750.
  const pid_t pid = Spawn(path, [] {
    signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit = {200 * 1024, 200 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    int dropped = 0;
    for (int32_t n = 0; n < 5000; ++n) dropped += LogNumbered(0, n) != 0;
    std::exit(dropped > 0 && dropped < 5000 ? 0 : 1);
  });
  EXPECT_EQ(WaitFor(pid), 0) << "exits normally, having dropped some lines and not all";
  const std::vector<int> numbers = NumbersByWriter(path)[0];
  EXPECT_GT(numbers.size(), 1000u);
  EXPECT_EQ(numbers, Count(static_cast<int>(numbers.size())));
}

#endif  // !_WIN32

}  // namespace
}  // namespace kslog_test
