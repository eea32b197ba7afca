// Reading profiles: the count, the two list forms, the single form with its
// one-time-password gate, and the exports' choice between the forms.
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "DataManager.h"
#include "support/DataManagerTest.h"
#include "support/ProfileCards.h"

namespace dm::test {
namespace {

using ProfileReading = DataManagerTest;

const std::string kSite = "site.example";

// A record as "kind user/password/Text3101/Text105/mode", the mode "-" when unset.
std::string Shown(const KS_PROFILE& p) {
  return std::to_string(p.ProfileType) + " " + Utf8(p.UserName) + "/" + Utf8(p.Password) + "/" +
         Utf8(p.Text3101) + "/" + Utf8(p.Text105) + "/" +
         (p.OtpMode == KS_OTP_MODE_UNSET ? "-" : std::to_string(p.OtpMode));
}

// The workers' lines of failures and stops, in order.
Names Notable(const LogCapture& log) {
  Names lines;
  for (const LogLine& l : log.lines()) {
    const bool notable =
        l.text.find("Failed") != std::string::npos || l.text.find("Break") != std::string::npos;
    if (notable && l.function.rfind("DataManagerUtils::", 0) == 0) lines.push_back(l.text);
  }
  return lines;
}

// Three web profiles (ann with mode 2, bob without one, cid with mode 0) and
// three application ones (cid's password stored empty: its read leaves the
// field alone).  Each form's lines, worker by worker; then the lists' faults.
TEST_P(ProfileReading, EachFormLogsItsTranscriptAndListsFillTheirRecordsInStoreOrder) {
  SeedWeb(kSite, {"ann", "pw-ann", "t-ann", "long-ann", 2, std::nullopt});
  SeedWeb(kSite, {"bob", "pw-bob", "t-bob", "long-bob", std::nullopt, std::nullopt});
  SeedWeb(kSite, {"cid", "pw-cid", "t-cid", "long-cid", 0, std::nullopt});
  for (const char* user : {"ann", "bob", "cid"}) {
    SeedApp(kSite, {user, std::string("pw-") + user, {}, {}, {}, {}});
  }
  ASSERT_EQ(KeelTest_SetProperty(Cards().back(), 104, KA_ATTR_SECRET, nullptr, 0), KA_OK);
  SetCardText(KeelTest_IdentityObject(), 21, "otp");  // ann's gate opens
  KS_DOMAIN d = Domain(kSite);
  KS_PROFILE three[3] = {};
  DWORD n = 0;
  const std::string list = "GetProfile(KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE,DWORD,PDWORD)";
  const std::string single = "GetProfile(KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE)";
  // A list's lines from its walk to its exit, `walk` naming the list.
  auto listed = [](const std::string& walk) {
    return walk + " | " + walk + " Index = 0 Successfully | Profile Type Is WEB; UserName Is ann" +
           " | " + walk + " Index = 1 Successfully | Profile Type Is WEB; UserName Is bob | " +
           walk + " Index = 2 Successfully | Profile Type Is WEB; UserName Is cid | Input Buffer " +
           "Is Not Enough. So Break Here | " + walk + " Successfully | Exiting ";
  };
  struct Form { std::function<BOOL()> call; std::string worker, lines; };
  const std::vector<Form> forms = {
      {[&] { return ::GetProfile(KS_PROFILE_WEB, &d, three, 3, &n); }, "GetProfile",
       "Entering " + list + " | Domain Is site.example, Input Count Is 3 | " +
           listed("Get Profile") + list + " With bRet = 1; Count = 3"},
      {[&] { return ::QueryProfile(KS_PROFILE_WEB, &d, three, 3, &n); }, "QueryProfile",
       "Entering QueryProfile() | Domain Is site.example, Input Count Is 3 | " +
           listed("Query Profile") + "QueryProfile() With bRet = 1; Count = 3"},
      {[&] { return ::GetProfile(KS_PROFILE_WEB, &d, nullptr, 0, &n); }, "GetProfileCount",
       "Entering GetProfileCount() | Domain Is site.example | Get Profile Count | Get Profile "
       "Count Successfully | Exiting GetProfileCount() With bRet = 1; Count = 3"},
      {[&] { return ::GetProfile(KS_PROFILE_WEB, &d, three, 0, nullptr); }, "GetProfile",
       "Entering " + single + " | Domain Is site.example | Get Profile | Get Profile Successfully "
       "| Profile Type Is WEB; UserName Is ann | Exiting " + single + " With bRet = 1"},
  };
  for (const Form& f : forms) {
    SCOPED_TRACE(f.lines);
    log().Clear();
    KeelTest_TraceClear();
    EXPECT_EQ(f.call(), 1);
    EXPECT_EQ(LinesOf(log(), "DataManagerUtils::" + f.worker), f.lines);
    ExpectEachCardReleasedBeforeTheNextRequest();
  }
  // Each card's password, then its name (a size query and a read each), then its web values.
  KeelTest_TraceClear();
  ASSERT_EQ(::GetProfile(KS_PROFILE_WEB, &d, three, 1, &n), 1);
  EXPECT_EQ(PropertiesOf(KF_Card_GetProperty),
            (std::vector<int32_t>{104, 104, 103, 103, 3101, 3101, 105, 105, 1003}));

  const KS_PROFILE kBlank = Profile(0, "", "stale", "kept", "kept", 7);
  const std::string ann = "2 ann/pw-ann/t-ann/long-ann/2", bob = "2 bob/pw-bob/t-bob/long-bob/-";
  const std::string cid = "2 cid/pw-cid/t-cid/long-cid/0";
  const std::string full = "Input Buffer Is Not Enough. So Break Here";
  struct Case {
    const char* name;
    std::vector<StoreFault> faults;
    bool query;
    KS_PROFILE_TYPE kind;
    DWORD capacity;
    Names records, lines;  // Shown() of the records filled; Notable()
    size_t cardRequests;
  };
  const std::vector<Case> cases = {
      {"full after the last card", {}, false, KS_PROFILE_WEB, 3, {ann, bob, cid}, {full}, 3},
      {"a refused password stops the list", {{KF_Card_GetProperty, KA_E_AUTH_REFUSED, 104, 3}},
       false, KS_PROFILE_WEB, 3, {ann},
       {"Get Profile Index = 1 Failed", "Authentication With Error = -6. So Break Here"}, 2},
      {"web values never fail a profile",
       {{KF_Card_GetProperty, KA_E_STORAGE, 3101}, {KF_Card_GetProperty, KA_E_STORAGE, 105},
        {KF_Card_GetProperty, KA_E_STORAGE, 1003}},
       false, KS_PROFILE_WEB, 1, {"2 ann/pw-ann///-"}, {full}, 1},
      {"a failed card leaves its record to the next; no web values for an application",
       {{KF_Card_GetProperty, KA_E_STORAGE, 103, 3}}, false, KS_PROFILE_APP, 5,
       {"1 ann/pw-ann/kept/kept/7", "1 cid/pw-bob/kept/kept/7"},
       {"Get Profile Index = 1 Failed"}, 4},
      {"a query reads no password and clears it", {{KF_Card_GetProperty, KA_E_AUTH_REFUSED, 104}},
       true, KS_PROFILE_WEB, 1, {"2 ann//t-ann/long-ann/2"}, {full}, 1},
      {"a refused name stops a query", {{KF_Card_GetProperty, KA_E_AUTH_CANCELLED, 103, 1}}, true,
       KS_PROFILE_WEB, 3, {},
       {"Query Profile Index = 0 Failed", "Authentication With Error = -9. So Break Here"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StoreScript script;
    ScriptFaults(script, c.faults);
    log().Clear();
    KeelTest_TraceClear();
    std::vector<KS_PROFILE> records(c.capacity, kBlank);
    DWORD count = 9;
    EXPECT_EQ(c.query ? ::QueryProfile(c.kind, &d, records.data(), c.capacity, &count)
                      : ::GetProfile(c.kind, &d, records.data(), c.capacity, &count),
              c.records.empty() ? 0 : 1);
    Names shown;
    for (DWORD i = 0; i < count; ++i) shown.push_back(Shown(records[i]));
    EXPECT_EQ(shown, c.records);
    EXPECT_EQ(Notable(log()), c.lines);
    EXPECT_EQ(CallsOf(KF_Id_GetCard).size(), c.cardRequests);
    for (DWORD i = 0; c.query && i < count; ++i) {
      for (WCHAR unit : records[i].Password) ASSERT_EQ(unit, 0);
    }
    ExpectEachCardReleasedBeforeTheNextRequest();
  }
}

// Values the store holds that a record cannot, one card each: a user name
// past the read buffer fails its card (whose record the next one reuses),
// the others read as the empty text, and nothing is written past the last.
TEST_P(ProfileReading, StoredValuesThatDoNotFitReadAsEmpty) {
  std::string pairs127;  // 254 UTF-16 units in 127 surrogate pairs
  for (int i = 0; i < 127; ++i) pairs127 += "\xF0\x9F\x98\x80";
  const std::string u255(255, 'u'), t2047(2047, 't');
  struct Case { int32_t property; std::string stored, shown; };
  const std::vector<Case> cases = {
      {103, std::string(5000, 'u'), ""},
      {103, u255, "2 " + u255 + "/pw/t/long/-"},
      {103, u255 + "u", "2 /pw/t/long/-"},
      {103, "ab\xFF", "2 /pw/t/long/-"},  // not UTF-8
      {104, "\xED\xA0\x80", "2 user//t/long/-"},  // an encoded surrogate
      {3101, pairs127 + "z", "2 user/pw/" + pairs127 + "z/long/-"},
      {3101, pairs127 + "\xF0\x9F\x98\x80", "2 user/pw//long/-"},
      {105, t2047, "2 user/pw/t/" + t2047 + "/-"},
      {105, t2047 + "t", "2 user/pw/t//-"},
  };
  const CardValues user = {"user", "pw", "t", "long", std::nullopt, std::nullopt};
  for (const Case& c : cases) SetCardText(SeedWeb(kSite, user), c.property, c.stored);
  std::vector<KS_PROFILE> records(cases.size() + 1);
  std::memset(records.data(), 0x41, records.size() * sizeof(KS_PROFILE));
  KS_DOMAIN d = Domain(kSite);
  DWORD count = 0;
  EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, &d, records.data(), cases.size(), &count), 1);
  ASSERT_EQ(count, cases.size() - 1);
  for (DWORD i = 0; i < count; ++i) EXPECT_EQ(Shown(records[i]), cases[i + 1].shown) << i;
  const auto* after = reinterpret_cast<const unsigned char*>(&records[count]);
  for (size_t i = 0; i < 2 * sizeof(KS_PROFILE); ++i) ASSERT_EQ(after[i], 0x41) << i;
}

// Nothing to read gives nothing (no domain, no such kind, no cards) and
// leaves the record alone; an unterminated domain is read to its width; the
// count counts every card of the domain, without reading them.
TEST_P(ProfileReading, TheCountAndNothingToRead) {
  KS_DOMAIN d = Domain(kSite);
  KS_PROFILE record = Profile(KS_PROFILE_WEB, "untouched");
  DWORD count = 9;
  EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, nullptr, &record, 1, &count), 0);  // no domain
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, &d, nullptr, 0, &count), 0);  // no cards
  EXPECT_EQ(::GetProfile(3, &d, &record, 1, &count), 0);                // no such kind
  EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, &d, &record, 0, nullptr), 0);  // no cards
  EXPECT_EQ(Utf8(record.UserName), "untouched");
  EXPECT_EQ(LastLines(log(), 3),
            "Get Profile | Exiting GetProfile(KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE) With bRet = "
            "0 | Exiting GetProfile() With bRet = 0");
  KS_DOMAIN endless;
  for (WCHAR& unit : endless.Domain) unit = u'd';
  KeelTest_TraceClear();
  EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, &endless, nullptr, 0, &count), 0);
  EXPECT_EQ(CallsOf(KF_Id_GetCard).at(0).text, std::string(256, 'd'));
  EXPECT_EQ(log().Count("Domain Is " + std::string(256, 'd')), 1u);

  for (const char* user : {"ann", "bob", "cid"}) SeedWeb(kSite, {user, "pw", {}, {}, {}, {}});
  KeelTest_SeedCard(kSite.c_str(), kWebCategory);  // no properties at all
  SeedWeb("other.example", {"x", "y", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  SeedApp(kSite, {"x", "y", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  KeelTest_TraceClear();
  EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, &d, nullptr, 0, &count), 1);
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(CallsOf(KF_Card_GetProperty).size(), 0u);
  ExpectEachCardReleasedBeforeTheNextRequest();
  StoreScript script;  // a refused release ends the count with the card counted
  script.Answer(KF_Card_Release, KA_E_STORAGE).OnCall(2);
  EXPECT_EQ(::QueryProfile(KS_PROFILE_WEB, &d, nullptr, 0, &count), 1);
  EXPECT_EQ(count, 2u);
  script.Answer(KF_Id_GetCard, KA_OK);  // "success", and no card handed out: the walk ends
  KeelTest_TraceClear();
  EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, &d, nullptr, 0, &count), 0);
  EXPECT_EQ(CallsOf(KF_Id_GetCard).size(), 1u);
}

