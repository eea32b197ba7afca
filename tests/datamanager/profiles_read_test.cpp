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
const Names kThreeUsers = {"ann", "bob", "cid"};

void SeedThreeWebProfiles() {
  SeedWeb(kSite, {"ann", "pw-ann", "t-ann", "long-ann", 2, std::nullopt});
  SeedWeb(kSite, {"bob", "pw-bob", "t-bob", "long-bob", std::nullopt, std::nullopt});
  SeedWeb(kSite, {"cid", "pw-cid", "t-cid", "long-cid", 0, std::nullopt});
}

int64_t SeedPlainApp(const std::string& user, const std::string& password = "pw") {
  return SeedApp(kSite, {user, password, std::nullopt, std::nullopt, std::nullopt, std::nullopt});
}

// The list form of GetProfile (or QueryProfile) over `capacity` records.
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
                    KS_PROFILE blank = {}) {
  ListResult r;
  r.records.assign(capacity, blank);
  KS_DOMAIN d = Domain(kSite);
  r.bRet = query ? ::QueryProfile(kind, &d, r.records.data(), capacity, &r.count)
                 : ::GetProfile(kind, &d, r.records.data(), capacity, &r.count);
  return r;
}

size_t CardRequests() { return CallsOf(KF_Id_GetCard).size(); }

// The single form: the store's first card of the domain into `record`.
BOOL ReadSingle(KS_PROFILE* record, KS_PROFILE_TYPE kind = KS_PROFILE_WEB) {
  KS_DOMAIN d = Domain(kSite);
  return ::GetProfile(kind, &d, record, 0, nullptr);
}

TEST_P(ProfileReading, AListReadsEveryValueOfTheFirstProfilesUpToItsCapacity) {
  SeedThreeWebProfiles();
  for (DWORD capacity : {2u, 3u}) {
    SCOPED_TRACE(capacity);
    KeelTest_TraceClear();
    log().Clear();
    const ListResult r = ReadList(false, capacity);
    EXPECT_EQ(r.bRet, 1);
    EXPECT_EQ(r.users(), Names(kThreeUsers.begin(), kThreeUsers.begin() + capacity));
    // Full after the last record, whether or not another card was waiting.
    EXPECT_EQ(log().Count("Input Buffer Is Not Enough. So Break Here"), 1u);
    EXPECT_EQ(CardRequests(), capacity);
    std::vector<int32_t> reads;
    for (DWORD i = 0; i < capacity; ++i) {
      reads.insert(reads.end(), {104, 104, 103, 103, 3101, 3101, 105, 105, 1003});
    }
    EXPECT_EQ(PropertiesOf(KF_Card_GetProperty), reads);
    ExpectEachCardReleasedBeforeTheNextRequest();
  }
  const ListResult r = ReadList(false, 3);
  const KS_PROFILE& ann = r.records[0];
  EXPECT_EQ(ann.ProfileType, KS_PROFILE_WEB);
  EXPECT_EQ(Utf8(ann.Password), "pw-ann");
  EXPECT_EQ(Utf8(ann.Text3101), "t-ann");
  EXPECT_EQ(Utf8(ann.Text105), "long-ann");
  EXPECT_EQ(ann.OtpMode, 2u);
  EXPECT_EQ(r.records[1].OtpMode, KS_OTP_MODE_UNSET);  // never stored
  EXPECT_EQ(r.records[2].OtpMode, 0u);
}

