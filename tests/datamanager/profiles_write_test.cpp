// Writing profiles: a new card per record with the attempt-limit guard and
// the rollback, the update of the first matching card, the existence test.
#include <cstring>
#include <string>
#include <vector>

#include "DataManager.h"
#include "support/DataManagerTest.h"
#include "support/ProfileCards.h"

namespace dm::test {
namespace {

// What the store keeps, on every backend.
using ProfileWriting = DataManagerTest;
// Scripted faults and refused arguments, which do not depend on the backend.
using ProfileWritingFaults = DataManagerTest;

const std::string kSite = "site.example";
const CardValues kAnn = {"ann", "pw-ann", "t-ann", "long-ann", 0, std::nullopt};

// The store calls after the openings, a card write shown as its property.
std::string Trace() {
  std::string out;
  for (const KeelCall& c : StoreCalls()) {
    if (c.function == KF_Init || c.function == KF_GetApp || c.function == KF_GetIdentity) continue;
    out += (out.empty() ? "" : " ") + (c.function == KF_Card_SetProperty
                                           ? std::to_string(c.property)
                                           : std::string(KeelTest_FunctionName(c.function) + 3));
  }
  return out;
}

// Updates and look-ups match user names exactly and read no password; an
// update rewrites the first matching card's password and web values (the
// user name is the key and stays) without touching the attempt limit.
TEST_P(ProfileWriting, UpdatesAndLookUpsFindTheFirstCardOfTheSameUserName) {
  const int64_t first = SeedWeb(kSite, kAnn), second = SeedWeb(kSite, kAnn);
  SetCardText(KeelTest_SeedCard(kSite.c_str(), kWebCategory), 103, "");
  SeedWeb(kSite, {"bob", "pw", "t", "long", 0, std::nullopt});  // last: look-ups read them all
  const int64_t app = SeedApp(kSite, kAnn);
  StoreScript script;  // a read of a password would stop a look-up
  script.Answer(KF_Card_GetProperty, KA_E_AUTH_REFUSED).ForProperty(104);
  KS_DOMAIN d = Domain(kSite), other = Domain("other.example");
  for (const char* user : {"Ann", "an", "ann ", ""}) {
    SCOPED_TRACE(user);
    KS_PROFILE p = Profile(KS_PROFILE_WEB, user, "new");
    EXPECT_EQ(::IsProfileExist(KS_PROFILE_WEB, &d, &p), 0);
    KeelTest_TraceClear();
    EXPECT_EQ(::UpdateProfile(KS_PROFILE_WEB, &d, &p), 0);
    EXPECT_EQ(CallsOf(KF_Card_SetProperty).size(), 0u);
    EXPECT_EQ(CallsOf(KF_Id_GetCard).size(), 5u);  // four cards and the end of the walk
    ExpectEachCardReleasedBeforeTheNextRequest();
  }
  KS_PROFILE bob = Profile(KS_PROFILE_WEB, "bob");
  EXPECT_EQ(::IsProfileExist(KS_PROFILE_WEB, &other, &bob), 0);
  log().Clear();
  EXPECT_EQ(::IsProfileExist(KS_PROFILE_WEB, &d, &bob), 1);
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::IsProfileExist"),
            "Entering IsProfileExist() | Query Profile | Determine If Profile Is Exist Or Not | "
            "Profile Is Found. So Break Here | Exiting IsProfileExist() With bRet = 1");
  EXPECT_EQ(log().Count("Exiting IsProfileExist() With bRet = 1"), 2u);
  for (KS_PROFILE_TYPE kind : {KS_PROFILE_WEB, KS_PROFILE_APP}) {
    const bool web = kind == KS_PROFILE_WEB;
    log().Clear();
    KeelTest_TraceClear();
    KS_PROFILE ann = Profile(kind, "ann", "new", "t2", "l2", 1);
    EXPECT_EQ(::UpdateProfile(kind, &d, &ann), 1);
    EXPECT_EQ(Trace(), std::string("Id_GetCard Card_GetProperty Card_GetProperty 104 ") +
                           (web ? "3101 105 1003 " : "") + "Card_Release");
    EXPECT_EQ(LinesOf(log(), "DataManagerUtils::UpdateProfile"),
              "Entering UpdateProfile() | Domain Is site.example | Get Profile | Profile Is Found. "
              "So Break Here | Update Profile | Update Profile Successfully | Profile Type Is " +
                  std::string(web ? "WEB" : "APP") + "; UserName Is ann | Exiting UpdateProfile() "
                  "With bRet = 1");
  }
  EXPECT_EQ(CardText(first, 104), "new");
  EXPECT_EQ(CardText(first, 3101), "t2");
  EXPECT_EQ(CardText(first, 105), "l2");
  EXPECT_EQ(CardByte(first, 1003), 1);
  EXPECT_EQ(CardText(second, 104), "pw-ann");
  EXPECT_EQ(CardText(app, 104), "new");
  EXPECT_EQ(CardText(app, 3101), "t-ann");

