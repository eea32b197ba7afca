// The printf-like conversions of LogEx, seen through the text the sink is
// handed.  Texts go through the shared UTF-16 converter, whose own tests
// cover lone surrogates and every scalar value.
#include <climits>
#include <cstdint>
#include <string>

#include "log_test_support.h"

namespace kslog_test {
namespace {

class KSLogFormatTest : public LogTest {
 protected:
  void SetUp() override { Configure("off"); }  // only the sink matters here
};

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
  const struct {
    const char* what;
    std::string got;
    std::string want;
  } cases[] = {
      {"negative %i", Formatted(KS_TEXT("%i"), int32_t{-42}), "-42"},
      {"%d of INT32_MIN", Formatted(KS_TEXT("%d"), int32_t{INT32_MIN}), "-2147483648"},
      {"%i of INT32_MAX", Formatted(KS_TEXT("%i"), int32_t{INT32_MAX}), "2147483647"},
      {"%u of 0xFFFFFFFF", Formatted(KS_TEXT("%u"), uint32_t{0xFFFFFFFFu}), "4294967295"},
      {"%x", Formatted(KS_TEXT("%x"), uint32_t{0xBEEFu}), "beef"},
      {"%X", Formatted(KS_TEXT("%X"), uint32_t{0xDEADBEEFu}), "DEADBEEF"},
      {"%li of INT64_MIN", Formatted(KS_TEXT("%li"), int64_t{INT64_MIN}),
       "-9223372036854775808"},
      {"%lli of INT64_MAX", Formatted(KS_TEXT("%lli"), int64_t{INT64_MAX}),
       "9223372036854775807"},
      {"%ld", Formatted(KS_TEXT("%ld"), int64_t{-1}), "-1"},
      {"%lu of UINT64_MAX", Formatted(KS_TEXT("%lu"), uint64_t{UINT64_MAX}),
       "18446744073709551615"},
      {"%llu", Formatted(KS_TEXT("%llu"), uint64_t{1} << 40), "1099511627776"},
      {"%lx", Formatted(KS_TEXT("%lx"), uint64_t{0x123456789ABCDEF0u}), "123456789abcdef0"},
      {"%llX", Formatted(KS_TEXT("%llX"), uint64_t{0xFEDCBA9876543210u}), "FEDCBA9876543210"},
      {"%s", Formatted(KS_TEXT("<%s>"), KS_TEXT("hello")), "<hello>"},
      {"%s of a non-BMP character", Formatted(KS_TEXT("%s"), KS_TEXT("a\U0001F600b")),
       "a\xF0\x9F\x98\x80"
       "b"},
      {"non-BMP in the format", Formatted(KS_TEXT("\U00010348 %i"), int32_t{1}),
       "\xF0\x90\x8D\x88 1"},
      {"null %s", Formatted(KS_TEXT("%s|%i"), static_cast<const WCHAR*>(nullptr), int32_t{3}),
       "(null)|3"},
      {"%%", Formatted(KS_TEXT("100%% of %i"), int32_t{5}), "100% of 5"},
      {"order of arguments",
       Formatted(KS_TEXT("%s=%i (%u) %li"), KS_TEXT("k"), int32_t{-1}, uint32_t{2}, int64_t{3}),
       "k=-1 (2) 3"},
      // Flags and widths.
      {"%08X", Formatted(KS_TEXT("%08X"), uint32_t{0xBEEFu}), "0000BEEF"},
      {"%05i of a negative", Formatted(KS_TEXT("%05i"), int32_t{-42}), "-0042"},
      {"%-5i", Formatted(KS_TEXT("%-5i|"), int32_t{42}), "42   |"},
      {"%5s", Formatted(KS_TEXT("%5s|"), KS_TEXT("ab")), "   ab|"},
      {"%-4s", Formatted(KS_TEXT("%-4s|"), KS_TEXT("ab")), "ab  |"},
      {"width below the length", Formatted(KS_TEXT("%2i"), int32_t{12345}), "12345"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

// What is not understood is written as it stands and leaves the arguments
// alone: the %i after it still gets the first argument.  A trailing % is
// literal.
TEST_F(KSLogFormatTest, MalformedConversionsAreLiteralAndConsumeNothing) {
  const struct {
    const WCHAR* format;
    std::string want;
  } cases[] = {
      {KS_TEXT("%q %i"), "%q 7"},         {KS_TEXT("%ls %i"), "%ls 7"},
      {KS_TEXT("%5.2f %i"), "%5.2f 7"},   {KS_TEXT("%lll %i"), "%lll 7"},
      {KS_TEXT("%1000i %i"), "%1000i 7"}, {KS_TEXT("%*i %i"), "%*i 7"},
      {KS_TEXT("%+i %i"), "%+i 7"},       {KS_TEXT("%5% %i"), "%5% 7"},
      {KS_TEXT("100%"), "100%"},          {KS_TEXT("%"), "%"},
      {KS_TEXT("%l"), "%l"},              {KS_TEXT("%-0"), "%-0"},
  };
  for (const auto& c : cases) EXPECT_EQ(Formatted(c.format, int32_t{7}), c.want);
}

TEST_F(KSLogFormatTest, LongTextsAreNotCut) {
  const std::basic_string<WCHAR> argument(12000, 'a');
  const std::basic_string<WCHAR> format = std::basic_string<WCHAR>(9000, 'f') + KS_TEXT("%s|");
  const std::string got = Formatted(format.c_str(), argument.c_str());
  EXPECT_EQ(got, std::string(9000, 'f') + std::string(12000, 'a') + "|");
}

}  // namespace
}  // namespace kslog_test