TEST_P(ProfileReading, ARefusedAuthenticationStopsTheList) {
  for (int16_t status : {KA_E_AUTH_REFUSED, KA_E_AUTH_CANCELLED}) {
    SCOPED_TRACE(status);
    FreshStore();
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

TEST_P(ProfileReading, AFailedCardLeavesItsRecordToTheNextOneAndTheListItsLines) {
  SeedPlainApp("ann", "pw-ann");
  SeedPlainApp("bob", "pw-bob");
  const int64_t cid = SeedPlainApp("cid", "");
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
  EXPECT_EQ(CardRequests(), 4u);  // three cards and the request that ends the walk

  log().Clear();  // the scripted failure is spent: every card reads now
  EXPECT_EQ(ReadList(false, 5, KS_PROFILE_APP).count, 3u);
  EXPECT_EQ(FunctionOrder(log()), "GetProfile > DataManagerUtils::GetProfile > GetProfile");
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::GetProfile"),
            "Entering GetProfile(KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE,DWORD,PDWORD) | Domain Is "
            "site.example, Input Count Is 5 | Get Profile | Get Profile Index = 0 Successfully | "
            "Profile Type Is APP; UserName Is ann | Get Profile Index = 1 Successfully | Profile "
            "Type Is APP; UserName Is bob | Get Profile Index = 2 Successfully | Profile Type Is "
            "APP; UserName Is cid | Get Profile Successfully | Exiting GetProfile(KS_PROFILE_TYPE,"
            "PKS_DOMAIN,PKS_PROFILE,DWORD,PDWORD) With bRet = 1; Count = 3");
}

TEST_P(ProfileReading, WebExtrasNeverFailAProfileAndAnAppProfileLeavesThemAlone) {
  SeedWeb(kSite, {"ann", "pw", "t", "long", 2, std::nullopt});
  SeedPlainApp("ann");
  {
    StoreScript script;
    for (int32_t property : {3101, 105, 1003}) {
      script.Answer(KF_Card_GetProperty, KA_E_STORAGE).ForProperty(property);
    }
    const ListResult r = ReadList(false, 1);
    EXPECT_EQ(r.bRet, 1);
    EXPECT_EQ(Utf8(r.records[0].Text3101), "");
    EXPECT_EQ(Utf8(r.records[0].Text105), "");
    EXPECT_EQ(r.records[0].OtpMode, KS_OTP_MODE_UNSET);
    EXPECT_EQ(log().Count("KA_Card_GetProperty Failed With Error = -7"), 3u);
  }
  KeelTest_TraceClear();
  const ListResult r =
      ReadList(false, 1, KS_PROFILE_APP, Profile(KS_PROFILE_WEB, "", "", "kept", "kept too", 7));
  ASSERT_EQ(r.bRet, 1);
  EXPECT_EQ(r.records[0].ProfileType, KS_PROFILE_APP);
  EXPECT_EQ(Utf8(r.records[0].UserName), "ann");
  EXPECT_EQ(Utf8(r.records[0].Text3101), "kept");
  EXPECT_EQ(Utf8(r.records[0].Text105), "kept too");
  EXPECT_EQ(r.records[0].OtpMode, 7u);
  EXPECT_EQ(PropertiesOf(KF_Card_GetProperty), (std::vector<int32_t>{104, 104, 103, 103}));
}

TEST_P(ProfileReading, AQueryReadsNoPasswordClearsTheFieldAndStopsOnARefusedName) {
  SeedThreeWebProfiles();
  StoreScript script;
  script.Answer(KF_Card_GetProperty, KA_E_AUTH_REFUSED).ForProperty(104);  // would stop a list
  const ListResult r = ReadList(true, 3, KS_PROFILE_WEB, Profile(KS_PROFILE_WEB, "", "stale"));
  EXPECT_EQ(r.bRet, 1);
  EXPECT_EQ(r.users(), kThreeUsers);
  for (const KS_PROFILE& p : r.records) {
    for (WCHAR unit : p.Password) ASSERT_EQ(unit, 0);
  }
  EXPECT_EQ(Utf8(r.records[1].Text3101), "t-bob");
  EXPECT_EQ(r.records[0].OtpMode, 2u);
  for (int32_t property : PropertiesOf(KF_Card_GetProperty)) EXPECT_NE(property, 104);
  EXPECT_TRUE(LinesOf(log(), "DataManagerUtils::QueryProfile")
                  .starts_with("Entering QueryProfile() | Domain Is site.example, Input Count Is "
                               "3 | Query Profile | Query Profile Index = 0 Successfully | "))
      << LinesOf(log(), "DataManagerUtils::QueryProfile");

  script.Answer(KF_Card_GetProperty, KA_E_AUTH_CANCELLED).ForProperty(103).OnCall(1);
  KeelTest_TraceClear();
  log().Clear();
  const ListResult stopped = ReadList(true, 3);
  EXPECT_EQ(stopped.bRet, 0);
  EXPECT_EQ(stopped.count, 0u);
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
    bool fits;
    BOOL bRet;
  };
  std::string pairs127;  // 254 UTF-16 units in 127 surrogate pairs
  for (int i = 0; i < 127; ++i) pairs127 += "\xF0\x9F\x98\x80";
  const std::vector<Case> cases = {
      {"user name of 255 units", 103, std::string(255, 'u'), true, 1},
      {"user name of 256 units", 103, std::string(256, 'u'), false, 1},
      {"user name not UTF-8", 103, "ab\xFF", false, 1},
      {"password with an encoded surrogate", 104, "\xED\xA0\x80", false, 1},
      {"Text3101 of 127 pairs and one unit", 3101, pairs127 + "z", true, 1},
      {"Text3101 of 128 pairs", 3101, pairs127 + "\xF0\x9F\x98\x80", false, 1},
      {"Text105 of 2047 units", 105, std::string(2047, 't'), true, 1},
      {"Text105 of 2048 units", 105, std::string(2048, 't'), false, 1},
      {"user name past the read buffer", 103, std::string(5000, 'u'), false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FreshStore();
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
      EXPECT_EQ(shown, c.fits ? c.stored : "");
    }
    const auto* after = reinterpret_cast<const unsigned char*>(&records[1]);
    for (size_t i = 0; i < sizeof(KS_PROFILE); ++i) ASSERT_EQ(after[i], 0x41) << i;
  }
}

