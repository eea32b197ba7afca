// The record the sink is handed: its fields, the printf-like conversions of
// its text, and the sink's own rules.  Texts go through the shared UTF-16
// converter, whose own tests cover lone surrogates and every scalar value.
#include <chrono>
#include <climits>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>

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
  EXPECT_EQ(std::tie(r.file, r.function, r.line, r.level, r.module, r.text, r.process_id),
            std::make_tuple("src\\Domain.cpp", "GetDomain", 42, 3, "Data\xC3\xA9\xF0\x9F\x98\x80",
                            "Entering GetDomain()", CurrentProcessId()));
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
  EXPECT_EQ(std::tie(r.file, r.function, r.module, r.text, r.line),
            std::make_tuple("(null)", "(null)", "(null)", "(null)", -1));
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

using KSLogFormatTest = LogTest;

// The text LogEx makes of `format` and `args`.
template <typename... Args>
std::string Formatted(const WCHAR* format, Args... args) {
  CapturingSink sink;
  LogEx(KS_TEST_FILE, KS_TEXT("Formatted"), 1, 1, KS_TEXT("Test"), format, args...);
  const std::vector<Captured> records = sink.records();
  if (records.size() != 1) return "<" + std::to_string(records.size()) + " records>";
  return records[0].text;
}

TEST_F(KSLogFormatTest, ConversionsReadTheirArgumentsAsDocumented) {
  std::basic_string<WCHAR> long_format(9000, 'f'), long_argument(12000, 'a');
  long_format += KS_TEXT("%s|");
  const std::pair<std::string, std::string> cases[] = {
      {Formatted(KS_TEXT("%i"), int32_t{-42}), "-42"},
      {Formatted(KS_TEXT("%d"), int32_t{INT32_MIN}), "-2147483648"},
      {Formatted(KS_TEXT("%i"), int32_t{INT32_MAX}), "2147483647"},
      {Formatted(KS_TEXT("%u"), uint32_t{0xFFFFFFFFu}), "4294967295"},
      {Formatted(KS_TEXT("%x"), uint32_t{0xBEEFu}), "beef"},
      {Formatted(KS_TEXT("%X"), uint32_t{0xDEADBEEFu}), "DEADBEEF"},
      {Formatted(KS_TEXT("%li"), int64_t{INT64_MIN}), "-9223372036854775808"},
      {Formatted(KS_TEXT("%lli"), int64_t{INT64_MAX}), "9223372036854775807"},
      {Formatted(KS_TEXT("%ld"), int64_t{-1}), "-1"},
      {Formatted(KS_TEXT("%lu"), uint64_t{UINT64_MAX}), "18446744073709551615"},
      {Formatted(KS_TEXT("%llu"), uint64_t{1} << 40), "1099511627776"},
      {Formatted(KS_TEXT("%lx"), uint64_t{0x123456789ABCDEF0u}), "123456789abcdef0"},
      {Formatted(KS_TEXT("%llX"), uint64_t{0xFEDCBA9876543210u}), "FEDCBA9876543210"},
      {Formatted(KS_TEXT("<%s>"), KS_TEXT("hello")), "<hello>"},
      {Formatted(KS_TEXT("%s"), KS_TEXT("a\U0001F600b")), "a\xF0\x9F\x98\x80" "b"},
      {Formatted(KS_TEXT("\U00010348 %i"), int32_t{1}), "\xF0\x90\x8D\x88 1"},
      {Formatted(KS_TEXT("%s|%i"), static_cast<const WCHAR*>(nullptr), int32_t{3}), "(null)|3"},
      {Formatted(KS_TEXT("100%% of %i"), int32_t{5}), "100% of 5"},
      {Formatted(KS_TEXT("%s=%i (%u) %li"), KS_TEXT("k"), int32_t{-1}, uint32_t{2}, int64_t{3}),
       "k=-1 (2) 3"},
      // Flags and widths.
      {Formatted(KS_TEXT("%08X"), uint32_t{0xBEEFu}), "0000BEEF"},
      {Formatted(KS_TEXT("%05i"), int32_t{-42}), "-0042"},
      {Formatted(KS_TEXT("%-5i|"), int32_t{42}), "42   |"},
      {Formatted(KS_TEXT("%5s|"), KS_TEXT("ab")), "   ab|"},
      {Formatted(KS_TEXT("%-4s|"), KS_TEXT("ab")), "ab  |"},
      {Formatted(KS_TEXT("%2i"), int32_t{12345}), "12345"},
      // Long texts are not cut.
      {Formatted(long_format.c_str(), long_argument.c_str()),
       std::string(9000, 'f') + std::string(12000, 'a') + "|"},
  };
  for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
}

// What is not understood is written as it stands and leaves the arguments
// alone: the %i after it still gets the first argument.  A trailing % is
// literal.
TEST_F(KSLogFormatTest, MalformedConversionsAreLiteralAndConsumeNothing) {
  const std::pair<const WCHAR*, std::string> cases[] = {
      {KS_TEXT("%q %i"), "%q 7"},         {KS_TEXT("%ls %i"), "%ls 7"},
      {KS_TEXT("%5.2f %i"), "%5.2f 7"},   {KS_TEXT("%lll %i"), "%lll 7"},
      {KS_TEXT("%1000i %i"), "%1000i 7"}, {KS_TEXT("%*i %i"), "%*i 7"},
      {KS_TEXT("%+i %i"), "%+i 7"},       {KS_TEXT("%5% %i"), "%5% 7"},
      {KS_TEXT("100%"), "100%"},          {KS_TEXT("%"), "%"},
      {KS_TEXT("%l"), "%l"},              {KS_TEXT("%-0"), "%-0"},
  };
  for (const auto& [format, want] : cases) EXPECT_EQ(Formatted(format, int32_t{7}), want);
}

}  // namespace
}  // namespace kslog_test
