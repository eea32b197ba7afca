// The user's identity card: seven text fields kept as identity properties.
#include <cstring>
#include <string>

#include "DataManagerUtils.h"
#include "KeelAPIUtils.h"
#include "families/CardFields.h"
#include "families/IdentityProperties.h"
#include "log/Log.h"
#include "log/MethodFrame.h"
#include "text/Fields.h"

DM_LOG_SOURCE(".\\DataManagerUtils");

namespace dm {
namespace {

constexpr DWORD kAppControl = 2;  // the opening the identity card works under

using VCardField = WCHAR (KS_VCARD::*)[256];

// The fields in record order, each with its identity property and the line
// that shows its value.
struct Field {
  VCardField field;
  int32_t property;
  const WCHAR* shown;
};

constexpr Field kFields[] = {
    {&KS_VCARD::Nickname, identity::kNickname, KS_TEXT("Nickname Is %s")},
    {&KS_VCARD::FullName, identity::kFullName, KS_TEXT("FullName Is %s")},
    {&KS_VCARD::Location, identity::kLocation, KS_TEXT("Location Is %s")},
    {&KS_VCARD::Email, identity::kEmail, KS_TEXT("Email Is %s")},
    {&KS_VCARD::Website, identity::kWebsite, KS_TEXT("Website Is %s")},
    {&KS_VCARD::PhoneMobile, identity::kPhoneMobile, KS_TEXT("PhoneMobile Is %s")},
    {&KS_VCARD::SkypeID, identity::kSkypeId, KS_TEXT("SkypeID Is %s")},
};

// Logs `done` and then every field of the card (up to its terminator, or
// its whole width when the caller left none).
void ShowCard(const WCHAR* function, const WCHAR* done, const KS_VCARD& card) {
  log::Write(kLogSource, function, __LINE__, 1, done);
  for (const Field& f : kFields) {
    const WString value(text::FieldText(card.*f.field));
    log::Write(kLogSource, function, __LINE__, 1, f.shown, value.c_str());
  }
}

}  // namespace

BOOL DataManagerUtils::GetvCard(PKS_VCARD vcard) {
  DM_LOG_FUNCTION("DataManagerUtils::GetvCard");
  return RunMethod(DM_METHOD_LINES("GetvCard()"), __LINE__, [&]() -> BOOL {
    if (vcard == nullptr || !InitializeSetting(kAppControl)) return FALSE;
    for (const Field& f : kFields) {
      WCHAR(&field)[256] = vcard->*f.field;
      std::memset(field, 0, sizeof field);
      // A property never stored leaves its field empty; any other refusal
      // ends the reading, later fields keeping what the caller left.
      const KA_STATUS status = cards::ReadIdentityText(f.property, field, std::size(field)).status;
      if (status < 0 && status != KA_E_NOT_STORED) return FALSE;
    }
    ShowCard(kLogFunction, KS_TEXT("Get vCard Successfully"), *vcard);
    return TRUE;
  });
}

BOOL DataManagerUtils::SetvCard(PKS_VCARD vcard) {
  DM_LOG_FUNCTION("DataManagerUtils::SetvCard");
  return RunMethod(DM_METHOD_LINES("SetvCard()"), __LINE__, [&]() -> BOOL {
    if (vcard == nullptr || !InitializeSetting(kAppControl)) return FALSE;
    KeelAPIUtils store;
    for (const Field& f : kFields) {
      // An empty field is written as the empty text, clearing the stored
      // value.  No rollback: fields written before a refusal stay written.
      const std::string value = text::FieldToStoreText(vcard->*f.field);
      if (!store.SetIdentityProperty(KA_ATTR_PLAIN, f.property, value.c_str())) return FALSE;
    }
    ShowCard(kLogFunction, KS_TEXT("Set vCard Successfully"), *vcard);
    return TRUE;
  });
}

}  // namespace dm
