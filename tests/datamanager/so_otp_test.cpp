// The SO account of a domain and the one-time-password mode of a profile.
#include <string>
#include <vector>

#include "DataManager.h"
#include "support/DataManagerTest.h"
#include "support/ProfileCards.h"

namespace dm::test {
namespace {

using SoAndOtp = DataManagerTest;

const std::string kSite = "site.example";

CardValues User(const std::string& name, std::optional<uint8_t> soFlag = std::nullopt,
                std::optional<uint8_t> otp = std::nullopt) {
  return {name, "pw-" + name, "t", "long", otp, soFlag};
}

BOOL SetSo(KS_PROFILE_TYPE kind, const std::string& user) {
  KS_DOMAIN d = Domain(kSite);
  KS_PROFILE p = Profile(kind, user);
  return ::SetSOAccount(kind, &d, &p);
}

BOOL SetOtp(KS_PROFILE_TYPE kind, const std::string& user, DWORD mode) {
  KS_DOMAIN d = Domain(kSite);
  KS_PROFILE p = Profile(kind, user, "not written", "not written", "not written", mode);
  return ::SetSingleOTPProfile(kind, &d, &p);
}

TEST_P(SoAndOtp, SettingTheFlagWritesOneByteOnTheMatchingCardOnly) {
  SeedApp(kSite, User("ann"));
  EXPECT_EQ(SetSo(KS_PROFILE_APP, "Ann"), 0);
  EXPECT_TRUE(CallsOf(KF_Card_SetProperty).empty());
  {
    StoreScript script;
    script.Answer(KF_Card_SetProperty, KA_E_STORAGE);
    EXPECT_EQ(SetSo(KS_PROFILE_APP, "ann"), 0);
    EXPECT_EQ(log().Count("Set SO Account Successfully"), 0u);
    EXPECT_EQ(CardByte(Cards()[0], 1999), std::nullopt);
  }
  KeelTest_TraceClear();
  log().Clear();
  EXPECT_EQ(SetSo(KS_PROFILE_APP, "ann"), 1);
  const std::vector<KeelCall> writes = CallsOf(KF_Card_SetProperty);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].property, 1999);
  EXPECT_EQ(writes[0].attribute, KA_ATTR_PLAIN);
  EXPECT_EQ(writes[0].size, 1);
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::SetSOAccount"),
            "Entering SetSOAccount() | Domain Is site.example | Get Profile | Profile Is Found. So "
            "Break Here | Set SO Account | Set SO Account Successfully | Profile Type Is APP; "
            "UserName Is ann | Exiting SetSOAccount() With bRet = 1");
  ExpectEachCardReleasedBeforeTheNextRequest();
}

// The account is the first card of the domain flagged and with a user name;
// setting the flag clears none on the other cards.
TEST_P(SoAndOtp, TheAccountIsTheFirstFlaggedCardWithAName) {
  SeedWeb(kSite, User("ann", 0));
  const int64_t bob = SeedWeb(kSite, User("bob"));  // no flag stored: its read fails
  const int64_t nameless = KeelTest_SeedCard(kSite.c_str(), kWebCategory);
  SetCardByte(nameless, 1999, 7);  // any flag but 0 counts: its name is read
  KS_DOMAIN d = Domain(kSite);
  KS_PROFILE record = {};
  EXPECT_EQ(::GetSOAccount(KS_PROFILE_WEB, &d, &record), 0);
  EXPECT_EQ(CallsOf(KF_Id_GetCard).size(), 4u);
  EXPECT_EQ(PropertiesOf(KF_Card_GetProperty), (std::vector<int32_t>{1999, 1999, 1999, 103}));
  EXPECT_EQ(log().Count("KA_Card_GetProperty Failed With Error = -17"), 2u);
  ExpectEachCardReleasedBeforeTheNextRequest();

  SeedWeb(kSite, User("dan", 7));
  KeelTest_TraceClear();
  EXPECT_EQ(SetSo(KS_PROFILE_WEB, "bob"), 1);
  EXPECT_EQ(CallsOf(KF_Card_SetProperty).size(), 1u);
  EXPECT_EQ(CardByte(bob, 1999), 1);
  EXPECT_EQ(CardByte(nameless, 1999), 7);
  log().Clear();
  record = Profile(KS_PROFILE_APP, "", "untouched", "untouched");
  EXPECT_EQ(::GetSOAccount(KS_PROFILE_WEB, &d, &record), 1);
  EXPECT_EQ(record.ProfileType, KS_PROFILE_WEB);
  EXPECT_EQ(Utf8(record.UserName), "bob") << "before dan's";
  EXPECT_EQ(Utf8(record.Password), "untouched");
  EXPECT_EQ(Utf8(record.Text3101), "untouched");
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::GetSOAccount"),
            "Entering GetSOAccount() | Domain Is site.example | Get Profile | Get SOProfile "
            "Successfully | Profile Type Is WEB; UserName Is bob | Exiting GetSOAccount() With "
            "bRet = 1");
}

TEST_P(SoAndOtp, OnlyAWebProfileHasAModeToWrite) {
  struct Case {
    KS_PROFILE_TYPE kind;
    DWORD mode;
    BOOL result;
    uint8_t stored;  // the card's mode afterwards; 9 before
    bool refused = false;  // the store refuses the write
  };
  for (const Case& c : {Case{KS_PROFILE_WEB, 2, 1, 2}, Case{KS_PROFILE_WEB, 0x1FF, 1, 0xFF},
                        Case{KS_PROFILE_WEB, KS_OTP_MODE_UNSET, 1, 9},
                        Case{KS_PROFILE_WEB, 2, 0, 9, true}, Case{KS_PROFILE_APP, 2, 0, 9}}) {
    SCOPED_TRACE(std::to_string(c.kind) + " " + std::to_string(c.mode));
    FreshStore();
    const int64_t card = SeedProfile(c.kind == KS_PROFILE_WEB ? kWebCategory : kAppCategory, kSite,
                                     User("ann", std::nullopt, 9));
    StoreScript script;
    if (c.refused) script.Answer(KF_Card_SetProperty, KA_E_STORAGE).ForProperty(1003);
    log().Clear();
    EXPECT_EQ(SetOtp(c.kind, "ann", c.mode), c.result);
    EXPECT_EQ(CardByte(card, 1003), c.stored);
    EXPECT_EQ(CallsOf(KF_Card_SetProperty).size(), c.stored == 9 && !c.refused ? 0u : 1u);
    EXPECT_EQ(CardText(card, 104), "pw-ann") << "nothing else is written";
    EXPECT_EQ(log().Count("Update Profile Successfully"), c.result ? 1u : 0u);
    ExpectEachCardReleasedBeforeTheNextRequest();
  }
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::SetOTPProfile"),
            "Entering SetOTPProfile() | Domain Is site.example | Get Profile | Profile Is Found. "
            "So Break Here | Update Profile | Exiting SetOTPProfile() With bRet = 0");
}

DM_ON_EVERY_BACKEND(SoAndOtp);

}  // namespace
}  // namespace dm::test