TEST_P(ProfileReading, TheCountCountsEveryCardOfTheDomainWithoutReadingThem) {
  KS_DOMAIN d = Domain(kSite);
  DWORD count = 9;
  EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, &d, nullptr, 0, &count), 0);  // no cards
  EXPECT_EQ(count, 0u);
  SeedThreeWebProfiles();
  KeelTest_SeedCard(kSite.c_str(), kWebCategory);  // no properties at all
  SeedWeb("other.example", {"x", "y", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  SeedPlainApp("x");
  KeelTest_TraceClear();
  EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, &d, nullptr, 0, &count), 1);
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(log().Count("Exiting GetProfileCount() With bRet = 1; Count = 4"), 1u);
  EXPECT_EQ(CallsOf(KF_Card_GetProperty).size(), 0u);
  ExpectEachCardReleasedBeforeTheNextRequest();

  StoreScript script;  // a refused release ends the count with the card counted
  script.Answer(KF_Card_Release, KA_E_STORAGE).OnCall(2);
  EXPECT_EQ(::QueryProfile(KS_PROFILE_WEB, &d, nullptr, 0, &count), 1);
  EXPECT_EQ(count, 2u);
}

TEST_P(ProfileReading, NothingToReadGivesNothing) {
  KS_DOMAIN d = Domain(kSite);
  KS_PROFILE record = Profile(KS_PROFILE_WEB, "untouched");
  DWORD count = 9;
  EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, nullptr, &record, 1, &count), 0);  // no domain
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(::GetProfile(3, &d, &record, 1, &count), 0);  // no such kind
  EXPECT_EQ(ReadSingle(&record), 0);                      // no cards
  EXPECT_EQ(Utf8(record.UserName), "untouched");
  EXPECT_EQ(LastLines(log(), 3),
            "Get Profile | Exiting GetProfile(KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE) With bRet = "
            "0 | Exiting GetProfile() With bRet = 0");
}

