// The worker's three openings and the unload handler.
#include <functional>
#include <tuple>

#include "DataManagerUtils.h"
#include "StoreHandles.h"
#include "support/DataManagerTest.h"

namespace dm::test {
namespace {

using Openings = DataManagerTest;

TEST_P(Openings, EachOpeningNamesItsApplication) {
  struct Case {
    const char* opening;
    std::function<BOOL(DataManagerUtils&)> open;
    const char* application;
  };
  const std::vector<Case> cases = {
      {"profile, app kind", [](DataManagerUtils& w) { DWORD c; return w.InitializeProfile(1, &c); },
       "KSPasswordReplacement"},
      {"profile, web kind", [](DataManagerUtils& w) { DWORD c; return w.InitializeProfile(2, &c); },
       "KSPasswordReplacement"},
      {"setting 1", [](DataManagerUtils& w) { return w.InitializeSetting(1); }, "KSTouchControl"},
      {"setting 2", [](DataManagerUtils& w) { return w.InitializeSetting(2); }, "KSAPPControl"},
      {"quick launch", [](DataManagerUtils& w) { return w.InitializeQL(); }, "KSTouchControl"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.opening);
    ASSERT_EQ(KeelTest_Reset(GetParam()), KA_OK);
    ResetStoreHandlesForTesting();
    DataManagerUtils worker;
    EXPECT_EQ(c.open(worker), 1);
    ASSERT_EQ(StoreCallNames(), (Names{"KA_Init", "KA_GetApp", "KA_GetIdentity"}));
    EXPECT_STREQ(StoreCalls()[0].text, c.application);
  }
}

TEST_P(Openings, ProfileKindsGiveTheirCardCategoryEvenWhenTheOpeningFails) {
  DataManagerUtils worker;
  DWORD category = 12345;
  {
    StoreScript script;
    script.Answer(KF_Init, KA_E_STORAGE);
    EXPECT_EQ(worker.InitializeProfile(KS_PROFILE_APP, &category), 0);
    EXPECT_EQ(category, 998u);
    EXPECT_EQ(worker.InitializeProfile(KS_PROFILE_WEB, &category), 0);
    EXPECT_EQ(category, 999u);
  }
  // Unknown kinds and selectors are refused without a store call.
  KeelTest_TraceClear();
  log().Clear();
  EXPECT_EQ(worker.InitializeProfile(3, &category), 0);
  EXPECT_EQ(category, 0u);
  EXPECT_EQ(worker.InitializeProfile(0, &category), 0);
  EXPECT_EQ(worker.InitializeSetting(0), 0);
  EXPECT_EQ(worker.InitializeSetting(3), 0);
  EXPECT_EQ(KeelTest_TraceSize(), 0u);
  Names expected;
  for (const std::string name : {"Profile", "Profile", "Setting", "Setting"}) {
    const std::string function = "DataManagerUtils::Initialize" + name + ": ";
    expected.push_back(function + "Entering Initialize" + name + "()");
    expected.push_back(function + "Exiting Initialize" + name + "() With bRet = 0");
  }
  EXPECT_EQ(log().FunctionTexts(), expected);
}

TEST_P(Openings, TheFirstOpeningFixesTheApplicationForTheProcess) {
  DataManagerUtils worker;
  ASSERT_EQ(worker.InitializeSetting(2), 1);
  KeelTest_TraceClear();
  log().Clear();
  DWORD category = 0;
  EXPECT_EQ(worker.InitializeProfile(KS_PROFILE_WEB, &category), 1);
  // No second KA_Init: the store stays opened for "KSAPPControl".
  EXPECT_EQ(StoreCallNames(), (Names{"KA_GetApp", "KA_GetIdentity"}));
  EXPECT_EQ(log().FunctionTexts(),
            (Names{"DataManagerUtils::InitializeProfile: Entering InitializeProfile()",
                   "KeelAPIUtils::InitKeelAPI: KeelAPI Is Initialized Before",
                   "DataManagerUtils::InitializeProfile: Get App",
                   "DataManagerUtils::InitializeProfile: Get Identity",
                   "DataManagerUtils::InitializeProfile: Exiting InitializeProfile() With bRet = 1"}));
  // The App object is the one of the first application.
  char name[64] = {};
  uint32_t size = 0;
  ASSERT_EQ(KA_App_GetProperty(&Handles().app, 1, sizeof name, name, &size), KA_OK);
  EXPECT_STREQ(name, "KSAPPControl");
}

TEST_P(Openings, AFailedInitIsTriedAgainByTheNextOpening) {
  StoreScript script;
  script.Answer(KF_Init, KA_E_STORAGE).OnCall(1);
  DataManagerUtils worker;
  EXPECT_EQ(worker.InitializeQL(), 0);
  EXPECT_EQ(Handles().context, 0u);
  EXPECT_EQ(log().FunctionTexts(),
            (Names{"DataManagerUtils::InitializeQL: Entering InitializeQL()",
                   "KeelAPIUtils::InitKeelAPI: Initialize KeelAPI Failed With Error = -7",
                   "DataManagerUtils::InitializeQL: Exiting InitializeQL() With bRet = 0"}));
  EXPECT_EQ(worker.InitializeQL(), 1);
  EXPECT_NE(Handles().context, 0u);
  EXPECT_EQ(StoreCallNames(), (Names{"KA_Init", "KA_Init", "KA_GetApp", "KA_GetIdentity"}));
}

TEST_P(Openings, AFailedAppStopsBeforeTheIdentityAndKeepsTheContext) {
  StoreScript script;
  script.Answer(KF_GetApp, KA_E_STORAGE).OnCall(1);
  DataManagerUtils worker;
  EXPECT_EQ(worker.InitializeQL(), 0);
  EXPECT_EQ(StoreCallNames(), (Names{"KA_Init", "KA_GetApp"}));
  EXPECT_EQ(log().Count("Get App Failed With Error = -7"), 1u);
  EXPECT_EQ(log().lines()[2].function, "KeelAPIUtils::GetApp");
  // The context stays open: the next opening asks only for the objects.
  KeelTest_TraceClear();
  EXPECT_EQ(worker.InitializeQL(), 1);
  EXPECT_EQ(StoreCallNames(), (Names{"KA_GetApp", "KA_GetIdentity"}));
}

TEST_P(Openings, AFailedIdentityFailsTheOpening) {
  StoreScript script;
  script.Answer(KF_GetIdentity, KA_E_STORAGE);
  EXPECT_EQ(DataManagerUtils().InitializeSetting(1), 0);
  EXPECT_EQ(log().Count("Get Identity Failed With Error = -7"), 1u);
  EXPECT_EQ(log().Texts().back(), "Exiting InitializeSetting() With bRet = 0");
}

TEST_P(Openings, EveryOpeningAsksForTheObjectsAgainAndGetsTheHandlesItHolds) {
  DataManagerUtils worker;
  ASSERT_EQ(worker.InitializeQL(), 1);
  const StoreHandles first = Handles();
  const uint32_t open = KeelTest_OpenHandles();
  ASSERT_EQ(worker.InitializeQL(), 1);
  EXPECT_EQ(std::tie(Handles().context, Handles().app, Handles().identity),
            std::tie(first.context, first.app, first.identity));
  EXPECT_EQ(KeelTest_OpenHandles(), open) << "no handle is added by an opening";
}

TEST_P(Openings, UnloadingReleasesTheObjectsThenFreesTheContextAndLogsNothing) {
  RunUnloadHandler();  // nothing open: nothing called
  EXPECT_EQ(KeelTest_TraceSize(), 0u);
  DataManagerUtils worker;
  ASSERT_EQ(worker.InitializeQL(), 1);
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