  // The first card's name cannot be read: the update passes over it, then
  // fails on the second card's Text105 and keeps what it wrote before.
  script.Answer(KF_Card_GetProperty, KA_E_STORAGE).ForProperty(103).OnCall(1);
  script.Answer(KF_Card_SetProperty, KA_E_STORAGE).ForProperty(105);
  log().Clear();
  KS_PROFILE ann = Profile(KS_PROFILE_WEB, "ann", "x", "t3", "l3", 3);
  EXPECT_EQ(::UpdateProfile(KS_PROFILE_WEB, &d, &ann), 0);
  EXPECT_EQ(CardText(first, 104), "new");
  EXPECT_EQ(CardText(second, 104), "x");
  EXPECT_EQ(CardText(second, 3101), "t3");
  EXPECT_EQ(CardText(second, 105), "long-ann");
  EXPECT_EQ(CardByte(second, 1003), 0);
  EXPECT_EQ(log().Count("Update Profile Successfully"), 0u);
}

// The largest domain (511 bytes of UTF-8) and Text105 (4095 bytes) that
// their reads hold, in euro signs (three bytes of UTF-8, one UTF-16 unit).
std::string Euros(size_t n) {
  std::string text;
  while (n-- > 0) text += "\xE2\x82\xAC";
  return text;
}
const std::string kLargestDomain = Euros(170) + "x";
const std::string kLargestText105 = Euros(1365);

TEST_P(ProfileWriting, WhatIsStoredReadsBackTheSameAndTwiceGivesTwoCards) {
  KS_PROFILE written = Profile(KS_PROFILE_WEB, "j\xC3\xBCrgen", "p\xF0\x9F\x94\x91",
                               "\xE2\x82\xAC", kLargestText105, 3);
  KS_DOMAIN d = Domain(kLargestDomain);
  ASSERT_EQ(::SetSingleProfile(KS_PROFILE_WEB, &d, &written), 1);
  KS_PROFILE read = {};
  DWORD count = 0;
  ASSERT_EQ(::GetProfile(KS_PROFILE_WEB, &d, &read, 1, &count), 1);
  EXPECT_EQ(std::memcmp(&read, &written, sizeof read), 0);
  ASSERT_EQ(::SetSingleProfile(KS_PROFILE_WEB, &d, &written), 1);
  EXPECT_EQ(Cards().size(), 2u);
}

// A new card: the web password written with the context's attempt limit
// lowered to 0 and put back (as 0 when it could not be read), the card
// deleted again when a write is refused.
TEST_P(ProfileWritingFaults, ANewCardIsWrittenWholeOrTakenAwayAgain) {
  const KS_PROFILE_TYPE web = KS_PROFILE_WEB, app = KS_PROFILE_APP;
  const std::string lowered = "Id_CreateCard GetProperty SetProperty 104 SetProperty";
  auto refused = [](int32_t property) {
    return StoreFault{KF_Card_SetProperty, KA_E_STORAGE, property};
  };
  struct Case {
    const char* name;
    KS_PROFILE_TYPE kind;
    DWORD otp;
    std::vector<StoreFault> faults;
    std::string trace;  // Trace(); a card released was written whole
    uint64_t limit;     // the attempt limit after
    size_t cards;
  };
  const std::vector<Case> cases = {
      {"web", web, KS_OTP_MODE_UNSET, {}, lowered + " 103 3101 105 Card_Release", 5, 1},
      {"web with a mode", web, 2, {}, lowered + " 103 3101 105 1003 Card_Release", 5, 1},
      {"application", app, 2, {}, "Id_CreateCard 104 103 Card_Release", 5, 1},
      {"password refused", web, 2, {refused(104)}, lowered + " Card_Delete", 5, 0},
      {"user name refused", web, 2, {refused(103)}, lowered + " 103 Card_Delete", 5, 0},
      {"Text3101 refused", web, 2, {refused(3101)}, lowered + " 103 3101 Card_Delete", 5, 0},
      {"Text105 refused", web, 2, {refused(105)}, lowered + " 103 3101 105 Card_Delete", 5, 0},
      {"mode refused", web, 2, {refused(1003)}, lowered + " 103 3101 105 1003 Card_Delete", 5, 0},
      {"limit unreadable", web, 2, {{KF_GetProperty, KA_E_NOT_STORED, 104, 1}},
       lowered + " 103 3101 105 1003 Card_Release", 0, 1},
      {"card refused", web, 2, {{KF_Id_CreateCard, KA_E_STORAGE}}, "Id_CreateCard", 5, 0},
      {"undeletable card", app, 2, {refused(103), {KF_Card_Delete, KA_E_STORAGE}},
       "Id_CreateCard 104 103 Card_Delete", 5, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FreshStore();
    const DWORD limit = 5;
    ASSERT_EQ(KeelTest_SetProperty(KeelTest_ContextObject(), 104, KA_ATTR_PLAIN, &limit, 4), KA_OK);
    StoreScript script;
    ScriptFaults(script, c.faults);
    log().Clear();
    const bool written = c.trace.ends_with("Card_Release");

    KS_DOMAIN d = Domain(kSite);
    KS_PROFILE ann = Profile(c.kind, "ann", "pw", "t", "long", c.otp);
    EXPECT_EQ(::SetSingleProfile(c.kind, &d, &ann), written ? 1 : 0);

    EXPECT_EQ(Trace(), c.trace);
    EXPECT_EQ(ContextValue(104), c.limit);  // the store keeps the limit per process
    EXPECT_EQ(Cards().size(), c.cards);
    for (const KeelCall& call : CallsOf(KF_Card_SetProperty)) {
      EXPECT_EQ(call.attribute, call.property == 104 ? KA_ATTR_SECRET : KA_ATTR_PLAIN);
      EXPECT_EQ(call.size, call.property == 1003 ? 1 : -1);
    }
    const int32_t category = c.kind == web ? kWebCategory : kAppCategory;
    EXPECT_EQ(CallsOf(KF_Id_CreateCard).at(0).category, category);
    const std::string outcome =
        written ? std::string("Set Profile Successfully | Profile Type Is ") +
                      (c.kind == web ? "WEB" : "APP") + "; UserName Is ann | "
        : c.trace.ends_with("Card_Delete") ? "SetCardProperty Failed And Delete This Card | "
                                           : "";
    EXPECT_EQ(LinesOf(log(), "DataManagerUtils::SetProfile"),
              "Entering SetProfile() | Domain Is site.example | Set Profile | " + outcome +
                  "Exiting SetProfile() With bRet = " + (written ? "1" : "0"));
  }
}

// Records a writer refuses before it opens the store: null, unterminated,
// or holding a text the store would keep but no read could give back.
TEST_P(ProfileWritingFaults, NullOrUnterminatedArgumentsAreRefused) {
  KS_DOMAIN d = Domain(kSite), endless, wideDomain = Domain(kLargestDomain + "x");
  for (WCHAR& unit : endless.Domain) unit = u'd';
  KS_PROFILE ann = Profile(KS_PROFILE_WEB, "ann", "pw");
  KS_PROFILE longUser = ann, longPassword = ann, longText3101 = ann, longText105 = ann;
  for (WCHAR& unit : longUser.UserName) unit = u'u';
  for (WCHAR& unit : longPassword.Password) unit = u'p';
  for (WCHAR& unit : longText3101.Text3101) unit = u't';
  for (WCHAR& unit : longText105.Text105) unit = u't';
  KS_PROFILE wideText105 = Profile(KS_PROFILE_WEB, "ann", "pw", "", kLargestText105 + "x");
  struct Case { const char* name; KS_PROFILE_TYPE kind; KS_DOMAIN* domain; KS_PROFILE* profile; };
  const std::vector<Case> cases = {
      {"null domain", KS_PROFILE_WEB, nullptr, &ann},
      {"null record", KS_PROFILE_WEB, &d, nullptr},
      {"domain without terminator", KS_PROFILE_WEB, &endless, &ann},
      {"user name without terminator", KS_PROFILE_APP, &d, &longUser},
      {"password without terminator", KS_PROFILE_WEB, &d, &longPassword},
      {"Text3101 without terminator", KS_PROFILE_WEB, &d, &longText3101},
      {"Text105 without terminator", KS_PROFILE_WEB, &d, &longText105},
      {"domain longer than its read holds", KS_PROFILE_WEB, &wideDomain, &ann},
      {"Text105 longer than its read holds", KS_PROFILE_WEB, &d, &wideText105},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool update : {false, true}) {
      log().Clear();
      KeelTest_TraceClear();
      const BOOL bRet = update ? ::UpdateProfile(c.kind, c.domain, c.profile)
                               : ::SetSingleProfile(c.kind, c.domain, c.profile);
      EXPECT_EQ(bRet, 0);
      EXPECT_EQ(KeelTest_TraceSize(), 0u);
      EXPECT_EQ(log().lines().size(), 4u);
    }
  }
  // An application profile has no web values: their content does not matter.
  EXPECT_EQ(::SetSingleProfile(KS_PROFILE_APP, &d, &longText105), 1);
  EXPECT_EQ(::SetSingleProfile(3, &d, &ann), 0);
  EXPECT_EQ(Cards().size(), 1u);
}

DM_ON_EVERY_BACKEND(ProfileWriting);
DM_IN_MEMORY(ProfileWritingFaults);

}  // namespace
}  // namespace dm::test
