// Reading profiles: how many a domain holds, all of them with or without
// their passwords, and the one the store picks for a domain behind the
// one-time-password gate.
//
// A card's status is that of its user name and (when read) its password
// only: those make the profile; the web values are extras whose failures are
// logged by the wrappers and leave their fields empty.
#include <cstring>

#include "DataManagerUtils.h"
#include "KeelAPIUtils.h"
#include "families/ArrayFill.h"
#include "families/CardFields.h"
#include "families/CardWalk.h"
#include "families/IdentityProperties.h"
#include "log/MethodFrame.h"
#include "families/ProfileRules.h"
#include "log/Log.h"

DM_LOG_SOURCE(".\\DataManagerUtils");

namespace dm {
namespace {

// The one-time-password mode that puts the single read behind the gate.
constexpr DWORD kOtpModeGated = 2;
// The identity properties whose reads stand for the user's authentication.
constexpr int32_t kGatePrimaryProperty = identity::kFirstOneTimePassword;
constexpr int32_t kGateFallbackProperty = identity::kSecondOneTimePassword;

enum class Password { kRead, kLeftOut };

template <size_t Width>
void Clear(WCHAR (&field)[Width]) {
  std::memset(field, 0, sizeof field);
}

// Reads the password (unless left out) and then the user name; the first
// refusal ends the reading and is answered.  Leaving the password out
// clears the record's Password once the user name was read.
KA_STATUS ReadCredentials(uint32_t* card, Password password, KS_PROFILE* record) {
  KA_STATUS status = KA_OK;
  if (password == Password::kRead) {
    status = cards::ReadCardText(card, cards::kPasswordProperty, record->Password).status;
    if (status < 0) return status;
  }
  status = cards::ReadCardText(card, cards::kUserNameProperty, record->UserName).status;
  if (status >= 0 && password == Password::kLeftOut) Clear(record->Password);
  return status;
}

// Text3101 and Text105, each cleared first.
void ReadWebTexts(uint32_t* card, KS_PROFILE* record) {
  Clear(record->Text3101);
  cards::ReadCardText(card, cards::kText3101Property, record->Text3101);
  Clear(record->Text105);
  cards::ReadCardText(card, cards::kText105Property, record->Text105);
}

// OtpMode from its one stored byte, or KS_OTP_MODE_UNSET when the store
// cannot give it.
void ReadOtpMode(uint32_t* card, KS_PROFILE* record) {
  DWORD mode = 0;
  uint32_t size = 0;
  const KA_STATUS status =
      KeelAPIUtils().GetCardProperty(card, cards::kOtpModeProperty, sizeof mode, &mode, &size);
  record->OtpMode = status >= 0 ? mode : KS_OTP_MODE_UNSET;
}

// Reads an identity property in two calls and drops the value: only the
// status counts.
KA_STATUS ProbeIdentityProperty(int32_t property) {
  return cards::ReadIdentityText(property, nullptr, 0).status;
}

// The one-time-password gate: the primary property, or, when that fails
// for another reason than a refused authentication, the fallback one.
KA_STATUS PassOtpGate() {
  const KA_STATUS status = ProbeIdentityProperty(kGatePrimaryProperty);
  if (status >= 0 || profiles::IsAuthenticationRefused(status)) return status;
  return ProbeIdentityProperty(kGateFallbackProperty);
}

// One record of a list: the type, the credentials and, for a web profile,
// the web values.  Answers the status that failed the card, or 0 or more.
KA_STATUS FillListRecord(uint32_t* card, KS_PROFILE_TYPE kind, Password password,
                         KS_PROFILE* record) {
  record->ProfileType = kind;
  const KA_STATUS status = ReadCredentials(card, password, record);
  if (status >= 0 && kind == KS_PROFILE_WEB) {
    ReadWebTexts(card, record);
    ReadOtpMode(card, record);
  }
  return status;
}

// The single record: for a web profile its mode first and, for mode 2, the
// gate; then the credentials and the web texts.  Answers the status that
// failed the profile, or 0 or more.
KA_STATUS FillSingleRecord(uint32_t* card, KS_PROFILE_TYPE kind, KS_PROFILE* record) {
  record->ProfileType = kind;
  KA_STATUS status = KA_OK;
  if (kind == KS_PROFILE_WEB) {
    ReadOtpMode(card, record);
    if (record->OtpMode == kOtpModeGated) status = PassOtpGate();
  }
  if (status >= 0) status = ReadCredentials(card, Password::kRead, record);
  if (status >= 0 && kind == KS_PROFILE_WEB) ReadWebTexts(card, record);
  return status;
}

// The lines that tell the two list operations apart.
struct ListLines {
  MethodLines method;
  const WCHAR* walking;
  const WCHAR* indexSucceeded;
  const WCHAR* indexFailed;
  const WCHAR* succeeded;
};

constexpr ListLines kGetProfileLines = {
    DM_WORKER_COUNTED_LINES("GetProfile",
                            "GetProfile(KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE,DWORD,PDWORD)"),
    KS_TEXT("Get Profile"), KS_TEXT("Get Profile Index = %u Successfully"),
    KS_TEXT("Get Profile Index = %u Failed"), KS_TEXT("Get Profile Successfully")};
constexpr ListLines kQueryProfileLines = {
    DM_WORKER_COUNTED_LINES("QueryProfile", "QueryProfile()"), KS_TEXT("Query Profile"),
    KS_TEXT("Query Profile Index = %u Successfully"), KS_TEXT("Query Profile Index = %u Failed"),
    KS_TEXT("Query Profile Successfully")};

// The list form of GetProfile and QueryProfile: fills at most `capacity`
// records from the domain's cards in store order.  A failed card is logged
// with its index and its record is reused by the next card; a refused
// authentication stops the list with what was read so far.
BOOL ReadProfileList(DataManagerUtils& worker, const ListLines& lines, Password password,
                     KS_PROFILE_TYPE kind, PKS_DOMAIN domain, PKS_PROFILE profiles, DWORD capacity,
                     PDWORD count) {
  const WCHAR* const kLogFunction = lines.method.function;
  auto line = [&](int32_t at, const WCHAR* format, auto... args) {
    log::Write(kLogSource, kLogFunction, at, 1, format, args...);
  };
  return RunCountedMethod(lines.method, __LINE__, count, [&](DWORD& n) -> BOOL {
    // A null array or count leaves nothing to fill, as a capacity of 0 does.
    if (domain == nullptr || capacity == 0 || profiles == nullptr || count == nullptr) {
      return FALSE;
    }
    const profiles::DomainName name(*domain);
    DM_LOG("Domain Is %s, Input Count Is %u", name.text.c_str(), capacity);
    DWORD category = 0;
    if (!worker.InitializeProfile(kind, &category)) return FALSE;
    line(__LINE__, lines.walking);
    ArrayFill fill(capacity, kLogFunction);
    cards::WalkCards(name.utf8.c_str(), category, cards::kFirstCard, [&](cards::HeldCard& card) {
      const DWORD index = fill.filled();
      KS_PROFILE* record = &profiles[index];
      const KA_STATUS status = FillListRecord(card.handle(), kind, password, record);
      card.Release();
      if (status < 0) {
        line(__LINE__, lines.indexFailed, index);
        if (!profiles::IsAuthenticationRefused(status)) return cards::Walk::kNext;
        DM_LOG("Authentication With Error = %i. So Break Here", status);
        return cards::Walk::kStop;
      }
      line(__LINE__, lines.indexSucceeded, index);
      profiles::LogProfileType(kLogFunction, kind, *record);
      return fill.Advance() ? cards::Walk::kStop : cards::Walk::kNext;
    });
    if (fill.filled() == 0) return FALSE;
    line(__LINE__, lines.succeeded);
    n = fill.filled();
    return TRUE;
  });
}

}  // namespace

BOOL DataManagerUtils::GetProfileCount(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PDWORD count) {
  DM_LOG_FUNCTION("DataManagerUtils::GetProfileCount");
  return RunCountedMethod(
      DM_COUNTED_METHOD_LINES("GetProfileCount()"), __LINE__, count, [&](DWORD& n) -> BOOL {
        if (domain == nullptr || count == nullptr) return FALSE;
        auto countCard = [&n](cards::HeldCard& card) {
          ++n;  // a card whose release fails is counted, and ends the count
          return card.Release() ? cards::Walk::kNext : cards::Walk::kStop;
        };
        profiles::WalkDomainCards(*this, type, *domain, kLogFunction, KS_TEXT("Get Profile Count"),
                                  cards::kFirstCard, countCard);
        if (n == 0) return FALSE;
        DM_LOG("Get Profile Count Successfully");
        return TRUE;
      });
}

BOOL DataManagerUtils::GetProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profiles,
                                  DWORD capacity, PDWORD count) {
  return ReadProfileList(*this, kGetProfileLines, Password::kRead, type, domain, profiles, capacity,
                         count);
}

