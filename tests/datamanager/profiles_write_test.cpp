// Writing profiles: a new card per record with the attempt-limit guard and
// the rollback, the update of the first matching card, and the existence
// test.
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "DataManager.h"
#include "support/DataManagerTest.h"
#include "support/ProfileCards.h"

namespace dm::test {
namespace {

using ProfileWriting = DataManagerTest;

const std::string kSite = "site.example";
const CardValues kAnn = {"ann", "pw-ann", "t-ann", "long-ann", std::nullopt, std::nullopt};

// (property, attribute, size) of every card write, in order.
using Write = std::tuple<int32_t, int32_t, int32_t>;
std::vector<Write> CardWrites() {
  std::vector<Write> out;
  for (const KeelCall& c : CallsOf(KF_Card_SetProperty)) {
    out.emplace_back(c.property, c.attribute, c.size);
  }
  return out;
}

void SetAttemptLimit(DWORD limit) {
  ASSERT_EQ(KeelTest_SetProperty(KeelTest_ContextObject(), 104, KA_ATTR_PLAIN, &limit, 4), KA_OK);
}

// The limit DataManager's context has now: the store keeps it per process.
std::optional<uint64_t> AttemptLimit() { return ContextValue(104); }

// The store functions called, leaving out the openings' calls.
Names CallsWithoutOpenings() {
  Names out;
  for (const KeelCall& c : StoreCalls()) {
    if (c.function != KF_Init && c.function != KF_GetApp && c.function != KF_GetIdentity) {
      out.push_back(KeelTest_FunctionName(c.function));
    }
  }
  return out;
}

BOOL Store(KS_PROFILE_TYPE kind, KS_PROFILE profile, const std::string& domain = kSite) {
  KS_DOMAIN d = Domain(domain);
  return ::SetSingleProfile(kind, &d, &profile);
}

BOOL Update(KS_PROFILE_TYPE kind, KS_PROFILE profile, const std::string& domain = kSite) {
  KS_DOMAIN d = Domain(domain);
  return ::UpdateProfile(kind, &d, &profile);
}

TEST_P(ProfileWriting, AWebProfileIsWrittenInOrderWithTheAttemptLimitLowered) {
  for (DWORD otp : {KS_OTP_MODE_UNSET, 2u}) {
    SCOPED_TRACE(otp);
    FreshStore();
    SetAttemptLimit(5);
    log().Clear();

    EXPECT_EQ(Store(KS_PROFILE_WEB, Profile(KS_PROFILE_WEB, "ann", "pw", "t", "long", otp)), 1);

    std::vector<Write> expected = {{104, 10, -1}, {103, -20, -1}, {3101, -20, -1}, {105, -20, -1}};
    if (otp != KS_OTP_MODE_UNSET) expected.emplace_back(1003, -20, 1);
    EXPECT_EQ(CardWrites(), expected);
    Names calls = {"KA_Id_CreateCard", "KA_GetProperty", "KA_SetProperty", "KA_Card_SetProperty",
                   "KA_SetProperty"};
    calls.insert(calls.end(), expected.size() - 1, "KA_Card_SetProperty");
    calls.push_back("KA_Card_Release");
    EXPECT_EQ(CallsWithoutOpenings(), calls);
    EXPECT_EQ(AttemptLimit(), 5u);

    const std::vector<int64_t> cards = Cards();
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(CardText(cards[0], 1), kSite);
    EXPECT_EQ(CardText(cards[0], 104), "pw");
    EXPECT_EQ(CardText(cards[0], 105), "long");
    EXPECT_EQ(CardByte(cards[0], 1003), otp == 2 ? std::optional<uint8_t>(2) : std::nullopt);
    EXPECT_EQ(FunctionOrder(log()),
              "SetSingleProfile > DataManagerUtils::SetProfile > SetSingleProfile");
    EXPECT_EQ(LinesOf(log(), "DataManagerUtils::SetProfile"),
              "Entering SetProfile() | Domain Is site.example | Set Profile | Set Profile "
              "Successfully | Profile Type Is WEB; UserName Is ann | Exiting SetProfile() With "
              "bRet = 1");
  }
}

TEST_P(ProfileWriting, AnAppProfileWritesItsPasswordAndUserNameAndAnUpdateOnlyThePassword) {
  SetAttemptLimit(5);
  EXPECT_EQ(Store(KS_PROFILE_APP, Profile(KS_PROFILE_APP, "ann", "pw", "ignored", "ignored", 2)),
            1);
  EXPECT_EQ(CardWrites(), (std::vector<Write>{{104, 10, -1}, {103, -20, -1}}));
  EXPECT_EQ(CallsWithoutOpenings(), (Names{"KA_Id_CreateCard", "KA_Card_SetProperty",
                                           "KA_Card_SetProperty", "KA_Card_Release"}));
  EXPECT_EQ(CallsOf(KF_Id_CreateCard).at(0).category, kAppCategory);

  KeelTest_TraceClear();
  EXPECT_EQ(Update(KS_PROFILE_APP, Profile(KS_PROFILE_APP, "ann", "new", "t", "long", 2)), 1);
  EXPECT_EQ(CardWrites(), (std::vector<Write>{{104, 10, -1}}));
  EXPECT_EQ(CardText(Cards().at(0), 104), "new");
}

TEST_P(ProfileWriting, TheAttemptLimitComesBackOnEveryPath) {
  struct Case {
    const char* name;
    std::optional<DWORD> stored;
    bool passwordRefused;
    DWORD after;
  };
  const std::vector<Case> cases = {
      {"limit 5, written", 5, false, 5},
      {"limit 5, password refused", 5, true, 5},
      {"limit unreadable, written", std::nullopt, false, 0},
      {"limit unreadable, password refused", std::nullopt, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FreshStore();
    SetAttemptLimit(c.stored.value_or(9));
    StoreScript script;
    if (!c.stored) script.Answer(KF_GetProperty, KA_E_NOT_STORED).ForProperty(104).OnCall(1);
    if (c.passwordRefused) script.Answer(KF_Card_SetProperty, KA_E_STORAGE).ForProperty(104);
    log().Clear();

    EXPECT_EQ(Store(KS_PROFILE_WEB, Profile(KS_PROFILE_WEB, "ann", "pw")),
              c.passwordRefused ? 0 : 1);

    EXPECT_EQ(AttemptLimit(), c.after);
    EXPECT_EQ(log().Count("KA_GetProperty Failed With Error = -17"), c.stored ? 0u : 1u);
    EXPECT_EQ(CallsOf(KF_SetProperty).size(), 2u);
    EXPECT_EQ(Cards().size(), c.passwordRefused ? 0u : 1u);
  }
}

TEST_P(ProfileWriting, ARefusedWriteTakesTheCardAwayAgain) {
  for (int32_t refused : {104, 103, 3101, 105, 1003}) {
    SCOPED_TRACE(refused);
    FreshStore();
    SetAttemptLimit(3);
    StoreScript script;
    script.Answer(KF_Card_SetProperty, KA_E_STORAGE).ForProperty(refused);
    log().Clear();

    EXPECT_EQ(Store(KS_PROFILE_WEB, Profile(KS_PROFILE_WEB, "ann", "pw", "t", "long", 2)), 0);

    EXPECT_TRUE(Cards().empty());
    EXPECT_EQ(std::get<0>(CardWrites().back()), refused);  // nothing written after it
    EXPECT_EQ(CallsWithoutOpenings().back(), "KA_Card_Delete");
    EXPECT_EQ(CallsOf(KF_Card_Release).size(), 0u);
    EXPECT_EQ(AttemptLimit(), 3u);
    EXPECT_EQ(LastLines(log(), 4),
              "KA_Card_SetProperty Failed With Error = -7 | SetCardProperty Failed And Delete "
              "This Card | Exiting SetProfile() With bRet = 0 | Exiting SetSingleProfile() With "
              "bRet = 0");
  }
}

TEST_P(ProfileWriting, ARefusedCardLeavesNothingAndAnUndeletableOneStaysBehind) {
  {
    StoreScript script;
    script.Answer(KF_Id_CreateCard, KA_E_STORAGE);
    EXPECT_EQ(Store(KS_PROFILE_WEB, Profile(KS_PROFILE_WEB, "ann", "pw")), 0);
    EXPECT_TRUE(CardWrites().empty());
    EXPECT_EQ(CallsOf(KF_SetProperty).size(), 0u);  // the attempt limit is not touched
  }
  StoreScript script;
  script.Answer(KF_Card_SetProperty, KA_E_STORAGE).ForProperty(103);
  script.Answer(KF_Card_Delete, KA_E_STORAGE);
  EXPECT_EQ(Store(KS_PROFILE_APP, Profile(KS_PROFILE_APP, "ann", "pw")), 0);
  EXPECT_EQ(log().Count("KA_Card_Delete Failed With Error = -7"), 1u);
  EXPECT_EQ(Cards().size(), 1u);
}

// The euro sign is three bytes of UTF-8 and one UTF-16 unit.
std::string Euros(size_t n) {
  std::string text;
  for (size_t i = 0; i < n; ++i) text += "\xE2\x82\xAC";
  return text;
}

// The largest domain (511 bytes of UTF-8) and Text105 (4095 bytes) that
// their reads hold.
const std::string kLargestDomain = Euros(170) + "x";
const std::string kLargestText105 = Euros(1365);

TEST_P(ProfileWriting, WhatIsStoredReadsBackTheSameAndTwiceGivesTwoCards) {
  const KS_PROFILE written = Profile(KS_PROFILE_WEB, "j\xC3\xBCrgen", "p\xF0\x9F\x94\x91",
                                     "\xE2\x82\xAC", kLargestText105, 3);
  ASSERT_EQ(Store(KS_PROFILE_WEB, written, kLargestDomain), 1);
  KS_DOMAIN d = Domain(kLargestDomain);
  KS_PROFILE read = {};
  DWORD count = 0;
  ASSERT_EQ(::GetProfile(KS_PROFILE_WEB, &d, &read, 1, &count), 1);
  EXPECT_EQ(std::memcmp(&read, &written, sizeof read), 0);
  ASSERT_EQ(Store(KS_PROFILE_WEB, written, kLargestDomain), 1);
  EXPECT_EQ(CardsOf(kLargestDomain).size(), 2u);
}

// Records a writer refuses before it opens the store: null, unterminated,
// or holding a text the store would keep but no read could give back.
TEST_P(ProfileWriting, NullOrUnterminatedArgumentsAreRefused) {
  KS_DOMAIN d = Domain(kSite);
  KS_DOMAIN endless;
  for (WCHAR& unit : endless.Domain) unit = u'd';
  KS_PROFILE ann = Profile(KS_PROFILE_WEB, "ann", "pw");
  auto unterminated = [](auto field) {
    KS_PROFILE p = Profile(KS_PROFILE_WEB, "ann", "pw");
    field(p);
    return p;
  };
  KS_PROFILE longUser = unterminated([](KS_PROFILE& p) {
    for (WCHAR& u : p.UserName) u = u'u';
  });
  KS_PROFILE longPassword = unterminated([](KS_PROFILE& p) {
    for (WCHAR& u : p.Password) u = u'p';
  });
  KS_PROFILE longText105 = unterminated([](KS_PROFILE& p) {
    for (WCHAR& u : p.Text105) u = u't';
  });
  KS_PROFILE wideText105 =
      unterminated([](KS_PROFILE& p) { Fill(p.Text105, kLargestText105 + "x"); });
  KS_DOMAIN wideDomain = Domain(kLargestDomain + "x");
  struct Case {
    const char* name;
    KS_PROFILE_TYPE kind;
    KS_DOMAIN* domain;
    KS_PROFILE* profile;
  };
  const std::vector<Case> cases = {
      {"null domain", KS_PROFILE_WEB, nullptr, &ann},
      {"null record", KS_PROFILE_WEB, &d, nullptr},
      {"domain without terminator", KS_PROFILE_WEB, &endless, &ann},
      {"user name without terminator", KS_PROFILE_APP, &d, &longUser},
      {"password without terminator", KS_PROFILE_WEB, &d, &longPassword},
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
  // An application profile has no Text105: its content does not matter.
  EXPECT_EQ(::SetSingleProfile(KS_PROFILE_APP, &d, &longText105), 1);
  EXPECT_EQ(::SetSingleProfile(3, &d, &ann), 0);
  EXPECT_EQ(Cards().size(), 1u);
}

TEST_P(ProfileWriting, AnUpdateRewritesTheFirstMatchingCardOnly) {
  const int64_t first = SeedWeb(kSite, kAnn);
  const int64_t second = SeedWeb(kSite, kAnn);
  SetAttemptLimit(4);
  log().Clear();

  EXPECT_EQ(Update(KS_PROFILE_WEB, Profile(KS_PROFILE_WEB, "ann", "new", "t2", "long2", 1)), 1);

  EXPECT_EQ(CardText(first, 104), "new");
  EXPECT_EQ(CardText(first, 3101), "t2");
  EXPECT_EQ(CardText(first, 105), "long2");
  EXPECT_EQ(CardByte(first, 1003), 1);
  EXPECT_EQ(CardText(second, 104), "pw-ann");
  // The user name is the key and is not rewritten; the limit is not touched.
  EXPECT_EQ(CardWrites(),
            (std::vector<Write>{{104, 10, -1}, {3101, -20, -1}, {105, -20, -1}, {1003, -20, 1}}));
  EXPECT_EQ(CallsOf(KF_GetProperty).size() + CallsOf(KF_SetProperty).size(), 0u);
  EXPECT_EQ(CallsOf(KF_Id_GetCard).size(), 1u);
  EXPECT_EQ(
      LinesOf(log(), "DataManagerUtils::UpdateProfile"),
      "Entering UpdateProfile() | Domain Is site.example | Get Profile | Profile Is Found. So "
      "Break Here | Update Profile | Update Profile Successfully | Profile Type Is WEB; "
      "UserName Is ann | Exiting UpdateProfile() With bRet = 1");
  ExpectEachCardReleasedBeforeTheNextRequest();
}

TEST_P(ProfileWriting, AnUpdateMatchesUserNamesExactly) {
  SeedWeb(kSite, {"bob", "pw", "t", "long", std::nullopt, std::nullopt});
  SeedWeb(kSite, {"ann", "pw", "t", "long", std::nullopt, std::nullopt});
  const int64_t nameless = KeelTest_SeedCard(kSite.c_str(), kWebCategory);
  SetCardText(nameless, 103, "");
  for (const char* user : {"Ann", "an", "ann ", ""}) {
    SCOPED_TRACE(user);
    KeelTest_TraceClear();
    EXPECT_EQ(Update(KS_PROFILE_WEB, Profile(KS_PROFILE_WEB, user, "new")), 0);
    EXPECT_TRUE(CardWrites().empty());
    EXPECT_EQ(CallsOf(KF_Id_GetCard).size(), 4u);  // three cards and the end of the walk
    ExpectEachCardReleasedBeforeTheNextRequest();
  }
}

// The first card's name cannot be read: the update passes over it, then
// fails on the second card's Text105 and keeps what it wrote before.
TEST_P(ProfileWriting, AnUpdatePassesOverUnreadableNamesAndAFailedOneKeepsWhatItWrote) {
  const int64_t first = SeedWeb(kSite, kAnn);
  const int64_t second = SeedWeb(kSite, kAnn);
  StoreScript script;
  script.Answer(KF_Card_GetProperty, KA_E_STORAGE).ForProperty(103).OnCall(1);
  script.Answer(KF_Card_SetProperty, KA_E_STORAGE).ForProperty(105);
  EXPECT_EQ(Update(KS_PROFILE_WEB, Profile(KS_PROFILE_WEB, "ann", "new", "t2", "long2", 1)), 0);
  EXPECT_EQ(CardText(first, 104), "pw-ann");
  EXPECT_EQ(CardText(second, 104), "new");
  EXPECT_EQ(CardText(second, 3101), "t2");
  EXPECT_EQ(CardText(second, 105), "long-ann");
  EXPECT_EQ(CardByte(second, 1003), std::nullopt);
  EXPECT_EQ(Cards().size(), 2u);
  EXPECT_EQ(log().Count("Update Profile Successfully"), 0u);
  ExpectEachCardReleasedBeforeTheNextRequest();
}

TEST_P(ProfileWriting, ExistenceIsTestedWithoutReadingPasswords) {
  SeedWeb(kSite, {"ann", "pw", "t", "long", std::nullopt, std::nullopt});
  SeedWeb(kSite, {"bob", "pw", "t", "long", std::nullopt, std::nullopt});
  StoreScript script;
  script.Answer(KF_Card_GetProperty, KA_E_AUTH_REFUSED).ForProperty(104);
  struct Case {
    const char* user;
    const char* domain;
    BOOL exists;
  };
  for (const Case& c : {Case{"bob", kSite.c_str(), 1}, Case{"Bob", kSite.c_str(), 0},
                        Case{"", kSite.c_str(), 0}, Case{"bob", "other.example", 0}}) {
    SCOPED_TRACE(std::string(c.user) + "@" + c.domain);
    KeelTest_TraceClear();
    log().Clear();
    KS_DOMAIN d = Domain(c.domain);
    KS_PROFILE p = Profile(KS_PROFILE_WEB, c.user);
    EXPECT_EQ(::IsProfileExist(KS_PROFILE_WEB, &d, &p), c.exists);
    for (int32_t property : PropertiesOf(KF_Card_GetProperty)) EXPECT_NE(property, 104);
    EXPECT_EQ(log().Count("Exiting IsProfileExist() With bRet = " + std::to_string(c.exists)), 2u);
  }
  KS_DOMAIN d = Domain(kSite);
  KS_PROFILE p = Profile(KS_PROFILE_WEB, "ann");
  log().Clear();
  EXPECT_EQ(::IsProfileExist(KS_PROFILE_WEB, &d, &p), 1);
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::IsProfileExist"),
            "Entering IsProfileExist() | Query Profile | Determine If Profile Is Exist Or Not | "
            "Profile Is Found. So Break Here | Exiting IsProfileExist() With bRet = 1");
  EXPECT_EQ(log().Count("Exiting QueryProfile() With bRet = 1; Count = 2"), 1u);
}

DM_ON_EVERY_BACKEND(ProfileWriting);

}  // namespace
}  // namespace dm::test
