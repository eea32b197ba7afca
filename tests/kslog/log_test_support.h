// log_test_support.h - what KSLog's tests share: a sink that keeps what it
// is handed, and a fixture that points KSLog at a scratch file.
#ifndef KSLOG_TEST_SUPPORT_H_
#define KSLOG_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "KSLog.h"
#include "KSLogSink.h"
#include "common/scoped_env.h"

// A source file name for LogEx in a test.
#define KS_TEST_FILE KS_TEXT("tests/kslog/test.cpp")

namespace kslog_test {

// A plain line at `level`: "Mod tests/kslog/test.cpp Func:7 <text>".
inline int LogText(int32_t level, const WCHAR* text) {
  return LogEx(KS_TEST_FILE, KS_TEXT("Func"), 7, level, KS_TEXT("Mod"), KS_TEXT("%s"), text);
}

// A KSLogRecord with its texts copied.
struct Captured {
  int64_t time_ms;
  uint32_t process_id;
  uint64_t thread_id;
  std::string file, function;
  int32_t line, level;
  std::string module, text;
};

// Is the sink for its lifetime and keeps every record it is handed.
class CapturingSink {
 public:
  CapturingSink() { KSLog_SetSink(&Receive, this); }
  ~CapturingSink() { KSLog_SetSink(nullptr, nullptr); }
  std::vector<Captured> records() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
  }

 private:
  static void Receive(void* user, const KSLogRecord* r) {
    auto* self = static_cast<CapturingSink*>(user);
    std::lock_guard<std::mutex> lock(self->mutex_);
    self->records_.push_back({r->time_ms, r->process_id, r->thread_id, r->file, r->function,
                              r->line, r->level, r->module, r->text});
  }
  mutable std::mutex mutex_;
  std::vector<Captured> records_;
};

inline uint32_t CurrentProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<uint32_t>(getpid());
#endif
}

using testenv::ScopedEnv;

// Each test starts with KSLOG_FILE = log_path() in a fresh scratch folder and
// KSLOG_LEVEL unset, re-read; the environment and settings are put back after.
class LogTest : public ::testing::Test {
 protected:
  LogTest() {
    static std::atomic<int> count{0};
    scratch_ = std::filesystem::temp_directory_path() /
               ("kslog_test_" + std::to_string(CurrentProcessId()) + "_" +
                std::to_string(count++));
    std::filesystem::remove_all(scratch_);
    std::filesystem::create_directories(scratch_);
  }
  void SetUp() override { Configure(log_path()); }
  void TearDown() override {
    file_env_.reset();
    level_env_.reset();
    KSLog_Reconfigure();  // lets go of our file before the folder goes
    std::error_code ignored;
    std::filesystem::remove_all(scratch_, ignored);
  }
  // Sets KSLOG_FILE and KSLOG_LEVEL (nullopt: unset) and has KSLog re-read them.
  void Configure(const std::optional<std::string>& file,
                 const std::optional<std::string>& level = std::nullopt) {
    file_env_.reset();  // the originals come back first, so TearDown restores them
    level_env_.reset();
    file_env_.emplace("KSLOG_FILE", file);
    level_env_.emplace("KSLOG_LEVEL", level);
    KSLog_Reconfigure();
  }
  std::string log_path() const { return (scratch_ / "test.log").string(); }

  std::filesystem::path scratch_;

 private:
  std::optional<ScopedEnv> file_env_, level_env_;
};

// The bytes of a file; empty when it does not exist.
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The lines of a file, without their '\n'; none when it does not exist.
// While a process writes the file, space reserved for lines to come is
// zero bytes, which are not lines yet; and a reservation that others wrote
// after becomes a line of spaces, which is no line either.
inline std::vector<std::string> ReadLines(const std::filesystem::path& path) {
  std::vector<std::string> lines;
  std::string bytes = ReadFile(path);
  bytes.erase(std::remove(bytes.begin(), bytes.end(), '\0'), bytes.end());
  std::istringstream in(bytes);
  for (std::string line; std::getline(in, line);) {
    if (line.find_first_not_of(' ') != std::string::npos) lines.push_back(line);
  }
  return lines;
}

}  // namespace kslog_test

#endif  // KSLOG_TEST_SUPPORT_H_
