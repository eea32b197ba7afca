// The frames of the 40 exports: entry and exit lines, the frames' own
// argument checks and the SetQL loop.
#include <string>
#include <vector>

#include "DataManager.h"
#include "support/DataManagerTest.h"

namespace dm::test {
namespace {

using Frames = DataManagerTest;

TEST_P(Frames, AFramesLinesCarryTheExportsNameSourceLevelAndModule) {
  EXPECT_EQ(::GetSOProfile(), 0);
  const std::vector<LogLine> lines = log().lines();
  ASSERT_EQ(lines.size(), 4u);
  for (const LogLine* line : {&lines.front(), &lines.back()}) {
    EXPECT_EQ(line->file, ".\\DataManager");
    EXPECT_EQ(line->function, "GetSOProfile");
    EXPECT_EQ(line->level, 1);
    EXPECT_EQ(line->module, "DataManager");
    EXPECT_GT(line->line, 0);
  }
  EXPECT_EQ(lines.front().text, "Entering GetSOProfile()");
  EXPECT_EQ(lines.back().text, "Exiting GetSOProfile() With bRet = 0");
  EXPECT_EQ(lines[1].file, ".\\DataManagerUtils") << "the worker's own lines";
}

TEST_P(Frames, DeleteQLRefusesANullArrayOrNoRecords) {
  KS_QL ql = {};
  EXPECT_EQ(::DeleteQL(1, nullptr, 3), 0);
  EXPECT_EQ(::DeleteQL(1, &ql, 0), 0);
  EXPECT_EQ(log().Count("Exiting DeleteQL() With bRet = 0"), 2u);
  EXPECT_EQ(KeelTest_TraceSize(), 0u);
}

TEST_P(Frames, SetQLWithNoRecordsAnswersZero) {
  EXPECT_EQ(::SetQL(1, nullptr, 0), 0);
  EXPECT_EQ(::SetQL(1, nullptr, 3), 0) << "a null array is not read";
  log().Clear();
  EXPECT_EQ(::SetQL(1, nullptr, 0), 0);
  EXPECT_EQ(log().Texts(),
            (std::vector<std::string>{"Entering SetQL()", "Exiting SetQL() With bRet = 0"}));
}

DM_IN_MEMORY(Frames);

}  // namespace
}  // namespace dm::test
