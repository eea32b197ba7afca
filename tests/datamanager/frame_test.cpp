// The frames of the exports, and the calls every family refuses for a
// missing or impossible argument.
#include <string>
#include <vector>

#include "DataManager.h"
#include "support/DataManagerTest.h"
#include "support/ProfileCards.h"

namespace dm::test {
namespace {

using Frames = DataManagerTest;

TEST_P(Frames, AFramesLinesCarryTheExportsNameSourceLevelAndModule) {
  for (const std::string name : {"GetSOProfile", "SetSOProfile"}) {
    log().Clear();
    EXPECT_EQ(name == "GetSOProfile" ? ::GetSOProfile() : ::SetSOProfile(), 0);
    const std::vector<LogLine> lines = log().lines();
    ASSERT_EQ(lines.size(), 4u);
    for (const LogLine* line : {&lines.front(), &lines.back()}) {
      EXPECT_EQ(line->file, ".\\DataManager");
      EXPECT_EQ(line->function, name);
      EXPECT_EQ(line->level, 1);
      EXPECT_EQ(line->module, "DataManager");
      EXPECT_GT(line->line, 0);
    }
    EXPECT_EQ(lines[1].file, ".\\DataManagerUtils") << "the worker's own lines";
    const std::string exiting = "Exiting " + name + "() With bRet = 0";
    EXPECT_EQ(log().Texts(),
              (Names{"Entering " + name + "()", "Entering " + name + "()", exiting, exiting}));
  }
  log().Clear();
  EXPECT_EQ(::SetQL(1, nullptr, 0), 0) << "no records, nothing stored";
  EXPECT_EQ(log().Texts(), (Names{"Entering SetQL()", "Exiting SetQL() With bRet = 0"}));
}

// Each answers its failure, and the frame its exit line, without asking the
// store anything, not even to open it; a counted call answers a count of 0.
TEST_P(Frames, RefusedArgumentsNeverReachTheStore) {
  KS_DOMAIN d = Domain("site.example");
  KS_PROFILE p = Profile(KS_PROFILE_WEB, "ann");
  KS_QL ql = {};
  KS_SHORTCUT web{WEB};
  Fill(web.Web.Url, "http://a.example");
  WCHAR text[256];
  DWORD n = 7;
  // The call just made, named by its export and then what it lacks.
  auto check = [&](const std::string& call, BOOL result, BOOL expected = 0, bool counted = false) {
    SCOPED_TRACE(call);
    EXPECT_EQ(result, expected);
    EXPECT_EQ(n, counted ? 0u : 7u);
    EXPECT_EQ(KeelTest_TraceSize(), 0u);
    EXPECT_EQ(LastLines(log(), 1),
              "Exiting " + call.substr(0, call.find_first_of(", ")) + "() With bRet = 0");
    n = 7;
  };
  check("GetSOAccount, no domain", ::GetSOAccount(KS_PROFILE_WEB, nullptr, &p));
  check("GetSOAccount, no record", ::GetSOAccount(KS_PROFILE_WEB, &d, nullptr));
  check("GetSOAccount, type 3", ::GetSOAccount(3, &d, &p));
  check("SetSOAccount", ::SetSOAccount(KS_PROFILE_WEB, &d, nullptr));
  check("SetSingleOTPProfile", ::SetSingleOTPProfile(KS_PROFILE_WEB, nullptr, &p));
  check("GetSOProfile", ::GetSOProfile());
  check("SetSOProfile", ::SetSOProfile());
  check("GetvCard", ::GetvCard(nullptr));
  check("SetvCard", ::SetvCard(nullptr));
  check("SetSetting", ::SetSetting(1, nullptr));
  check("GetSkinIndex", ::GetSkinIndex(nullptr));
  check("GetHotkeyState", ::GetHotkeyState(1, &n, nullptr, &n), 256);
  check("SetBioModuleParent", ::SetBioModuleParent(nullptr));
  check("GetVIPCID", ::GetVIPCID(nullptr));
  check("GetVIPOTP", ::GetVIPOTP(nullptr, text));
  check("LaunchVIPPromptUIWithCmd", ::LaunchVIPPromptUIWithCmd("x", nullptr));
  check("SetQL", ::SetQL(1, nullptr, 3));
  check("DeleteQL, no array", ::DeleteQL(1, nullptr, 3));
  check("DeleteQL, no records", ::DeleteQL(1, &ql, 0));
  check("GetShortcut, type 0", ::GetShortcut(0, nullptr, 0, &n), 0, true);
  for (const DWORD finger : {0u, 0x3FFu}) {  // neither is a finger
    const std::string of = " of " + std::to_string(finger);
    check("GetQL count" + of, ::GetQL(finger, nullptr, 0, &n, 0), 0, true);
    check("GetQL" + of, ::GetQL(finger, &ql, 1, &n, 0), 0, true);
    check("DeleteQL" + of, ::DeleteQL(finger, &ql, 1));
    check("DeleteQLAll" + of, ::DeleteQLAll(finger));
  }
  // The shortcut look-ups need a type and a record of that type.
  const std::vector<std::pair<std::string, decltype(&::IsShortcutExist)>> lookups = {
      {"IsShortcutExist", ::IsShortcutExist},
      {"IsShortcutShowed", ::IsShortcutShowed},
      {"SetSingleShortcut", ::SetSingleShortcut},
      {"ActivateSingleShortcut", ::ActivateSingleShortcut},
      {"IsShortcutExistUsingProfile", ::IsShortcutExistUsingProfile},
      {"IsShortcutShowedUsingProfile", ::IsShortcutShowedUsingProfile},
      {"ActivateSingleShortcutUsingProfile", ::ActivateSingleShortcutUsingProfile}};
  for (const auto& [name, lookup] : lookups) {
    check(name + ", type 0", lookup(0, &web));
    check(name + ", LOCAL", lookup(LOCAL, &web));
    check(name + ", no record", lookup(WEB, nullptr));
  }
}

DM_IN_MEMORY(Frames);

}  // namespace
}  // namespace dm::test