// Each export picks its worker from the array, the capacity and the count
// it is given (the other tests show the forms that read); a form left
// nothing to fill refuses before the store and writes nothing.
TEST_P(ProfileReading, TheExportsChooseTheForm) {
  SeedWeb(kSite, {"ann", "pw", "t", "long", std::nullopt, std::nullopt});  // for a wrong form
  KS_DOMAIN d = Domain(kSite), domain;
  KS_PROFILE record;
  DWORD n = 0;
  const KS_PROFILE_TYPE web = KS_PROFILE_WEB;
  const char* list = "GetProfile(KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE,DWORD,PDWORD)";
  const std::vector<std::pair<std::function<BOOL()>, const char*>> cases = {
      {[&] { return ::GetProfile(web, &d, nullptr, 0, nullptr); }, "GetProfileCount()"},
      {[&] { return ::GetProfile(web, &d, nullptr, 1, &n); }, list},
      {[&] { return ::GetProfile(web, &d, &record, 0, &n); }, list},
      {[&] { return ::GetProfile(web, &d, &record, 1, nullptr); }, list},
      {[&] { return ::QueryProfile(web, &d, &record, 0, nullptr); }, "QueryProfile()"},
      {[&] { return ::QueryProfile(web, &d, nullptr, 1, &n); }, "QueryProfile()"},
      {[&] { return ::GetDomain(web, nullptr, 0, nullptr); }, "GetDomainCount()"},
      {[&] { return ::GetDomain(web, &domain, 1, nullptr); }, "GetDomain()"},
      {[&] { return ::GetDomain(web, &domain, 0, &n); }, "GetDomain()"},
      {[&] { return ::GetDomain(web, nullptr, 1, &n); }, "GetDomain()"},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    log().Clear();
    KeelTest_TraceClear();
    std::memset(&record, 0x41, sizeof record);
    std::memset(&domain, 0x41, sizeof domain);
    EXPECT_EQ(cases[i].first(), 0);
    ASSERT_GE(log().lines().size(), 2u);
    EXPECT_EQ(log().lines()[1].text, std::string("Entering ") + cases[i].second);
    EXPECT_EQ(KeelTest_TraceSize(), 0u);
    EXPECT_EQ(record.UserName[0], 0x4141);
    EXPECT_EQ(domain.Domain[0], 0x4141);
  }
}