TEST_P(ProfileReading, TheExportChoosesTheForm) {
  SeedWeb(kSite, {"ann", "pw", "t", "long", std::nullopt, std::nullopt});
  KS_DOMAIN d = Domain(kSite);
  KS_PROFILE record = {};
  DWORD count = 0;
  const std::string list =
      "Entering GetProfile(KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE,DWORD,PDWORD)";
  const std::string counting = "Entering GetProfileCount()";
  const std::string query = "Entering QueryProfile()";
  struct Case {
    bool query;
    KS_PROFILE* profile;
    DWORD capacity;
    DWORD* count;
    std::string worker;  // the worker's entry line
    BOOL bRet;
  };
  const std::string single = "Entering GetProfile(KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE)";
  const std::vector<Case> cases = {
      {false, nullptr, 0, &count, counting, 1}, {false, nullptr, 0, nullptr, counting, 0},
      {false, nullptr, 1, &count, list, 0},  // nothing to fill into: refused
      {false, &record, 0, nullptr, single, 1},
      {false, &record, 0, &count, list, 0},   // the list refuses a capacity of 0
      {false, &record, 1, nullptr, list, 0},  // nowhere to put the count: refused
      {false, &record, 1, &count, list, 1},     {true, nullptr, 0, &count, counting, 1},
      {true, &record, 0, nullptr, query, 0},    {true, &record, 1, &count, query, 1},
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

// The single form reads the store's first card of the domain (a mode 3
// request).  Its one-time-password mode 2 puts the read behind a read of
// identity property 21, or, when that fails for another reason than a
// refused authentication, 22; a refused password fails the read the same
// way.
TEST_P(ProfileReading, TheSingleFormAndItsOneTimePasswordGate) {
  struct Case {
    const char* name;
    uint8_t mode;
    std::optional<int16_t> fail21, fail22;  // on the first read
    std::optional<int32_t> refusedOnRead;   // identity 21 or card 104, on its read
    BOOL bRet;
    std::vector<int32_t> identityReads;
    std::optional<int> authenticationError;
  };
  const std::vector<Case> cases = {
      {"mode 1: no gate", 1, {}, {}, {}, 1, {}, {}},
      {"21 readable", 2, {}, {}, {}, 1, {21, 21}, {}},
      {"21 refused", 2, KA_E_AUTH_CANCELLED, {}, {}, 0, {21}, -9},
      {"21 refused on its read", 2, {}, {}, 21, 0, {21, 21}, -6},
      {"21 missing, 22 readable", 2, KA_E_NOT_STORED, {}, {}, 1, {21, 22, 22}, {}},
      {"21 and 22 missing", 2, KA_E_NOT_STORED, KA_E_STORAGE, {}, 0, {21, 22}, {}},
      {"password refused", 2, {}, {}, 104, 0, {21, 21}, -6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FreshStore();
    SeedWeb(kSite, {"ann", "pw", "t", "long", c.mode, std::nullopt});
    SeedWeb(kSite, {"bob", "pw-bob", "t-bob", "long-bob", std::nullopt, std::nullopt});
    const int64_t identity = KeelTest_IdentityObject();
    ASSERT_EQ(KeelTest_SetProperty(identity, 21, KA_ATTR_PLAIN, "otp-1", -1), KA_OK);
    ASSERT_EQ(KeelTest_SetProperty(identity, 22, KA_ATTR_PLAIN, "otp-2", -1), KA_OK);
    StoreScript script;
    if (c.fail21) script.Answer(KF_Id_GetProperty, *c.fail21).ForProperty(21).OnCall(1);
    if (c.fail22) script.Answer(KF_Id_GetProperty, *c.fail22).ForProperty(22).OnCall(1);
    if (c.refusedOnRead == 21) {
      script.Answer(KF_Id_GetProperty, KA_E_AUTH_REFUSED).ForProperty(21).OnCall(2);
    } else if (c.refusedOnRead == 104) {
      script.Answer(KF_Card_GetProperty, KA_E_AUTH_REFUSED).ForProperty(104).OnCall(2);
    }
    log().Clear();
    KS_PROFILE record = {};

    EXPECT_EQ(ReadSingle(&record), c.bRet);

    EXPECT_EQ(PropertiesOf(KF_Id_GetProperty), c.identityReads);
    const std::vector<KeelCall> requests = CallsOf(KF_Id_GetCard);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].mode, 3);
    EXPECT_STREQ(requests[0].text, kSite.c_str());
    const std::string exits = " | Exiting GetProfile(KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE) With "
                              "bRet = " + std::to_string(c.bRet) + " | Exiting GetProfile() With "
                              "bRet = " + std::to_string(c.bRet);
    if (c.bRet) {
      EXPECT_EQ(Utf8(record.UserName), "ann");
      EXPECT_EQ(Utf8(record.Password), "pw");
      EXPECT_EQ(Utf8(record.Text105), "long");
      EXPECT_EQ(record.OtpMode, c.mode);
      EXPECT_EQ(PropertiesOf(KF_Card_GetProperty),
                (std::vector<int32_t>{1003, 104, 104, 103, 103, 3101, 3101, 105, 105}));
      EXPECT_EQ(LastLines(log(), 4),
                "Get Profile Successfully | Profile Type Is WEB; UserName Is ann" + exits);
    } else if (c.refusedOnRead == 104) {
      EXPECT_EQ(PropertiesOf(KF_Card_GetProperty), (std::vector<int32_t>{1003, 104, 104}));
      EXPECT_EQ(LastLines(log(), 5),
                "KA_Card_GetProperty Failed With Error = -6 | Get Profile Failed | Authentication "
                "With Error = -6. So Break Here" + exits);
    } else {
      EXPECT_EQ(PropertiesOf(KF_Card_GetProperty), (std::vector<int32_t>{1003}));
      EXPECT_EQ(log().Count("Get Profile Failed"), 1u);
    }
    Names authenticationLines;
    for (const std::string& text : log().Texts()) {
      if (text.rfind("Authentication With Error", 0) == 0) authenticationLines.push_back(text);
    }
    EXPECT_EQ(authenticationLines,
              c.authenticationError ? Names{"Authentication With Error = " +
                                            std::to_string(*c.authenticationError) +
                                            ". So Break Here"}
                                    : Names{});
    ExpectEachCardReleasedBeforeTheNextRequest();
  }
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

DM_IN_MEMORY(ProfileReading);

}  // namespace
}  // namespace dm::test
