// Shortcuts: listed, looked up, written and activated through the exports.
#include <optional>
#include <string>
#include <vector>

#include "DataManager.h"
#include "support/DataManagerTest.h"
#include "support/ProfileCards.h"

namespace dm::test {
namespace {

using Shortcuts = DataManagerTest;
using Texts = std::vector<std::string>;

constexpr char kGoogle[] = "accounts.google.com";
constexpr char kYahoo[] = "login.yahoo.com";

// A stored shortcut's properties; unset ones are not stored.
struct Stored {
  std::string target;
  std::optional<std::string> fullAddr, icon, tip, category;
  std::optional<DWORD> hidden, preloaded;
};

int64_t Seed(const Stored& s) {
  const int64_t id = KeelTest_SeedShortcut();
  const std::pair<int32_t, std::optional<std::string>> texts[] = {
      {1004, s.fullAddr}, {1023, s.icon}, {1000, s.tip}, {1022, s.category}};
  KeelTest_SetProperty(id, 1002, KA_ATTR_PLAIN, s.target.c_str(), -1);
  for (const auto& [p, v] : texts) {
    if (v) KeelTest_SetProperty(id, p, KA_ATTR_PLAIN, v->c_str(), -1);
  }
  for (const auto& [p, v] : {std::pair{1021, s.hidden}, std::pair{1010, s.preloaded}}) {
    if (v) KeelTest_SetProperty(id, p, KA_ATTR_PLAIN, &*v, 4);
  }
  return id;
}

KS_SHORTCUT Web(const std::string& url, const std::string& tip = "",
                const std::string& fullAddr = "") {
  KS_SHORTCUT r{WEB};
  Fill(r.Web.Url, url);
  Fill(r.Web.Tip, tip);
  Fill(r.Web.FullAddr, fullAddr);
  return r;
}

KS_SHORTCUT Local(const std::string& path) {
  KS_SHORTCUT r{LOCAL};
  Fill(r.Local.Path, path);
  return r;
}

KS_SHORTCUT Action(DWORD action) {
  KS_SHORTCUT r{ACTION};
  r.Action.ActionType = action;
  return r;
}

// Every field of a record read back, as one text.
std::string Shown(const KS_SHORTCUT& r) {
  auto tail = [](const auto& l) {
    return " icon=" + Utf8(l.IconRef) + " tip=" + Utf8(l.Tip) + " shown=" +
           std::to_string(l.IsShowed) + " pre=" + std::to_string(l.IsPreloaded) +
           " cat=" + std::to_string(l.Category);
  };
  if (r.Type == WEB) return Utf8(r.Web.Url) + " full=" + Utf8(r.Web.FullAddr) + tail(r.Web);
  if (r.Type == LOCAL) return Utf8(r.Local.Path) + tail(r.Local);
  return "action " + std::to_string(r.Action.ActionType) + tail(r.Action);
}

Texts List(KS_QL_TYPE type, DWORD capacity = 8) {
  std::vector<KS_SHORTCUT> records(capacity);
  DWORD n = 0;
  ::GetShortcut(type, records.data(), capacity, &n);
  Texts out;
  for (DWORD i = 0; i < n; ++i) out.push_back(Shown(records[i]));
  return out;
}

std::vector<int64_t> AllShortcuts() { return Objects(KEEL_SHORTCUT); }

std::optional<DWORD> Number(int64_t shortcut, int32_t property) {
  DWORD v = 0;
  if (KeelTest_GetProperty(shortcut, property, &v, 4, nullptr, nullptr) != KA_OK) return {};
  return v;
}

TEST_P(Shortcuts, ListingReadsEachTypesFieldsAndInfoFillsInAWebRecordsIconAndTip) {
  KS_SHORTCUT given[] = {Web("http://a.example"), Web("http://none.example"), Local("/p"),
                         Action(1)};
  for (KS_SHORTCUT& r : given) Fill(r.Web.Tip, "old");  // the WEB layout's tip, as a marker
  DWORD count = 9;
  EXPECT_EQ(::GetShortcutInfo(given, 4, &count), 0) << "no web shortcut stored";
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(Utf8(given[2].Local.IconRef), "");

  Seed({"http://a.example", "http://a.example/full", "a.ico", "A", "Games", 0, 7});
  Seed({"https://b.example", {}, {}, {}, "games", {}, {}});
  Seed({"file:///usr/bin/x", {}, "x.ico", {}, "Social", 5, 1});
  Seed({"action://dance/", {}, {}, "dance", {}, 0, {}});
  Seed({"ftp://c.example", {}, {}, {}, {}, 0, {}});
  EXPECT_EQ(::GetShortcut(WEB, nullptr, 0, &count), 1);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(List(WEB),
            (Texts{"http://a.example full=http://a.example/full icon=a.ico tip=A shown=1 pre=7 cat=2",
                   "https://b.example full=https://b.example icon= tip= shown=0 pre=0 cat=0"}));
  EXPECT_EQ(List(LOCAL), (Texts{"usr/bin/x icon=x.ico tip= shown=0 pre=1 cat=7"}));
  EXPECT_EQ(List(ACTION), (Texts{"action 0 icon= tip=dance shown=1 pre=0 cat=0"}))
      << "an unknown action is still listed, as 0";
  EXPECT_EQ(log().Count("Url Is http://a.example And FullAddr Is http://a.example/full And IconRef "
                        "Is a.ico And Tip Is A And IsShowed Is 1 And IsPreloaded Is 7 And "
                        "CATEGORY Type Is 2"),
            1u);
  log().Clear();
  EXPECT_EQ(List(WEB, 1).size(), 1u);
  EXPECT_EQ(log().Count("Input Buffer Is Not Enough. So Break Here"), 1u);

  EXPECT_EQ(::GetShortcutInfo(given, 4, &count), 1);
  EXPECT_EQ(count, 4u);
  Texts got;
  for (const KS_SHORTCUT& r : given) got.push_back(Shown(r));
  EXPECT_EQ(got, (Texts{"http://a.example full= icon=a.ico tip=A shown=0 pre=0 cat=0",
                        "http://none.example full= icon= tip= shown=0 pre=0 cat=0",
                        "/p icon=/p tip= shown=0 pre=0 cat=0",
                        "action 1 icon= tip= shown=0 pre=0 cat=0"}));
  EXPECT_EQ(log().Count("Shortcut Is Not Found"), 1u);
}

TEST_P(Shortcuts, WritingStoresTheRowsInOrderAndRollsBack) {
  KS_SHORTCUT web = Web("http://a.example", "A", "http://a.example/full");
  Fill(web.Web.IconRef, "a.ico");
  web.Web.IsShowed = 5;
  web.Web.IsPreloaded = 3;
  web.Web.Category = 8;
  EXPECT_EQ(::SetSingleShortcut(WEB, &web), 1);
  EXPECT_EQ(PropertiesOf(KF_Shortcut_SetProperty),
            (std::vector<int32_t>{1002, 1004, 1023, 1000, 1021, 1010, 1022, 1007}));
  const int64_t id = AllShortcuts().back();
  EXPECT_EQ(CardText(id, 1022), "VeriSignVIP");
  EXPECT_EQ(Number(id, 1021), 0u);
  EXPECT_EQ(Number(id, 1007), 1u);
  EXPECT_EQ(log().Count("QL Type Is WEB; Url Is http://a.example And FullAddr Is "
                        "http://a.example/full And IsShowed Is 5 And IsPreloaded Is 3 And "
                        "CATEGORY Type Is 8"),
            1u);

  KS_SHORTCUT local = Local("p");  // no optional text, no category 9
  local.Local.Category = 9;
  KeelTest_TraceClear();
  EXPECT_EQ(::SetSingleShortcut(LOCAL, &local), 1);
  EXPECT_EQ(PropertiesOf(KF_Shortcut_SetProperty), (std::vector<int32_t>{1002, 1021, 1010}));
  EXPECT_EQ(CardText(AllShortcuts().back(), 1002), "file:///p");

  KS_SHORTCUT odd = Web("http://x");
  odd.Type = 4;
  StoreScript script;
  script.Answer(KF_Shortcut_SetProperty, KA_E_STORAGE).ForProperty(1000);
  for (KS_SHORTCUT record : {Local(""), Action(0), odd, Web("http://b.example", "B")}) {
    SCOPED_TRACE(record.Type);
    const size_t before = AllShortcuts().size();
    KeelTest_TraceClear();
    log().Clear();
    EXPECT_EQ(::SetSingleShortcut(record.Type, &record), 0);
    EXPECT_EQ(CallsOf(KF_Shortcut_Delete).size(), 1u);
    EXPECT_EQ(AllShortcuts().size(), before);
    EXPECT_EQ(log().Count("SetShortcutProperty Failed And Delete This Shortcut"), 1u);
  }
  EXPECT_EQ(PropertiesOf(KF_Shortcut_SetProperty), (std::vector<int32_t>{1002, 1000}))
      << "nothing after the failed row";
}

TEST_P(Shortcuts, SignInHostTipsAreStoredAsTheServicesName) {
  const std::vector<std::pair<KS_SHORTCUT, std::string>> cases = {
      {Web("http://m", kGoogle, "x?service=mail&service=youtube"), "Gmail"},
      {Web("http://y", kGoogle, "x?service=youtube"), "YouTube"},
      {Web("http://f", kYahoo, "x?src=flickr"), "Flickr"},
      {Web("http://p", kYahoo, "x?src=fpctx"), "Yahoo!"},
      {Web("http://n", kYahoo, "x?service=mail"), kYahoo},
      {Web("http://c", "Accounts.Google.com", "x?service=mail"), "Accounts.Google.com"},
      {Web("http://s", std::string(" ") + kGoogle, "x?service=mail"), std::string(" ") + kGoogle},
  };
  for (auto [record, tip] : cases) {
    EXPECT_EQ(::SetSingleShortcut(WEB, &record), 1);
    EXPECT_EQ(CardText(AllShortcuts().back(), 1000), tip);
    EXPECT_EQ(Utf8(record.Web.Tip).empty(), false) << "the record is not changed";
  }
}

TEST_P(Shortcuts, ExactLookUpsAndActivation) {
  const int64_t hidden = Seed({"http://a.example", {}, {}, {}, {}, 1, {}});
  Seed({"action://lock/", {}, {}, {}, {}, 0, {}});
  KS_SHORTCUT a = Web("http://a.example"), upper = Web("HTTP://A.EXAMPLE"), lock = Action(1);
  EXPECT_EQ(::IsShortcutExist(WEB, &a), 1);
  EXPECT_EQ(::IsShortcutShowed(WEB, &a), 0) << "hidden";
  EXPECT_EQ(::IsShortcutExist(WEB, &upper), 0);
  EXPECT_EQ(::IsShortcutShowed(ACTION, &lock), 1);

  EXPECT_EQ(::ActivateSingleShortcut(WEB, &upper), 0);
  EXPECT_EQ(::ActivateSingleShortcut(ACTION, &lock), 0) << "only web shortcuts are activated";
  for (int round = 0; round < 2; ++round) {  // activating a shown one writes again
    KeelTest_TraceClear();
    EXPECT_EQ(::ActivateSingleShortcut(WEB, &a), 1);
    EXPECT_EQ(PropertiesOf(KF_Shortcut_SetProperty), (std::vector<int32_t>{1021}));
    EXPECT_EQ(Number(hidden, 1021), 0u);
  }
  EXPECT_EQ(::IsShortcutShowed(WEB, &a), 1);
  EXPECT_EQ(log().Count("Shortcut Is Found, Activate Shortcut"), 2u);
}

TEST_P(Shortcuts, SitesAreMatchedByTheirKeyAndTheHostsServices) {
  struct Case {
    Stored stored;
    std::string key, address;
    BOOL exists;
    const char* line;
  };
  const std::string g = std::string("https://") + kGoogle + "/x?";
  const std::string y = std::string("https://") + kYahoo + "/config/";
  const std::vector<Case> cases = {
      {{"http://news.example/today"}, "news.example", "", 1, nullptr},
      {{"http://news.example/today"}, "News.example", "", 0, nullptr},
      {{"http://news.example/today"}, "", "", 0, nullptr},
      {{g + "service=mail"}, kGoogle, "a?service=youtube", 0, nullptr},
      {{g + "service=youtube"}, kGoogle, "a?service=youtube", 1, "YOUTUBE Found"},
      {{g + "service=mail"}, kGoogle, "a?service=mail&service=youtube", 1, "GMAIL Found"},
      {{g + "Login"}, kGoogle, "ServiceLogin", 1, "GOOGLE ACCOUNT Found"},
      {{y + "login?src=flickr"}, kYahoo, "src=flickr", 1, "FLICKR Found"},
      {{y + "login?"}, kYahoo, "src=fpctx", 0, nullptr},
      {{y + "login?"}, kYahoo, "login?", 1, "YAHOO ACCOUNT Found"},
      {{"http://portal.example", "http://portal.example/?to=news.example"}, "news.example", "", 1,
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored.target + " " + c.key);
    FreshStore();
    Stored stored = c.stored;
    stored.hidden = 1;
    const int64_t id = Seed(stored);
    KS_SHORTCUT site = Web("", c.key, c.address);
    log().Clear();
    EXPECT_EQ(::IsShortcutExistUsingProfile(WEB, &site), c.exists);
    EXPECT_EQ(::IsShortcutShowedUsingProfile(WEB, &site), 0) << "the shortcut is hidden";
    EXPECT_EQ(::ActivateSingleShortcutUsingProfile(WEB, &site), c.exists);
    EXPECT_EQ(Number(id, 1021), c.exists ? 0u : 1u);
    EXPECT_EQ(::IsShortcutShowedUsingProfile(WEB, &site), c.exists);
    if (c.line != nullptr) {
      EXPECT_EQ(log().Count(c.line), 3u) << "each match logs its rule";
    }
  }
}

DM_ON_EVERY_BACKEND(Shortcuts);

}  // namespace
}  // namespace dm::test
