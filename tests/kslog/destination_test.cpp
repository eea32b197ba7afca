// Where lines go (KSLOG_FILE), which are kept (KSLOG_LEVEL), and how a
// written line looks.
#include <cerrno>
#include <filesystem>
#include <regex>

#include "log_test_support.h"

namespace kslog_test {
namespace {

namespace fs = std::filesystem;
using KSLogDestinationTest = LogTest;

// Controls are escaped in the file only: the sink gets the text as given.
TEST_F(KSLogDestinationTest, WritesOneLineInTheDocumentedLayoutWithControlsEscaped) {
  CapturingSink sink;
  ASSERT_EQ(LogEx(KS_TEXT("src\\Domain.cpp"), KS_TEXT("GetDomain"), 42, 2, KS_TEXT("DataManager"),
                  KS_TEXT("Entering %s, %i left"), KS_TEXT("GetDomain()"), int32_t{3}),
            0);
  LogEx(KS_TEXT("a\nb.cpp"), KS_TEXT("F"), 1, 1, KS_TEXT(""), KS_TEXT("one\ntwo\r\tthree\x01"));
  const std::vector<std::string> lines = ReadLines(log_path());
  ASSERT_EQ(lines.size(), 2u);
  const std::regex layout(
      R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[(\d+):(\d+)\] )"
      R"(L2 DataManager src\\Domain\.cpp GetDomain:42 Entering GetDomain\(\), 3 left$)");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(lines[0], match, layout)) << lines[0];
  EXPECT_EQ(match[1].str(), std::to_string(CurrentProcessId()));
  EXPECT_NE(lines[1].find(" L1 - a\\nb.cpp F:1 one\\ntwo\\r\\tthree\\x01"), std::string::npos)
      << lines[1];
  ASSERT_EQ(sink.records().size(), 2u);
  EXPECT_EQ(sink.records()[1].text, "one\ntwo\r\tthree\x01");
}

TEST_F(KSLogDestinationTest, LevelFiltersTheFileButNotTheSinkAndEachLineNamesItsOwnPlace) {
  Configure(log_path(), "2");
  CapturingSink sink;
  LogEx(KS_TEXT("a.cpp"), KS_TEXT("First"), 1, 2, KS_TEXT("One"), KS_TEXT("written"));
  LogEx(KS_TEXT("b.cpp"), KS_TEXT("Second"), 2, 1, KS_TEXT("Two"), KS_TEXT("filtered"));
  LogEx(KS_TEXT("b.cpp"), KS_TEXT("Second"), 3, 3, KS_TEXT("Two"), KS_TEXT("written"));
  EXPECT_EQ(sink.records().size(), 3u);
  const std::vector<std::string> lines = ReadLines(log_path());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find(" L2 One a.cpp First:1 written"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find(" L3 Two b.cpp Second:3 written"), std::string::npos) << lines[1];
}

TEST_F(KSLogDestinationTest, LevelThatIsNotAWholeNumberKeepsTheDefault) {
  for (const char* level : {"abc", "3x", "", " 2", "99999999999"}) {
    Configure(log_path(), level);
    LogText(1, KS_TEXT("kept"));
  }
  Configure(log_path(), "-5");  // a whole number, so it counts
  LogText(-5, KS_TEXT("kept"));
  LogText(-6, KS_TEXT("dropped"));
  EXPECT_EQ(ReadLines(log_path()).size(), 6u);
}

TEST_F(KSLogDestinationTest, SettingsAreReadOnceUntilReconfigured) {
  LogText(1, KS_TEXT("one"));
  const fs::path other = scratch_ / "other.log";
  ScopedEnv changed("KSLOG_FILE", other.string());  // not re-read yet
  LogText(1, KS_TEXT("two"));
  EXPECT_EQ(ReadLines(log_path()).size(), 2u);
  KSLog_Reconfigure();
  LogText(1, KS_TEXT("three"));
  EXPECT_EQ(ReadLines(log_path()).size(), 2u);
  EXPECT_EQ(ReadLines(other).size(), 1u);
}

// A line too long for the mapped room is written apart, but in its place
// among the thread's lines.
TEST_F(KSLogDestinationTest, LineTooLongToMapKeepsItsPlace) {
  const std::basic_string<WCHAR> long_text(300 << 10, 'l');
  for (const WCHAR* text : {KS_TEXT("before"), long_text.c_str(), KS_TEXT("after")}) {
    LogText(1, text);
  }
  std::vector<size_t> text_sizes;
  for (const std::string& line : ReadLines(log_path())) {
    text_sizes.push_back(line.size() - line.rfind(' ') - 1);
  }
  EXPECT_EQ(text_sizes, (std::vector<size_t>{6, long_text.size(), 5}));
}

// KSLOG_FILE: "off" writes nowhere, "-" to standard error, unset or empty
// to the per-user default; a file that cannot be opened drops the line and
// LogEx answers -1.  Whatever the destination, the sink sees the line and
// errno is left alone.
TEST_F(KSLogDestinationTest, FileSettingNamesWhereLinesGo) {
  const fs::path state = scratch_ / "state", missing = scratch_ / "missing" / "x.log";
#ifdef _WIN32
  ScopedEnv base("LOCALAPPDATA", state.string());
  fs::create_directories(state);
#else
  ScopedEnv base("XDG_STATE_HOME", state.string());  // created by KSLog, as are its parents
#endif
  const fs::path per_user = state / "Halvorn" / "KSLog.log";
  const struct {
    std::optional<std::string> setting;
    int result;
    bool to_stderr;
    size_t per_user_lines;  // so far
  } cases[] = {
      {"off", 0, false, 0},           {"-", 0, true, 0},
      {std::nullopt, 0, false, 1},    {"", 0, false, 2},
      {missing.string(), -1, false, 2}, {scratch_.string(), -1, false, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting.value_or("unset"));
    Configure(c.setting);
    CapturingSink sink;
    ::testing::internal::CaptureStderr();
    errno = EDOM;
    EXPECT_EQ(LogText(1, KS_TEXT("x")), c.result);
    EXPECT_EQ(errno, EDOM);
    const std::string written = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(written.find(" Mod tests/kslog/test.cpp Func:7 x\n") != std::string::npos,
              c.to_stderr) << written;
    EXPECT_EQ(sink.records().size(), 1u);
    EXPECT_EQ(ReadLines(per_user).size(), c.per_user_lines);
  }
  EXPECT_EQ(fs::file_size(log_path()), 0u);  // the file of the first setting
  EXPECT_FALSE(fs::exists(missing));
#ifndef _WIN32
  EXPECT_EQ(fs::status(state / "Halvorn").permissions(), fs::perms::owner_all);
#endif
}

}  // namespace
}  // namespace kslog_test
