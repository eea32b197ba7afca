// What the profile operations share (see ProfileRules.h).
#include "families/CardFields.h"
#include "families/CardWalk.h"
#include "families/ProfileRules.h"
#include "log/Log.h"
#include "ks/wipe.h"
#include "text/Fields.h"

DM_LOG_SOURCE(".\\DataManagerUtils");

namespace dm::profiles {
namespace {

// A field the store can be given and read back: terminated within its
// width, and not longer in UTF-8 than the buffer its read uses can hold
// with the terminator.
template <size_t Width>
bool Storable(const WCHAR (&field)[Width], int32_t readCapacity = cards::kTextReadCapacity) {
  if (text::FieldText(field).size() >= Width) return false;
  std::string utf8 = text::FieldToStoreText(field);
  const bool fits = utf8.size() < static_cast<size_t>(readCapacity);
  ks::Wipe(utf8.data(), utf8.size());  // the password's copy, when it is one
  return fits;
}

}  // namespace

DomainName::DomainName(const KS_DOMAIN& domain)
    : text(text::FieldText(domain.Domain)), utf8(text::FieldToStoreText(domain.Domain)) {}

bool OpenForDomain(DataManagerUtils& worker, KS_PROFILE_TYPE kind, const DomainName& domain,
                   const WCHAR* function, DWORD* category) {
  const WCHAR* const kLogFunction = function;
  DM_LOG("Domain Is %s", domain.text.c_str());
  return worker.InitializeProfile(kind, category) != FALSE;
}

bool WalkDomainCards(DataManagerUtils& worker, KS_PROFILE_TYPE kind, const KS_DOMAIN& domain,
                     const WCHAR* function, const WCHAR* walking, int16_t firstMode,
                     const std::function<cards::Walk(cards::HeldCard&)>& visit) {
  const DomainName name(domain);
  DWORD category = 0;
  if (!OpenForDomain(worker, kind, name, function, &category)) return false;
  log::Write(kLogSource, function, __LINE__, 1, walking);
  cards::WalkCards(name.utf8.c_str(), category, firstMode, visit);
  return true;
}

bool IsAuthenticationRefused(KA_STATUS status) {
  return status == KA_E_AUTH_REFUSED || status == KA_E_AUTH_CANCELLED;
}

bool SameUserName(WStringView stored, WStringView wanted) {
  return !stored.empty() && !wanted.empty() && stored == wanted;
}

void LogProfileType(const WCHAR* function, KS_PROFILE_TYPE kind, const KS_PROFILE& record) {
  const WCHAR* const kLogFunction = function;
  const WString userName(text::FieldText(record.UserName));
  if (kind == KS_PROFILE_WEB) {
    DM_LOG("Profile Type Is WEB; UserName Is %s", userName.c_str());
  } else {
    DM_LOG("Profile Type Is APP; UserName Is %s", userName.c_str());
  }
}

bool IsWritable(const KS_DOMAIN* domain, KS_PROFILE_TYPE kind, const KS_PROFILE* record) {
  if (domain == nullptr || record == nullptr ||
      !Storable(domain->Domain, cards::kDomainReadCapacity)) {
    return false;
  }
  const bool credentials = Storable(record->UserName) && Storable(record->Password);
  if (kind != KS_PROFILE_WEB) return credentials;
  return credentials && Storable(record->Text3101) && Storable(record->Text105);
}

BOOL OnMatchingCard(DataManagerUtils& worker, KS_PROFILE_TYPE kind, const KS_DOMAIN* domain,
                    const KS_PROFILE* record, const WCHAR* function,
                    const std::function<BOOL(uint32_t* card)>& onMatch) {
  if (domain == nullptr || record == nullptr) return FALSE;
  const WCHAR* const kLogFunction = function;
  const WStringView wanted = text::FieldText(record->UserName);
  BOOL bRet = FALSE;
  WalkDomainCards(
      worker, kind, *domain, function, KS_TEXT("Get Profile"), cards::kFirstCard,
      [&](cards::HeldCard& card) {
        WCHAR stored[256] = {};
        if (cards::ReadCardText(card.handle(), cards::kUserNameProperty, stored).status < 0 ||
            !SameUserName(text::FieldText(stored), wanted)) {
          return cards::Walk::kNext;
        }
        DM_LOG("Profile Is Found. So Break Here");
        bRet = onMatch(card.handle());
        return cards::Walk::kStop;
      });
  return bRet;
}

BOOL ReportUpdate(KA_STATUS status, const WCHAR* function, KS_PROFILE_TYPE kind,
                  const KS_PROFILE& record) {
  const WCHAR* const kLogFunction = function;
  if (status < 0) return FALSE;
  DM_LOG("Update Profile Successfully");
  LogProfileType(function, kind, record);
  return TRUE;
}

KA_STATUS WritePassword(uint32_t* card, const KS_PROFILE& record) {
  return cards::WriteCardText(card, KA_ATTR_SECRET, cards::kPasswordProperty,
                              text::FieldText(record.Password));
}

KA_STATUS WriteWebValues(uint32_t* card, const KS_PROFILE& record) {
  KA_STATUS status = cards::WriteCardText(card, KA_ATTR_PLAIN, cards::kText3101Property,
                                          text::FieldText(record.Text3101));
  if (status >= 0) {
    status = cards::WriteCardText(card, KA_ATTR_PLAIN, cards::kText105Property,
                                  text::FieldText(record.Text105));
  }
  if (status >= 0) status = WriteOtpMode(card, record);
  return status;
}

KA_STATUS WriteOtpMode(uint32_t* card, const KS_PROFILE& record) {
  if (record.OtpMode == KS_OTP_MODE_UNSET) return KA_OK;
  return cards::WriteCardByte(card, cards::kOtpModeProperty,
                              static_cast<uint8_t>(record.OtpMode & 0xFF));
}

}  // namespace dm::profiles
