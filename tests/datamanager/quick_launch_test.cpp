// Quick launches: macros filed under a finger, read, tested, bound and
// removed through the exports.
#include <string>
#include <vector>

#include "DataManager.h"
#include "support/DataManagerTest.h"
#include "support/ProfileCards.h"

namespace dm::test {
namespace {

using QuickLaunch = DataManagerTest;
using Texts = std::vector<std::string>;

constexpr DWORD kFinger = 0x004;

int64_t SeedLaunch(DWORD finger, const std::string& target) {
  const int64_t macro = KeelTest_SeedMacro(finger);
  EXPECT_GT(macro, 0);
  KeelTest_SetProperty(macro, 100, KA_ATTR_PLAIN, target.c_str(), -1);
  return macro;
}

KS_QL Launch(KS_QL_TYPE type, const std::string& target, DWORD action = 0) {
  KS_QL ql{type};
  Fill(ql.Url, target);
  if (type == ACTION) ql.ActionType = action;
  return ql;
}

// "WEB <url> <login>", "LOCAL <path>" or "ACTION <n>" for each record GetQL
// fills in.
Texts Read(DWORD finger, DWORD capacity = 10, BOOL sso = FALSE) {
  std::vector<KS_QL> records(capacity);
  DWORD n = 0;
  ::GetQL(finger, records.data(), capacity, &n, sso);
  Texts out;
  for (DWORD i = 0; i < n; ++i) {
    const KS_QL& r = records[i];
    out.push_back(r.Type == WEB     ? "WEB " + Utf8(r.Url) + " " + Utf8(r.LoginURL)
                  : r.Type == LOCAL ? "LOCAL " + Utf8(r.Path)
                                    : "ACTION " + std::to_string(r.ActionType));
  }
  return out;
}

std::vector<int16_t> Modes() {
  std::vector<int16_t> modes;
  for (const KeelCall& c : CallsOf(KF_Id_GetMacro)) modes.push_back(c.mode);
  return modes;
}

// The target texts of every macro of the store, in creation order.
Texts AllTargets() {
  Texts out;
  for (int64_t m : Objects(KEEL_MACRO)) out.push_back(CardText(m, 100).value_or("(none)"));
  return out;
}

TEST_P(QuickLaunch, TargetsAreClassifiedByTheirPrefix) {
  for (const char* target : {"http://a.example", "HTTP://B.EXAMPLE", "https://c.example",
                             "file:///tmp/x", "action://lock/", "action://dance/",
                             "action://myvideos/", "ftp://d.example", "\xC3\x28"}) {
    SeedLaunch(kFinger, target);
  }
  KeelTest_SeedMacro(kFinger);  // no target at all
  DWORD count = 0;
  EXPECT_EQ(::GetQL(kFinger, nullptr, 0, &count, FALSE), 1);
  EXPECT_EQ(count, 9u) << "every target with a length counts";
  EXPECT_EQ(Read(kFinger), (Texts{"WEB http://a.example http://a.example",
                                  "WEB https://c.example https://c.example", "LOCAL tmp/x",
                                  "ACTION 1", "ACTION 10"}));
  EXPECT_EQ(log().Count("FingerIndex Is 4, Input Count Is 10, SSOTriggered = 0"), 1u);
  EXPECT_EQ(log().Count("QL Type Is WEB; Url Is http://a.example"), 1u);
  EXPECT_EQ(log().Count("QL Type Is LOCAL; Path Is tmp/x"), 1u);
  EXPECT_EQ(log().Count("QL Type Is ACTION; ACTION Type Is 10"), 1u);
  for (const DWORD capacity : {2u, 5u}) {  // full, with more waiting or not
    log().Clear();
    EXPECT_EQ(Read(kFinger, capacity).size(), capacity);
    EXPECT_EQ(log().Count("Input Buffer Is Not Enough. So Break Here"), 1u);
    EXPECT_EQ(log().Count("Exiting GetQL() With bRet = 1; Count = " + std::to_string(capacity)),
              1u);
  }
}

TEST_P(QuickLaunch, AWebLaunchTakesItsLoginAddressFromTheLinkedCard) {
  struct Case {
    const char* name;
    bool refNum, card, login;
    BOOL sso;
    std::string loginUrl;
  };
  const std::vector<Case> cases = {
      {"no reference", false, false, false, 1, "http://site.example/"},
      {"no such card", true, false, true, 1, "http://site.example/"},
      {"no login address", true, true, false, 1, "http://site.example/"},
      {"found, no sign-on", true, true, true, 0, "http://site.example/login"},
      {"found, sign-on", true, true, true, 1, "http://site.example/login"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FreshStore();
    const int64_t card = KeelTest_SeedCard("site.example", 999);
    const int64_t macro = SeedLaunch(kFinger, "http://site.example/");
    const int64_t refNum = c.card ? KeelTest_CardRefNum(card) : 987654321;
    if (c.refNum) KeelTest_SetProperty(macro, 101, KA_ATTR_PLAIN, &refNum, 8);
    if (c.login) KeelTest_SetProperty(macro, 102, KA_ATTR_PLAIN, "http://site.example/login", -1);
    log().Clear();
    EXPECT_EQ(Read(kFinger, 1, c.sso), (Texts{"WEB http://site.example/ " + c.loginUrl}));
    const bool found = c.loginUrl != "http://site.example/";
    EXPECT_EQ(log().Count("Activate QL's SSO"), found ? 1u : 0u);
    EXPECT_EQ(CardByte(card, 2001), found && c.sso ? std::optional<uint8_t>(1) : std::nullopt);
    EXPECT_EQ(CallsOf(KF_SetProperty).size(), found && c.sso ? 1u : 0u) << "the timestamp";
    EXPECT_EQ(CallsOf(KF_Card_Release).size(), c.card ? 1u : 0u);
  }
}

TEST_P(QuickLaunch, SetQLStoresEachTargetNotFoundUnderAnyFinger) {
  SeedLaunch(0x010, "http://last.example");
  KeelTest_TraceClear();
  KS_QL last = Launch(WEB, "http://last.example");
  EXPECT_EQ(::SetQL(0x001, &last, 1), 0) << "it exists under another finger: not stored";
  std::vector<uint32_t> asked;
  for (const KeelCall& c : CallsOf(KF_Id_GetMacro)) {
    if (c.mode == 1 && (asked.empty() || asked.back() != c.finger)) asked.push_back(c.finger);
  }
  EXPECT_EQ(asked, (std::vector<uint32_t>{0x020, 0x040, 0x080, 0x100, 0x200, 0x001, 0x002, 0x004,
                                          0x008, 0x010}));
  EXPECT_EQ(log().Count("QL Is Found. So Break Here"), 1u);
  EXPECT_EQ(log().Count("Exiting IsQLExistIsQLExist(teKM_FINGER_INDEX,PKS_QL) With bRet = 1"), 1u);
  EXPECT_TRUE(CallsOf(KF_Id_CreateMacro).empty());

  KS_QL fresh = Launch(WEB, "http://new.example");
  for (const DWORD refused : {0u, 0x3FFu}) {  // no finger: only the existence search asks
    KeelTest_TraceClear();
    EXPECT_EQ(::SetQL(refused, &fresh, 1), 0);
    for (const KeelCall& c : CallsOf(KF_Id_GetMacro)) EXPECT_NE(c.finger, refused);
    EXPECT_TRUE(CallsOf(KF_Id_CreateMacro).empty());
  }

  KS_QL records[] = {Launch(LOCAL, "bin/a"), Launch(LOCAL, "bin/a"), Launch(ACTION, "", 11),
                     Launch(WEB, "no-scheme.example")};
  EXPECT_EQ(::SetQL(kFinger, records, 4), 1);
  EXPECT_EQ(AllTargets(), (Texts{"http://last.example", "file:///bin/a", "action://",
                                 "no-scheme.example"}));
  EXPECT_EQ(Read(kFinger), (Texts{"LOCAL bin/a"})) << "the others name no known target";
  EXPECT_EQ(log().Count("Action Is file:///bin/a"), 1u);

  KS_QL unencodable = Launch(ACTION, "", 0);
  EXPECT_EQ(::SetQL(kFinger, &unencodable, 1), 0);
  EXPECT_EQ(log().Count("SetMacroProperty Failed And Delete This Macro"), 1u);
  EXPECT_EQ(CallsOf(KF_Macro_Delete).size(), 1u);
  EXPECT_EQ(AllTargets().size(), 4u);
}

// A deletion goes on from the macro it deleted, or starts again (DeleteQLAll).
TEST_P(QuickLaunch, DeletionsCompareBytesAndWalkOnFromTheDeletedMacro) {
  for (const char* t : {"http://a.example", "http://b.example", "http://a.example", "file:///c"}) {
    SeedLaunch(kFinger, t);
  }
  KS_QL records[] = {Launch(WEB, "HTTP://B.EXAMPLE"), Launch(ACTION, "", 0),
                     Launch(WEB, "http://a.example"), Launch(LOCAL, "c")};
  KeelTest_TraceClear();
  EXPECT_EQ(::DeleteQL(kFinger, records, 4), 1);
  EXPECT_EQ(AllTargets(), (Texts{"http://b.example"}));
  EXPECT_EQ(CallsOf(KF_Macro_Delete).size(), 3u);
  EXPECT_EQ(Modes(), (std::vector<int16_t>{1, 2, 2, 2, 2}));
  EXPECT_EQ(log().Count("Not OK"), 4u);
  EXPECT_EQ(log().Count("Delete Macro"), 3u);
  KS_QL none = Launch(WEB, "http://nothing.example");
  EXPECT_EQ(::DeleteQL(kFinger, &none, 1), 1) << "a compared target is enough";
  EXPECT_EQ(::DeleteQL(0x008, &none, 1), 0) << "a finger without macros";

  KeelTest_SeedMacro(0x008);  // without a target
  KeelTest_SeedMacro(0x008);
  KeelTest_TraceClear();
  EXPECT_EQ(::DeleteQLAll(0x008), 0) << "no macro had a target";
  EXPECT_EQ(Modes(), (std::vector<int16_t>{1, 1, 1}));
  EXPECT_EQ(AllTargets(), (Texts{"http://b.example"}));
  SeedLaunch(0x008, "file:///y");
  EXPECT_EQ(::DeleteQLAll(kFinger), 1);
  EXPECT_EQ(AllTargets(), (Texts{"file:///y"})) << "other fingers keep theirs";
}

DM_ON_EVERY_BACKEND(QuickLaunch);

}  // namespace
}  // namespace dm::test
