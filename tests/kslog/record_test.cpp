// The record the sink is handed, and the sink's own rules.
#include <chrono>
#include <stdexcept>
#include <thread>

#include "log_test_support.h"

namespace kslog_test {
namespace {

using KSLogRecordTest = LogTest;

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

TEST_F(KSLogRecordTest, CarriesTheSixArgumentsTheTextAndWhereWhenAndWhichThread) {
  CapturingSink sink;
  const int64_t before = NowMs();
  EXPECT_EQ(LogEx(KS_TEXT("src\\Domain.cpp"), KS_TEXT("GetDomain"), 42, 3,
                  KS_TEXT("Data\u00e9\U0001F600"), KS_TEXT("Entering %s"), KS_TEXT("GetDomain()")),
            0);
  const int64_t after = NowMs();
  std::thread([] { LogText(1, KS_TEXT("other")); }).join();
  LogText(1, KS_TEXT("main again"));
  const std::vector<Captured> records = sink.records();
  ASSERT_EQ(records.size(), 3u);
  const Captured& r = records[0];
  EXPECT_EQ((std::vector<std::string>{r.file, r.function, r.module, r.text}),
            (std::vector<std::string>{"src\\Domain.cpp", "GetDomain",
                                      "Data\xC3\xA9\xF0\x9F\x98\x80", "Entering GetDomain()"}));
  EXPECT_EQ(r.line, 42);
  EXPECT_EQ(r.level, 3);
  EXPECT_EQ(r.process_id, CurrentProcessId());
  EXPECT_GE(r.time_ms, before);
  EXPECT_LE(r.time_ms, after);
  EXPECT_NE(r.thread_id, 0u);
  EXPECT_EQ(r.thread_id, records[2].thread_id);
  EXPECT_NE(r.thread_id, records[1].thread_id);
}

TEST_F(KSLogRecordTest, NullArgumentsReadNullAndStillLog) {
  CapturingSink sink;
  EXPECT_EQ(LogEx(nullptr, nullptr, -1, 1, nullptr, nullptr), 0);
  const std::vector<Captured> records = sink.records();
  ASSERT_EQ(records.size(), 1u);
  const Captured& r = records[0];
  EXPECT_EQ((std::vector<std::string>{r.file, r.function, r.module, r.text}),
            std::vector<std::string>(4, "(null)"));
  EXPECT_EQ(r.line, -1);
  EXPECT_EQ(ReadLines(log_path()).size(), 1u);
}

TEST_F(KSLogRecordTest, ReplacedOrRemovedSinkIsNoLongerCalled) {
  std::vector<Captured> first_seen;
  {
    CapturingSink first;
    LogText(1, KS_TEXT("x"));
    {
      CapturingSink second;  // replaces `first`
      LogText(1, KS_TEXT("x"));
      LogText(1, KS_TEXT("x"));
      EXPECT_EQ(second.records().size(), 2u);
    }  // removes the sink altogether
    LogText(1, KS_TEXT("x"));
    first_seen = first.records();
  }
  EXPECT_EQ(first_seen.size(), 1u);
  EXPECT_EQ(ReadLines(log_path()).size(), 4u);  // the file got every line
}

// A sink that logs: its own line is written, not handed back to it (which
// would never end), and nothing deadlocks.
TEST_F(KSLogRecordTest, SinkMayLogAndRemoveItself) {
  static int calls;
  calls = 0;
  KSLog_SetSink(
      [](void*, const KSLogRecord*) {
        ++calls;
        LogText(1, KS_TEXT("from the sink"));
        KSLog_SetSink(nullptr, nullptr);
      },
      nullptr);
  LogText(1, KS_TEXT("first"));
  LogText(1, KS_TEXT("second"));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(ReadLines(log_path()).size(), 3u);
}

TEST_F(KSLogRecordTest, ThrowingSinkDoesNotReachTheCaller) {
  KSLog_SetSink([](void*, const KSLogRecord*) { throw std::runtime_error("sink"); }, nullptr);
  int result = 0;
  EXPECT_NO_THROW(result = LogText(1, KS_TEXT("x")));
  KSLog_SetSink(nullptr, nullptr);
  EXPECT_EQ(result, -1);
}

}  // namespace
}  // namespace kslog_test
