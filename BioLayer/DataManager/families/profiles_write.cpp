// Writing profiles: a new card for a record, the rewrite of the first card
// whose user name matches, and the test whether such a card exists.

#include "DataManagerUtils.h"
#include "KeelAPIUtils.h"
#include "families/CardFields.h"
#include "log/MethodFrame.h"
#include "families/ProfileRules.h"
#include "families/RecordArray.h"
#include "log/Log.h"
#include "text/Fields.h"

DM_LOG_SOURCE(".\\DataManagerUtils");

namespace dm {
namespace {

// Writes the password of a web profile with the store context's biometric
// attempt limit lowered to 0, and puts the limit back afterwards whatever
// the write gave.  A limit that cannot be read is put back as 0.
KA_STATUS WritePasswordWithoutAttemptLimit(uint32_t* card, const KS_PROFILE& record) {
  KeelAPIUtils store;
  DWORD saved = 0;  // the getter leaves it at 0 when the read fails
  store.GetBiometricAttemptLimit(&saved);
  store.SetBiometricAttemptLimit(0);
  const KA_STATUS status = profiles::WritePassword(card, record);
  store.SetBiometricAttemptLimit(saved);
  return status;
}

// Writes the whole record into a card just created, in the order the kind
// asks for; answers the status of the first refused write, or 0 or more.
KA_STATUS WriteNewCard(uint32_t* card, KS_PROFILE_TYPE kind, const KS_PROFILE& record) {
  const bool web = kind == KS_PROFILE_WEB;
  KA_STATUS status =
      web ? WritePasswordWithoutAttemptLimit(card, record) : profiles::WritePassword(card, record);
  if (status >= 0) {
    status = cards::WriteCardText(card, KA_ATTR_PLAIN, cards::kUserNameProperty,
                                  text::FieldText(record.UserName));
  }
  if (status >= 0 && web) status = profiles::WriteWebValues(card, record);
  return status;
}

// Creates a card for the domain and writes the record into it; a card that
// cannot be written whole is deleted again.  Lines go under `function`.
BOOL StoreNewCard(const profiles::DomainName& domain, DWORD category, KS_PROFILE_TYPE kind,
                  const KS_PROFILE& record, const WCHAR* function) {
  const WCHAR* const kLogFunction = function;
  KeelAPIUtils store;
  uint32_t card = 0;
  if (store.CreateCard(domain.utf8.c_str(), static_cast<int32_t>(category), &card) < 0) {
    return FALSE;
  }
  if (WriteNewCard(&card, kind, record) < 0) {
    // A half-written card is no profile: take it away again.
    DM_LOG("SetCardProperty Failed And Delete This Card");
    store.DeleteCard(&card);
    return FALSE;
  }
  DM_LOG("Set Profile Successfully");
  store.ReleaseCard(&card);
  profiles::LogProfileType(kLogFunction, kind, record);
  return TRUE;
}

}  // namespace

BOOL DataManagerUtils::SetProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile) {
  DM_LOG_FUNCTION("DataManagerUtils::SetProfile");
  return RunMethod(DM_METHOD_LINES("SetProfile()"), __LINE__, [&]() -> BOOL {
    if (!profiles::IsWritable(domain, type, profile)) return FALSE;
    const profiles::DomainName name(*domain);
    DWORD category = 0;
    if (!profiles::OpenForDomain(*this, type, name, kLogFunction, &category)) return FALSE;
    DM_LOG("Set Profile");
    return StoreNewCard(name, category, type, *profile, kLogFunction);
  });
}

BOOL DataManagerUtils::UpdateProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile) {
  DM_LOG_FUNCTION("DataManagerUtils::UpdateProfile");
  auto rewrite = [&](uint32_t* card) {
    DM_LOG("Update Profile");
    // The user name is the key and stays; no attempt limit is touched.
    KA_STATUS status = profiles::WritePassword(card, *profile);
    if (status >= 0 && type == KS_PROFILE_WEB) status = profiles::WriteWebValues(card, *profile);
    return profiles::ReportUpdate(status, kLogFunction, type, *profile);
  };
  return RunMethod(DM_METHOD_LINES("UpdateProfile()"), __LINE__, [&]() -> BOOL {
    return profiles::IsWritable(domain, type, profile) &&
           profiles::OnMatchingCard(*this, type, domain, profile, kLogFunction, rewrite);
  });
}

BOOL DataManagerUtils::IsProfileExist(KS_PROFILE_TYPE type, PKS_DOMAIN domain,
                                      PKS_PROFILE profile) {
  DM_LOG_FUNCTION("DataManagerUtils::IsProfileExist");
  return RunMethod(DM_METHOD_LINES("IsProfileExist()"), __LINE__, [&]() -> BOOL {
    DWORD n = 0;
    if (domain == nullptr || profile == nullptr || !GetProfileCount(type, domain, &n)) {
      return FALSE;
    }
    DM_LOG("Query Profile");
    RecordArray<KS_PROFILE> records(n);  // as many as the domain has cards
    DWORD read = 0;
    if (!records || !QueryProfile(type, domain, records.get(), n, &read)) return FALSE;
    DM_LOG("Determine If Profile Is Exist Or Not");
    const WStringView wanted = text::FieldText(profile->UserName);
    for (DWORD i = 0; i < read; ++i) {
      if (profiles::SameUserName(text::FieldText(records[i].UserName), wanted)) {
        DM_LOG("Profile Is Found. So Break Here");
        return TRUE;
      }
    }
    return FALSE;
  });
}

}  // namespace dm
