// The frames of the exports, and the calls every family refuses for a
// missing or impossible argument.
#include <functional>
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
    EXPECT_EQ(log().Texts(), (Names{"Entering " + name + "()", "Entering " + name + "()",
                                    exiting, exiting}));
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
  KS_SETTING s = {};
  KS_QL ql = {};
  KS_SHORTCUT web = {};
  web.Type = WEB;
  Fill(web.Web.Url, "http://a.example");
  WCHAR text[256];
  DWORD n = 7;
  struct Case {
    std::string call;
    std::function<BOOL()> run;
    BOOL result = 0;
    bool counted = false;
  };
  std::vector<Case> cases = {
      {"GetSOAccount, no domain", [&] { return ::GetSOAccount(KS_PROFILE_WEB, nullptr, &p); }},
      {"GetSOAccount, no record", [&] { return ::GetSOAccount(KS_PROFILE_WEB, &d, nullptr); }},
      {"GetSOAccount, type 3", [&] { return ::GetSOAccount(3, &d, &p); }},
      {"SetSOAccount", [&] { return ::SetSOAccount(KS_PROFILE_WEB, &d, nullptr); }},
      {"SetSingleOTPProfile", [&] { return ::SetSingleOTPProfile(KS_PROFILE_WEB, nullptr, &p); }},
      {"GetSOProfile", [] { return ::GetSOProfile(); }},
      {"SetSOProfile", [] { return ::SetSOProfile(); }},
      {"GetvCard", [] { return ::GetvCard(nullptr); }},
      {"SetvCard", [] { return ::SetvCard(nullptr); }},
      {"GetSetting, selector 3", [&] { return ::GetSetting(3, &s); }},
      {"SetSetting", [] { return ::SetSetting(1, nullptr); }},
      {"GetSkinIndex", [] { return ::GetSkinIndex(nullptr); }},
      {"GetHotkeyState", [&] { return ::GetHotkeyState(1, &n, nullptr, &n); }, 256},
      {"SetBioModuleParent", [] { return ::SetBioModuleParent(nullptr); }},
      {"GetVIPCID", [] { return ::GetVIPCID(nullptr); }},
      {"GetVIPOTP", [&] { return ::GetVIPOTP(nullptr, text); }},
      {"LaunchVIPPromptUIWithCmd", [] { return ::LaunchVIPPromptUIWithCmd("x", nullptr); }},
      {"SetQL", [] { return ::SetQL(1, nullptr, 3); }},
      {"DeleteQL, no array", [] { return ::DeleteQL(1, nullptr, 3); }},
      {"DeleteQL, no records", [&] { return ::DeleteQL(1, &ql, 0); }},
      {"GetShortcut, type 0", [&] { return ::GetShortcut(0, nullptr, 0, &n); }, 0, true},
  };
  for (const DWORD finger : {0u, 0x3FFu}) {  // neither is a finger
    const std::string f = " of finger " + std::to_string(finger);
    cases.push_back({"GetQL count" + f, [&n, finger] { return ::GetQL(finger, nullptr, 0, &n, 0); },
                     0, true});
    cases.push_back({"GetQL" + f, [&, finger] { return ::GetQL(finger, &ql, 1, &n, 0); }, 0, true});
    cases.push_back({"DeleteQL" + f, [&ql, finger] { return ::DeleteQL(finger, &ql, 1); }});
    cases.push_back({"DeleteQLAll" + f, [finger] { return ::DeleteQLAll(finger); }});
  }
  // The shortcut look-ups need a type and a record of that type.
  const std::vector<std::pair<std::string, BOOL (*)(KS_QL_TYPE, PKS_SHORTCUT)>> lookups = {
      {"IsShortcutExist", ::IsShortcutExist},
      {"IsShortcutShowed", ::IsShortcutShowed},
      {"SetSingleShortcut", ::SetSingleShortcut},
      {"ActivateSingleShortcut", ::ActivateSingleShortcut},
      {"IsShortcutExistUsingProfile", ::IsShortcutExistUsingProfile},
      {"IsShortcutShowedUsingProfile", ::IsShortcutShowedUsingProfile},
      {"ActivateSingleShortcutUsingProfile", ::ActivateSingleShortcutUsingProfile}};
  for (const auto& [name, lookup] : lookups) {
    cases.push_back({name + ", type 0", [&, lookup = lookup] { return lookup(0, &web); }});
    cases.push_back({name + ", LOCAL", [&, lookup = lookup] { return lookup(LOCAL, &web); }});
    cases.push_back({name + ", no record", [lookup = lookup] { return lookup(WEB, nullptr); }});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    n = 7;
    EXPECT_EQ(c.run(), c.result);
    EXPECT_EQ(n, c.counted ? 0u : 7u);
    EXPECT_EQ(KeelTest_TraceSize(), 0u);
    const std::string name = c.call.substr(0, c.call.find_first_of(", "));
    EXPECT_EQ(LastLines(log(), 1), "Exiting " + name + "() With bRet = 0") << "the frame's";
  }
}

DM_IN_MEMORY(Frames);

}  // namespace
}  // namespace dm::test