BOOL DataManagerUtils::QueryProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profiles,
                                    DWORD capacity, PDWORD count) {
  return ReadProfileList(*this, kQueryProfileLines, Password::kLeftOut, type, domain, profiles,
                         capacity, count);
}

BOOL DataManagerUtils::GetProfile(KS_PROFILE_TYPE type, PKS_DOMAIN domain, PKS_PROFILE profile) {
  DM_LOG_FUNCTION("DataManagerUtils::GetProfile");
  return RunMethod(DM_METHOD_LINES("GetProfile(KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE)"), __LINE__,
                   [&]() -> BOOL {
                     if (domain == nullptr || profile == nullptr) return FALSE;
                     BOOL read = FALSE;
                     auto readCard = [&](cards::HeldCard& card) {
                       const KA_STATUS status = FillSingleRecord(card.handle(), type, profile);
                       card.Release();
                       if (status >= 0) {
                         DM_LOG("Get Profile Successfully");
                         profiles::LogProfileType(kLogFunction, type, *profile);
                         read = TRUE;
                       } else {
                         DM_LOG("Get Profile Failed");
                         if (profiles::IsAuthenticationRefused(status)) {
                           DM_LOG("Authentication With Error = %i. So Break Here", status);
                         }
                       }
                       return cards::Walk::kStop;
                     };
                     profiles::WalkDomainCards(*this, type, *domain, kLogFunction,
                                               KS_TEXT("Get Profile"), cards::kSingleLookup,
                                               readCard);
                     return read;
                   });
}

}  // namespace dm
