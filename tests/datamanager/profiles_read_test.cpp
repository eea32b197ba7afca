// Reading profiles: the count, the two list forms, the single form with its
// one-time-password gate, and the export's choice between them.
#include <cstring>
#include <string>
#include <vector>

#include "DataManager.h"
#include "support/DataManagerTest.h"
#include "support/ProfileCards.h"

namespace dm::test {
namespace {

using ProfileReading = DataManagerTest;

const std::string kSite = "site.example";

void SeedThreeWebProfiles() {
  SeedWeb(kSite, {"ann", "pw-ann", "t-ann", "long-ann", 2, std::nullopt});
  SeedWeb(kSite, {"bob", "pw-bob", "t-bob", "long-bob", std::nullopt, std::nullopt});
  SeedWeb(kSite, {"cid", "pw-cid", "t-cid", "long-cid", 0, std::nullopt});
}

// Calls the list form of GetProfile (or QueryProfile) with `capacity`
// zero-filled records; answers the users read.
struct ListResult {
  BOOL bRet = 0;
  DWORD count = 0;
  std::vector<KS_PROFILE> records;
  Names users() const {
    Names out;
    for (DWORD i = 0; i < count; ++i) out.push_back(Utf8(records[i].UserName));
    return out;
  }
};

ListResult ReadList(bool query, DWORD capacity, KS_PROFILE_TYPE kind = KS_PROFILE_WEB,
                    const std::string& domain = kSite) {
  ListResult r;
  r.records.assign(capacity, KS_PROFILE{});
  KS_DOMAIN d = Domain(domain);
  r.bRet = query ? ::QueryProfile(kind, &d, r.records.data(), capacity, &r.count)
                 : ::GetProfile(kind, &d, r.records.data(), capacity, &r.count);
  return r;
}

size_t CardRequests() { return CallsOf(KF_Id_GetCard).size(); }

TEST_P(ProfileReading, AListReadsEveryValueOfEachWebProfile) {
  SeedThreeWebProfiles();
  const ListResult r = ReadList(false, 3);
  EXPECT_EQ(r.bRet, 1);
  ASSERT_EQ(r.count, 3u);
  EXPECT_EQ(r.users(), (Names{"ann", "bob", "cid"}));
  const KS_PROFILE& ann = r.records[0];
  EXPECT_EQ(ann.ProfileType, KS_PROFILE_WEB);
  EXPECT_EQ(Utf8(ann.Password), "pw-ann");
  EXPECT_EQ(Utf8(ann.Text3101), "t-ann");
  EXPECT_EQ(Utf8(ann.Text105), "long-ann");
  EXPECT_EQ(ann.OtpMode, 2u);
  EXPECT_EQ(r.records[1].OtpMode, KS_OTP_MODE_UNSET);  // never stored
  EXPECT_EQ(r.records[2].OtpMode, 0u);
  // Full after the third, though no fourth card was waiting.
  EXPECT_EQ(log().Count("Input Buffer Is Not Enough. So Break Here"), 1u);
  EXPECT_EQ(PropertiesOf(KF_Card_GetProperty),
            (std::vector<int32_t>{104, 104, 103, 103, 3101, 3101, 105, 105, 1003,
                                  104, 104, 103, 103, 3101, 3101, 105, 105, 1003,
                                  104, 104, 103, 103, 3101, 3101, 105, 105, 1003}));
  ExpectEachCardReleasedBeforeTheNextRequest();
}

TEST_P(ProfileReading, AListWritesItsLinesInOrder) {
  SeedApp(kSite, {"ann", "pw", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  SeedApp(kSite, {"bob", "pw", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  EXPECT_EQ(ReadList(false, 5, KS_PROFILE_APP).count, 2u);
  EXPECT_EQ(FunctionOrder(log()), "GetProfile > DataManagerUtils::GetProfile > GetProfile");
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::GetProfile"),
            "Entering GetProfile(KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE,DWORD,PDWORD) | Domain Is "
            "site.example, Input Count Is 5 | Get Profile | Get Profile Index = 0 Successfully | "
            "Profile Type Is APP; UserName Is ann | Get Profile Index = 1 Successfully | Profile "
            "Type Is APP; UserName Is bob | Get Profile Successfully | Exiting GetProfile("
            "KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE,DWORD,PDWORD) With bRet = 1; Count = 2");
}

TEST_P(ProfileReading, ASmallArrayTakesTheFirstProfilesInStoreOrder) {
  SeedThreeWebProfiles();
  ListResult r = ReadList(false, 2);
  EXPECT_EQ(r.bRet, 1);
  EXPECT_EQ(r.users(), (Names{"ann", "bob"}));
  EXPECT_EQ(log().Count("Input Buffer Is Not Enough. So Break Here"), 1u);
  EXPECT_EQ(CardRequests(), 2u);  // the third card is never asked for
}

TEST_P(ProfileReading, ARefusedAuthenticationStopsTheList) {
  for (int16_t status : {KA_E_AUTH_REFUSED, KA_E_AUTH_CANCELLED}) {
    SCOPED_TRACE(status);
    RemoveAllCards();
    SeedThreeWebProfiles();
    StoreScript script;
    script.Answer(KF_Card_GetProperty, status).ForProperty(104).OnCall(3);  // bob's size query
    log().Clear();

    const ListResult r = ReadList(false, 3);

    EXPECT_EQ(r.bRet, 1);
    EXPECT_EQ(r.users(), (Names{"ann"}));
    EXPECT_EQ(log().Count("Get Profile Index = 1 Failed"), 1u);
    EXPECT_EQ(
        log().Count("Authentication With Error = " + std::to_string(status) + ". So Break Here"),
        1u);
    EXPECT_EQ(CardRequests(), 2u);
    ExpectEachCardReleasedBeforeTheNextRequest();
  }
}

TEST_P(ProfileReading, AStepAnsweredWithoutANewCardEndsTheList) {
  SeedApp(kSite, {"ann", "pw-ann", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  StoreScript script;
  script.Answer(KF_Id_GetCard, KA_OK);  // "success", and no card handed out

  const ListResult r = ReadList(false, 3, KS_PROFILE_APP);

  EXPECT_EQ(r.users(), Names{});
  EXPECT_EQ(CardRequests(), 1u) << "the walk ends there, instead of never";
}

TEST_P(ProfileReading, AFailedCardLeavesItsRecordToTheNextOne) {
  SeedApp(kSite, {"ann", "pw-ann", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  SeedApp(kSite, {"bob", "pw-bob", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  const int64_t cid =
      SeedApp(kSite, {"cid", "", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  // cid's password is stored empty (size 0): its read leaves the field alone.
  ASSERT_EQ(KeelTest_SetProperty(cid, 104, KA_ATTR_SECRET, nullptr, 0), KA_OK);
  StoreScript script;
  script.Answer(KF_Card_GetProperty, KA_E_STORAGE).ForProperty(103).OnCall(3);  // bob's name

  const ListResult r = ReadList(false, 3, KS_PROFILE_APP);

  EXPECT_EQ(r.bRet, 1);
  EXPECT_EQ(r.users(), (Names{"ann", "cid"}));
  EXPECT_EQ(Utf8(r.records[1].Password), "pw-bob");  // what the failed card left
  EXPECT_EQ(log().Count("Get Profile Index = 1 Failed"), 1u);
  EXPECT_EQ(log().Count("Get Profile Index = 1 Successfully"), 1u);
  EXPECT_EQ(log().Count("Authentication With Error = -7. So Break Here"), 0u);
  EXPECT_EQ(CardRequests(), 4u);  // three cards and the request that ends the walk
}

TEST_P(ProfileReading, WebExtrasNeverFailAProfile) {
  SeedWeb(kSite, {"ann", "pw", "t", "long", 2, std::nullopt});
  StoreScript script;
  script.Answer(KF_Card_GetProperty, KA_E_STORAGE).ForProperty(3101);
  script.Answer(KF_Card_GetProperty, KA_E_STORAGE).ForProperty(105);
  script.Answer(KF_Card_GetProperty, KA_E_STORAGE).ForProperty(1003);
  ListResult r = ReadList(false, 1);
  EXPECT_EQ(r.bRet, 1);
  EXPECT_EQ(Utf8(r.records[0].Text3101), "");
  EXPECT_EQ(Utf8(r.records[0].Text105), "");
  EXPECT_EQ(r.records[0].OtpMode, KS_OTP_MODE_UNSET);
  EXPECT_EQ(log().Count("KA_Card_GetProperty Failed With Error = -7"), 3u);
}

TEST_P(ProfileReading, AnAppProfileLeavesTheWebFieldsAlone) {
  SeedApp(kSite, {"ann", "pw", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  KS_PROFILE record = Profile(KS_PROFILE_WEB, "", "", "kept", "kept too", 7);
  KS_DOMAIN d = Domain(kSite);
  DWORD count = 0;
  ASSERT_EQ(::GetProfile(KS_PROFILE_APP, &d, &record, 1, &count), 1);
  EXPECT_EQ(record.ProfileType, KS_PROFILE_APP);
  EXPECT_EQ(Utf8(record.UserName), "ann");
  EXPECT_EQ(Utf8(record.Text3101), "kept");
  EXPECT_EQ(Utf8(record.Text105), "kept too");
  EXPECT_EQ(record.OtpMode, 7u);
  EXPECT_EQ(PropertiesOf(KF_Card_GetProperty), (std::vector<int32_t>{104, 104, 103, 103}));
}

TEST_P(ProfileReading, AQueryReadsNoPasswordAndClearsTheField) {
  SeedThreeWebProfiles();
  StoreScript script;
  script.Answer(KF_Card_GetProperty, KA_E_AUTH_REFUSED).ForProperty(104);  // would stop a list
  ListResult r;
  r.records.assign(3, Profile(KS_PROFILE_WEB, "", "stale password"));
  KS_DOMAIN d = Domain(kSite);
  r.bRet = ::QueryProfile(KS_PROFILE_WEB, &d, r.records.data(), 3, &r.count);

  EXPECT_EQ(r.bRet, 1);
  EXPECT_EQ(r.users(), (Names{"ann", "bob", "cid"}));
  for (const KS_PROFILE& p : r.records) {
    for (WCHAR unit : p.Password) ASSERT_EQ(unit, 0);
  }
  EXPECT_EQ(Utf8(r.records[1].Text3101), "t-bob");
  EXPECT_EQ(r.records[0].OtpMode, 2u);
  for (int32_t property : PropertiesOf(KF_Card_GetProperty)) EXPECT_NE(property, 104);
  const std::string lines = LinesOf(log(), "DataManagerUtils::QueryProfile");
  EXPECT_TRUE(lines.starts_with(
      "Entering QueryProfile() | Domain Is site.example, Input Count Is 3 | Query Profile | "
      "Query Profile Index = 0 Successfully | Profile Type Is WEB; UserName Is ann | "))
      << lines;
  EXPECT_TRUE(
      lines.ends_with(" | Query Profile Successfully | Exiting QueryProfile() With "
                      "bRet = 1; Count = 3"))
      << lines;
}

TEST_P(ProfileReading, AQueryStopsOnARefusedUserName) {
  SeedThreeWebProfiles();
  StoreScript script;
  script.Answer(KF_Card_GetProperty, KA_E_AUTH_CANCELLED).ForProperty(103).OnCall(1);
  const ListResult r = ReadList(true, 3);
  EXPECT_EQ(r.bRet, 0);
  EXPECT_EQ(r.count, 0u);
  EXPECT_EQ(log().Count("Query Profile Index = 0 Failed"), 1u);
  EXPECT_EQ(log().Count("Authentication With Error = -9. So Break Here"), 1u);
  EXPECT_EQ(CardRequests(), 1u);
}

// Values the store holds that a record cannot: each reads as the empty text
// (or, past the read buffer, fails the read), and no field is overrun.
TEST_P(ProfileReading, StoredValuesThatDoNotFitReadAsEmpty) {
  struct Case {
    const char* name;
    int32_t property;
    std::string stored;
    std::string read;  // what the field shows
    BOOL bRet;
  };
  const std::string astral = "\xF0\x9F\x98\x80";  // two UTF-16 units
  const std::vector<Case> cases = {
      {"user name of 255 units", 103, std::string(255, 'u'), std::string(255, 'u'), 1},
      {"user name of 256 units", 103, std::string(256, 'u'), "", 1},
      {"user name not UTF-8", 103, "ab\xFF", "", 1},
      {"password with an encoded surrogate", 104, "\xED\xA0\x80", "", 1},
      {"Text3101 of 127 pairs and one unit", 3101,
       [&] {
         std::string s;
         for (int i = 0; i < 127; ++i) s += astral;
         return s + "z";
       }(),
       [&] {
         std::string s;
         for (int i = 0; i < 127; ++i) s += astral;
         return s + "z";
       }(),
       1},
      {"Text3101 of 128 pairs", 3101,
       [&] {
         std::string s;
         for (int i = 0; i < 128; ++i) s += astral;
         return s;
       }(),
       "", 1},
      {"Text105 of 2047 units", 105, std::string(2047, 't'), std::string(2047, 't'), 1},
      {"Text105 of 2048 units", 105, std::string(2048, 't'), "", 1},
      {"user name past the read buffer", 103, std::string(5000, 'u'), "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveAllCards();
    const int64_t card = SeedWeb(kSite, {"user", "pw", "t", "long", std::nullopt, std::nullopt});
    SetCardText(card, c.property, c.stored);

    KS_PROFILE records[2];
    std::memset(records, 0x41, sizeof records);
    KS_DOMAIN d = Domain(kSite);
    DWORD count = 0;
    EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, &d, records, 1, &count), c.bRet);
    if (c.bRet) {
      const KS_PROFILE& r = records[0];
      const std::string shown = c.property == 103    ? Utf8(r.UserName)
                                : c.property == 104  ? Utf8(r.Password)
                                : c.property == 3101 ? Utf8(r.Text3101)
                                                     : Utf8(r.Text105);
      EXPECT_EQ(shown, c.read);
    }
    const auto* after = reinterpret_cast<const unsigned char*>(&records[1]);
    for (size_t i = 0; i < sizeof(KS_PROFILE); ++i) ASSERT_EQ(after[i], 0x41) << i;
  }
}

TEST_P(ProfileReading, TheCountCountsEveryCardOfTheDomain) {
  SeedThreeWebProfiles();
  KeelTest_SeedCard(kSite.c_str(), kWebCategory);  // no properties at all
  SeedWeb("other.example", {"x", "y", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  SeedApp(kSite, {"x", "y", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  KS_DOMAIN d = Domain(kSite);
  DWORD count = 0;
  EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, &d, nullptr, 0, &count), 1);
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(log().Count("Exiting GetProfileCount() With bRet = 1; Count = 4"), 1u);
  EXPECT_EQ(CallsOf(KF_Card_GetProperty).size(), 0u);
  ExpectEachCardReleasedBeforeTheNextRequest();
}

TEST_P(ProfileReading, ARefusedReleaseEndsTheCountWithTheCardCounted) {
  SeedThreeWebProfiles();
  StoreScript script;
  script.Answer(KF_Card_Release, KA_E_STORAGE).OnCall(2);
  KS_DOMAIN d = Domain(kSite);
  DWORD count = 0;
  EXPECT_EQ(::QueryProfile(KS_PROFILE_WEB, &d, nullptr, 0, &count), 1);
  EXPECT_EQ(count, 2u);
}

TEST_P(ProfileReading, NothingToReadGivesNothing) {
  KS_DOMAIN d = Domain(kSite);
  KS_PROFILE record = Profile(KS_PROFILE_WEB, "untouched");
  DWORD count = 9;
  EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, &d, nullptr, 0, &count), 0);  // no cards
  EXPECT_EQ(count, 0u);
  count = 9;
  EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, nullptr, &record, 1, &count), 0);  // no domain
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(::GetProfile(3, &d, &record, 1, &count), 0);                // no such kind
  EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, &d, &record, 0, nullptr), 0);  // single, no cards
  EXPECT_EQ(Utf8(record.UserName), "untouched");
}

TEST_P(ProfileReading, TheExportChoosesTheForm) {
  SeedWeb(kSite, {"ann", "pw", "t", "long", std::nullopt, std::nullopt});
  KS_DOMAIN d = Domain(kSite);
  KS_PROFILE record = {};
  DWORD count = 0;
  const std::string list =
      "Entering GetProfile(KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE,DWORD,PDWORD)";
  struct Case {
    bool query;
    KS_PROFILE* profile;
    DWORD capacity;
    DWORD* count;
    std::string worker;  // the worker's entry line
    BOOL bRet;
  };
  const std::vector<Case> cases = {
      {false, nullptr, 0, &count, "Entering GetProfileCount()", 1},
      {false, nullptr, 0, nullptr, "Entering GetProfileCount()", 0},
      {false, nullptr, 1, &count, list, 0},  // nothing to fill into: refused
      {false, &record, 0, nullptr, "Entering GetProfile(KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE)",
       1},
      {false, &record, 0, &count, list, 0},   // the list refuses a capacity of 0
      {false, &record, 1, nullptr, list, 0},  // nowhere to put the count: refused
      {false, &record, 1, &count, list, 1},
      {true, nullptr, 0, &count, "Entering GetProfileCount()", 1},
      {true, &record, 0, nullptr, "Entering QueryProfile()", 0},
      {true, &record, 1, &count, "Entering QueryProfile()", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.query ? "QueryProfile " : "GetProfile ")
                                    << (c.profile ? "record, " : "null, ") << c.capacity
                                    << (c.count ? ", count" : ", null count"));
    log().Clear();
    const BOOL bRet = c.query ? ::QueryProfile(KS_PROFILE_WEB, &d, c.profile, c.capacity, c.count)
                              : ::GetProfile(KS_PROFILE_WEB, &d, c.profile, c.capacity, c.count);
    EXPECT_EQ(bRet, c.bRet);
    ASSERT_GE(log().lines().size(), 2u);
    EXPECT_EQ(log().lines()[1].text, c.worker);
  }
}

TEST_P(ProfileReading, TheSingleFormReadsTheStoresCardForTheDomain) {
  SeedWeb(kSite, {"ann", "pw-ann", "t-ann", "long-ann", 1, std::nullopt});
  SeedWeb(kSite, {"bob", "pw-bob", "t-bob", "long-bob", std::nullopt, std::nullopt});
  KS_DOMAIN d = Domain(kSite);
  KS_PROFILE record = {};
  ASSERT_EQ(::GetProfile(KS_PROFILE_WEB, &d, &record, 0, nullptr), 1);
  EXPECT_EQ(Utf8(record.UserName), "ann");
  EXPECT_EQ(Utf8(record.Password), "pw-ann");
  EXPECT_EQ(Utf8(record.Text105), "long-ann");
  EXPECT_EQ(record.OtpMode, 1u);
  const std::vector<KeelCall> requests = CallsOf(KF_Id_GetCard);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].mode, 3);
  EXPECT_STREQ(requests[0].text, kSite.c_str());
  EXPECT_EQ(PropertiesOf(KF_Card_GetProperty),
            (std::vector<int32_t>{1003, 104, 104, 103, 103, 3101, 3101, 105, 105}));
  EXPECT_EQ(CallsOf(KF_Id_GetProperty).size(), 0u);  // mode 1: no gate
  EXPECT_EQ(LastLines(log(), 4),
            "Get Profile Successfully | Profile Type Is WEB; UserName Is ann | Exiting GetProfile("
            "KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE) With bRet = 1 | Exiting GetProfile() With "
            "bRet = 1");
  ExpectEachCardReleasedBeforeTheNextRequest();
}

// Mode 2 puts the single read behind a read of identity property 21, or,
// when that fails for another reason than a refused authentication, 22.
TEST_P(ProfileReading, TheOneTimePasswordGate) {
  struct Case {
    const char* name;
    std::optional<int16_t> fail21, fail22;
    BOOL bRet;
    std::vector<int32_t> identityReads;
    const char* authenticationLine;
  };
  const std::vector<Case> cases = {
      {"21 readable", std::nullopt, std::nullopt, 1, {21, 21}, nullptr},
      {"21 refused",
       KA_E_AUTH_CANCELLED,
       std::nullopt,
       0,
       {21},
       "Authentication With Error = -9. So Break Here"},
      {"21 refused on its read",
       std::nullopt,
       std::nullopt,
       0,
       {21, 21},
       "Authentication With Error = -6. So Break Here"},
      {"21 missing, 22 readable", KA_E_NOT_STORED, std::nullopt, 1, {21, 22, 22}, nullptr},
      {"21 and 22 missing", KA_E_NOT_STORED, KA_E_STORAGE, 0, {21, 22}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveAllCards();
    SeedWeb(kSite, {"ann", "pw", "t", "long", 2, std::nullopt});
    const int64_t identity = KeelTest_IdentityObject();
    ASSERT_EQ(KeelTest_SetProperty(identity, 21, KA_ATTR_PLAIN, "otp-1", -1), KA_OK);
    ASSERT_EQ(KeelTest_SetProperty(identity, 22, KA_ATTR_PLAIN, "otp-2", -1), KA_OK);
    StoreScript script;
    if (c.fail21) script.Answer(KF_Id_GetProperty, *c.fail21).ForProperty(21).OnCall(1);
    if (c.fail22) script.Answer(KF_Id_GetProperty, *c.fail22).ForProperty(22).OnCall(1);
    if (c.authenticationLine != nullptr && !c.fail21) {
      script.Answer(KF_Id_GetProperty, KA_E_AUTH_REFUSED).ForProperty(21).OnCall(2);
    }
    log().Clear();
    KS_DOMAIN d = Domain(kSite);
    KS_PROFILE record = {};

    EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, &d, &record, 0, nullptr), c.bRet);

    EXPECT_EQ(PropertiesOf(KF_Id_GetProperty), c.identityReads);
    const std::vector<int32_t> cardReads = PropertiesOf(KF_Card_GetProperty);
    if (c.bRet) {
      EXPECT_EQ(Utf8(record.Password), "pw");
    } else {
      EXPECT_EQ(cardReads, (std::vector<int32_t>{1003}));  // nothing read past the gate
      EXPECT_EQ(log().Count("Get Profile Failed"), 1u);
    }
    Names authenticationLines;
    for (const std::string& text : log().Texts()) {
      if (text.rfind("Authentication With Error", 0) == 0) authenticationLines.push_back(text);
    }
    EXPECT_EQ(authenticationLines, c.authenticationLine ? Names{c.authenticationLine} : Names{});
    ExpectEachCardReleasedBeforeTheNextRequest();
  }
}

TEST_P(ProfileReading, TheSingleFormFailsOnARefusedPassword) {
  SeedApp(kSite, {"ann", "pw", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  StoreScript script;
  script.Answer(KF_Card_GetProperty, KA_E_AUTH_REFUSED).ForProperty(104).OnCall(2);
  KS_DOMAIN d = Domain(kSite);
  KS_PROFILE record = {};
  EXPECT_EQ(::GetProfile(KS_PROFILE_APP, &d, &record, 0, nullptr), 0);
  EXPECT_EQ(PropertiesOf(KF_Card_GetProperty), (std::vector<int32_t>{104, 104}));
  EXPECT_EQ(
      LastLines(log(), 5),
      "KA_Card_GetProperty Failed With Error = -6 | Get Profile Failed | Authentication With "
      "Error = -6. So Break Here | Exiting GetProfile(KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE) "
      "With bRet = 0 | Exiting GetProfile() With bRet = 0");
}

TEST_P(ProfileReading, TheSingleFormWithoutACardLogsNothingMore) {
  KS_DOMAIN d = Domain(kSite);
  KS_PROFILE record = {};
  EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, &d, &record, 0, nullptr), 0);
  EXPECT_EQ(LastLines(log(), 3),
            "Get Profile | Exiting GetProfile(KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE) With bRet = "
            "0 | Exiting GetProfile() With bRet = 0");
}

TEST_P(ProfileReading, AnUnterminatedDomainIsReadOnlyToItsWidth) {
  KS_DOMAIN d;
  for (WCHAR& unit : d.Domain) unit = u'd';
  DWORD count = 0;
  EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, &d, nullptr, 0, &count), 0);
  const std::vector<KeelCall> requests = CallsOf(KF_Id_GetCard);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(std::string(requests[0].text), std::string(256, 'd'));
  EXPECT_EQ(log().Count("Domain Is " + std::string(256, 'd')), 1u);
}

DM_ON_EVERY_BACKEND(ProfileReading);

}  // namespace
}  // namespace dm::test
