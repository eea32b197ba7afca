// The SO account of a domain (a flag on the profile's card), the
// one-time-password mode of a web profile, and the two SO-profile methods
// that do nothing.
#include "DataManagerUtils.h"
#include "KeelAPIUtils.h"
#include "families/CardFields.h"
#include "families/CardWalk.h"
#include "log/MethodFrame.h"
#include "families/ProfileRules.h"
#include "log/Log.h"

DM_LOG_SOURCE(".\\DataManagerUtils");

namespace dm {
namespace {

// Whether the card carries the SO flag and a user name, which is then read
// into the record.  A flag or name that cannot be read passes the card over.
bool ReadSoAccount(uint32_t* card, KS_PROFILE* record) {
  uint8_t flag = 0;
  uint32_t size = 0;
  if (KeelAPIUtils().GetCardProperty(card, cards::kSoFlagProperty, sizeof flag, &flag, &size) < 0 ||
      flag == 0) {
    return false;
  }
  const cards::TextRead userName =
      cards::ReadCardText(card, cards::kUserNameProperty, record->UserName);
  return userName.stored && userName.status >= 0;
}

}  // namespace

BOOL DataManagerUtils::GetSOAccount(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile) {
  DM_LOG_FUNCTION("DataManagerUtils::GetSOAccount");
  return RunMethod(DM_METHOD_LINES("GetSOAccount()"), __LINE__, [&]() -> BOOL {
    // Without a record there is nowhere to put the account: refused before
    // the store is opened.
    if (domain == nullptr || profile == nullptr) return FALSE;
    BOOL found = FALSE;
    auto checkCard = [&](cards::HeldCard& card) {
      profile->ProfileType = type;
      found = ReadSoAccount(card.handle(), profile);
      card.Release();
      if (!found) return cards::Walk::kNext;
      DM_LOG("Get SOProfile Successfully");
      profiles::LogProfileType(kLogFunction, type, *profile);
      return cards::Walk::kStop;
    };
    profiles::WalkDomainCards(*this, type, *domain, kLogFunction, KS_TEXT("Get Profile"),
                              cards::kFirstCard, checkCard);
    return found;
  });
}

BOOL DataManagerUtils::SetSOAccount(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile) {
  DM_LOG_FUNCTION("DataManagerUtils::SetSOAccount");
  auto markCard = [&](uint32_t* card) {
    DM_LOG("Set SO Account");
    // Other cards of the domain keep their flag: nothing here clears one.
    if (cards::WriteCardByte(card, cards::kSoFlagProperty, 1) < 0) return FALSE;
    DM_LOG("Set SO Account Successfully");
    profiles::LogProfileType(kLogFunction, type, *profile);
    return TRUE;
  };
  return RunMethod(DM_METHOD_LINES("SetSOAccount()"), __LINE__, [&] {
    return profiles::OnMatchingCard(*this, type, domain, profile, kLogFunction, markCard);
  });
}

BOOL DataManagerUtils::SetOTPProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile) {
  DM_LOG_FUNCTION("DataManagerUtils::SetOTPProfile");
  auto setMode = [&](uint32_t* card) {
    DM_LOG("Update Profile");
    // Only a web profile has a one-time-password mode.
    if (type != KS_PROFILE_WEB) return FALSE;
    return profiles::ReportUpdate(profiles::WriteOtpMode(card, *profile), kLogFunction, type,
                                  *profile);
  };
  return RunMethod(DM_METHOD_LINES("SetOTPProfile()"), __LINE__, [&] {
    return profiles::OnMatchingCard(*this, type, domain, profile, kLogFunction, setMode);
  });
}

// Neither method reads anything or opens the store.
BOOL DataManagerUtils::GetSOProfile() {
  DM_LOG_FUNCTION("DataManagerUtils::GetSOProfile");
  return RunMethod(DM_METHOD_LINES("GetSOProfile()"), __LINE__, [] { return FALSE; });
}

BOOL DataManagerUtils::SetSOProfile() {
  DM_LOG_FUNCTION("DataManagerUtils::SetSOProfile");
  return RunMethod(DM_METHOD_LINES("SetSOProfile()"), __LINE__, [] { return FALSE; });
}

}  // namespace dm
