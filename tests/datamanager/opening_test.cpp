// How the exports open the store: the application each one names, the one
// context a process keeps, what a failed step leaves, and the unload handler.
#include <functional>

#include "DataManager.h"
#include "StoreHandles.h"
#include "support/DataManagerTest.h"
#include "support/ProfileCards.h"

namespace dm::test {
namespace {

using Openings = DataManagerTest;
using Export = std::function<BOOL()>;

BOOL CountDomains(KS_PROFILE_TYPE kind) {
  DWORD count = 0;
  return ::GetDomain(kind, nullptr, 0, &count);
}
BOOL ReadSetting(DWORD selector) {
  KS_SETTING setting = {};
  return ::GetSetting(selector, &setting);
}
BOOL WriteSkinIndex() { return ::SetSkinIndex(1); }

TEST_P(Openings, EachExportOpensTheStoreForItsApplication) {
  struct Case {
    const char* name;
    Export call;
    const char* application;
  };
  const std::vector<Case> cases = {
      {"app profiles", [] { return CountDomains(KS_PROFILE_APP); }, "KSPasswordReplacement"},
      {"web profiles", [] { return CountDomains(KS_PROFILE_WEB); }, "KSPasswordReplacement"},
      {"setting 1", [] { return ReadSetting(1); }, "KSTouchControl"},
      {"setting 2", [] { return ReadSetting(2); }, "KSAPPControl"},
      {"quick launches", WriteSkinIndex, "KSTouchControl"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FreshStore();
    c.call();
    const Names calls = StoreCallNames();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(Names(calls.begin(), calls.begin() + 3),
              (Names{"KA_Init", "KA_GetApp", "KA_GetIdentity"}));
    EXPECT_STREQ(StoreCalls()[0].text, c.application);
  }
}

TEST_P(Openings, AnUnknownKindOrSelectorIsRefusedWithoutAStoreCall) {
  const std::vector<std::pair<std::string, Export>> cases = {
      {"Profile", [] { return CountDomains(0); }},
      {"Profile", [] { return CountDomains(3); }},
      {"Setting", [] { return ReadSetting(0); }},
      {"Setting", [] { return ReadSetting(3); }},
  };
  for (const auto& [opening, call] : cases) {
    log().Clear();
    EXPECT_EQ(call(), 0);
    EXPECT_EQ(LinesOf(log(), "DataManagerUtils::Initialize" + opening),
              "Entering Initialize" + opening + "() | Exiting Initialize" + opening +
                  "() With bRet = 0");
  }
  EXPECT_EQ(KeelTest_TraceSize(), 0u);
}

TEST_P(Openings, TheFirstOpeningFixesTheApplicationAndItsHandlesForTheProcess) {
  ASSERT_EQ(ReadSetting(2), 1);
  const uint32_t open = KeelTest_OpenHandles();
  KeelTest_TraceClear();
  log().Clear();
  CountDomains(KS_PROFILE_WEB);  // no domain yet: the answer does not matter here
  // No second KA_Init: the store stays opened for "KSAPPControl", and the
  // objects asked for again are the ones already held.
  const Names calls = StoreCallNames();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(Names(calls.begin(), calls.begin() + 2), (Names{"KA_GetApp", "KA_GetIdentity"}));
  EXPECT_EQ(LinesOf(log(), "KeelAPIUtils::InitKeelAPI"), "KeelAPI Is Initialized Before");
  EXPECT_EQ(KeelTest_OpenHandles(), open) << "no handle is added by an opening";
}

// A failed step fails the export with its line; the context survives a
// failed object, so the next export asks only for the objects again.
TEST_P(Openings, AFailedStepFailsTheExportAndTheNextOneGoesOnFromWhatIsOpen) {
  struct Case {
    KeelFunction failing;
    const char* line;
    Names firstCalls, nextCalls;
  };
  const std::vector<Case> cases = {
      {KF_Init, "Initialize KeelAPI Failed With Error = -7", {"KA_Init"},
       {"KA_Init", "KA_GetApp", "KA_GetIdentity"}},
      {KF_GetApp, "Get App Failed With Error = -7", {"KA_Init", "KA_GetApp"},
       {"KA_GetApp", "KA_GetIdentity"}},
      {KF_GetIdentity, "Get Identity Failed With Error = -7",
       {"KA_Init", "KA_GetApp", "KA_GetIdentity"}, {"KA_GetApp", "KA_GetIdentity"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(KeelTest_FunctionName(c.failing));
    FreshStore();
    StoreScript script;
    script.Answer(c.failing, KA_E_STORAGE).OnCall(1);
    log().Clear();
    EXPECT_EQ(WriteSkinIndex(), 0);
    EXPECT_EQ(StoreCallNames(), c.firstCalls);
    EXPECT_EQ(log().Count(c.line), 1u);
    EXPECT_EQ(log().Texts().back(), "Exiting SetSkinIndex() With bRet = 0");
    KeelTest_TraceClear();
    WriteSkinIndex();
    const Names calls = StoreCallNames();
    ASSERT_GE(calls.size(), c.nextCalls.size());
    EXPECT_EQ(Names(calls.begin(), calls.begin() + c.nextCalls.size()), c.nextCalls);
  }
}

TEST_P(Openings, UnloadingReleasesTheObjectsThenFreesTheContextAndLogsNothing) {
  RunUnloadHandler();  // nothing open: nothing called
  EXPECT_EQ(KeelTest_TraceSize(), 0u);
  ASSERT_EQ(WriteSkinIndex(), 1);
  const StoreHandles open = Handles();
  KeelTest_TraceClear();
  log().Clear();
  RunUnloadHandler();
  Names calls;
  for (const KeelCall& c : StoreCalls()) {
    calls.push_back(std::string(KeelTest_FunctionName(c.function)) + " " + std::to_string(c.handle));
  }
  EXPECT_EQ(calls, (Names{"KA_Id_Release " + std::to_string(open.identity),
                          "KA_App_Release " + std::to_string(open.app),
                          "KA_Free " + std::to_string(open.context)}));
  EXPECT_TRUE(log().lines().empty()) << "the unload handler logs nothing";
}

DM_IN_MEMORY(Openings);

}  // namespace
}  // namespace dm::test
