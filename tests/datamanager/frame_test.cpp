// The frames of the 40 exports: entry and exit lines, the frames' own
// argument checks and the SetQL loop.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "DataManager.h"
#include "support/DataManagerTest.h"

namespace dm::test {
namespace {

using Frames = DataManagerTest;

struct ExportCase {
  const char* name;
  std::function<BOOL()> call;
  BOOL returned;     // what the export returns while its family is not built
  int workerResult;  // the bRet its exit line shows
};

// Every export whose worker family is not built yet, called with arguments
// that would make a built worker touch the store.
std::vector<ExportCase> UnbuiltExports() {
  return {
      {"SubmitRegistration", [] { return ::SubmitRegistration(); }, 0, 0},
  };
}

TEST_P(Frames, EveryUnbuiltExportWritesItsTwoLinesAndTouchesNothing) {
  for (const ExportCase& c : UnbuiltExports()) {
    SCOPED_TRACE(c.name);
    log().Clear();
    KeelTest_TraceClear();

    EXPECT_EQ(c.call(), c.returned);

    const std::string name = c.name;
    ASSERT_EQ(log().lines().size(), 2u);
    const LogLine& entry = log().lines()[0];
    const LogLine& exit = log().lines()[1];
    EXPECT_EQ(entry.text, "Entering " + name + "()");
    EXPECT_EQ(exit.text, "Exiting " + name + "() With bRet = " + std::to_string(c.workerResult));
    for (const LogLine& line : {entry, exit}) {
      EXPECT_EQ(line.file, ".\\DataManager");
      EXPECT_EQ(line.function, name);
      EXPECT_EQ(line.level, 1);
      EXPECT_EQ(line.module, "DataManager");
      EXPECT_GT(line.line, 0);
    }
    EXPECT_EQ(KeelTest_TraceSize(), 0u) << "the store was called";
  }
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

DM_ON_EVERY_BACKEND(Frames);

}  // namespace
}  // namespace dm::test