// The single form reads the store's first card of the domain (a mode 3
// request).  Its one-time-password mode 2 puts the read behind a read of
// identity property 21, or, when that fails for another reason than a
// refused authentication, 22; a refused password fails it the same way.
TEST_P(ProfileReading, TheSingleFormAndItsOneTimePasswordGate) {
  struct Case {
    const char* name;
    uint8_t mode;
    std::vector<StoreFault> faults;
    std::vector<int32_t> identityReads, cardReads;
    Names lines;  // Notable(); none when the read succeeds
  };
  const std::vector<int32_t> all = {1003, 104, 104, 103, 103, 3101, 3101, 105, 105};
  const std::string failed = "Get Profile Failed", authentication = "Authentication With Error = ";
  const std::vector<Case> cases = {
      {"mode 1: no gate", 1, {}, {}, all, {}},
      {"21 readable", 2, {}, {21, 21}, all, {}},
      {"21 refused", 2, {{KF_Id_GetProperty, KA_E_AUTH_CANCELLED, 21, 1}}, {21}, {1003},
       {failed, authentication + "-9. So Break Here"}},
      {"21 refused on its read", 2, {{KF_Id_GetProperty, KA_E_AUTH_REFUSED, 21, 2}}, {21, 21},
       {1003}, {failed, authentication + "-6. So Break Here"}},
      {"21 missing, 22 readable", 2, {{KF_Id_GetProperty, KA_E_NOT_STORED, 21, 1}}, {21, 22, 22},
       all, {}},
      {"21 and 22 missing", 2,
       {{KF_Id_GetProperty, KA_E_NOT_STORED, 21, 1}, {KF_Id_GetProperty, KA_E_STORAGE, 22, 1}},
       {21, 22}, {1003}, {failed}},
      {"password refused", 2, {{KF_Card_GetProperty, KA_E_AUTH_REFUSED, 104, 2}}, {21, 21},
       {1003, 104, 104}, {failed, authentication + "-6. So Break Here"}},
  };
  const int64_t ann = SeedWeb(kSite, {"ann", "pw", "t", "long", std::nullopt, std::nullopt});
  SeedWeb(kSite, {"bob", "pw-bob", "t-bob", "long-bob", std::nullopt, std::nullopt});
  for (int32_t gate : {21, 22}) SetCardText(KeelTest_IdentityObject(), gate, "otp");
  KS_DOMAIN d = Domain(kSite);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetCardByte(ann, 1003, c.mode);
    StoreScript script;
    ScriptFaults(script, c.faults);
    log().Clear();
    KeelTest_TraceClear();
    KS_PROFILE record = {};

    EXPECT_EQ(::GetProfile(KS_PROFILE_WEB, &d, &record, 0, nullptr), c.lines.empty() ? 1 : 0);

    EXPECT_EQ(PropertiesOf(KF_Id_GetProperty), c.identityReads);
    EXPECT_EQ(PropertiesOf(KF_Card_GetProperty), c.cardReads);
    ASSERT_EQ(CallsOf(KF_Id_GetCard).size(), 1u);
    EXPECT_EQ(CallsOf(KF_Id_GetCard)[0].mode, 3);
    EXPECT_EQ(CallsOf(KF_Id_GetCard)[0].text, kSite);
    EXPECT_EQ(Notable(log()), c.lines);
    const std::string read = "2 ann/pw/t/long/" + std::to_string(c.mode);
    EXPECT_EQ(Shown(record), c.lines.empty() ? read : "2 ////2");  // nothing read past the fault
    ExpectEachCardReleasedBeforeTheNextRequest();
  }
}

DM_IN_MEMORY(ProfileReading);

}  // namespace
}  // namespace dm::test
