// ProfileRules.h - what the profile operations share: the caller's domain
// in its two forms, the opening for a domain, the matching rule and the
// walk that applies it, the type line, and the writes of the web values.
#ifndef DM_FAMILIES_PROFILE_RULES_H
#define DM_FAMILIES_PROFILE_RULES_H

#include <cstdint>
#include <functional>
#include <string>

#include "DataManager.h"
#include "DataManagerUtils.h"
#include "KeelAPI.h"
#include "families/CardWalk.h"
#include "platform/Env.h"

namespace dm::profiles {

// A caller's domain, read only up to its field's width: the text the log
// lines show (always terminated) and the UTF-8 the store is asked with.
struct DomainName {
  explicit DomainName(const KS_DOMAIN& domain);
  WString text;
  std::string utf8;
};

// Logs "Domain Is %s" under `function` and opens the store for `kind`
// (InitializeProfile).  Answers whether the store opened; *category gets the
// card category of the kind in any case.
bool OpenForDomain(DataManagerUtils& worker, KS_PROFILE_TYPE kind, const DomainName& domain,
                   const WCHAR* function, DWORD* category);

// OpenForDomain, then, when the store opened, logs `walking` under
// `function` and walks the domain's cards from `firstMode` (WalkCards in
// CardWalk.h, with its release rule).  Answers whether the store opened.
bool WalkDomainCards(DataManagerUtils& worker, KS_PROFILE_TYPE kind, const KS_DOMAIN& domain,
                     const WCHAR* function, const WCHAR* walking, int16_t firstMode,
                     const std::function<cards::Walk(cards::HeldCard&)>& visit);

// The statuses by which the store says that the user's authentication was
// refused (-6) or cancelled (-9): a list stops at once on them.
bool IsAuthenticationRefused(KA_STATUS status);

// The matching rule: a stored user name and a wanted one match when both
// are non-empty and equal code unit by code unit (case-sensitive).
bool SameUserName(WStringView stored, WStringView wanted);

// Logs "Profile Type Is APP; UserName Is %s" or "Profile Type Is WEB;
// UserName Is %s" under `function`, with the record's user name.
void LogProfileType(const WCHAR* function, KS_PROFILE_TYPE kind, const KS_PROFILE& record);

// Whether a writer takes the arguments: both are there, and the domain and
// the texts a writer takes from the record for `kind` (user name and
// password; for a web profile also Text3101 and Text105) end within their
// fields and fit, as UTF-8 with a terminator, the buffer their reads use
// (512 bytes for the domain, 4096 for the texts).  A writer refuses a
// record that fails this, before it opens the store: the store would keep a
// value that no read could return whole.
bool IsWritable(const KS_DOMAIN* domain, KS_PROFILE_TYPE kind, const KS_PROFILE* record);

// The look-up shared by the operations that change one profile.  A null
// domain or record answers FALSE at once.  Otherwise it logs
// "Domain Is %s", opens the store, logs "Get Profile" and walks the cards of
// the domain in store order until one matches the record's user name (its
// property 103 read into a zero-filled 256-unit buffer; cards whose name
// cannot be read are passed over).  On the match it logs "Profile Is Found.
// So Break Here" and answers what `onMatch(card)` answers; the card is
// released after `onMatch` returns and the walk ends there.  Without a
// match, or when the store does not open, it answers FALSE.  Lines are
// logged under `function`.
BOOL OnMatchingCard(DataManagerUtils& worker, KS_PROFILE_TYPE kind, const KS_DOMAIN* domain,
                    const KS_PROFILE* record, const WCHAR* function,
                    const std::function<BOOL(uint32_t* card)>& onMatch);

// Ends a profile update whose writes answered `status`: when it is 0 or
// more, logs "Update Profile Successfully" and the type line under
// `function` and answers TRUE; otherwise answers FALSE.
BOOL ReportUpdate(KA_STATUS status, const WCHAR* function, KS_PROFILE_TYPE kind,
                  const KS_PROFILE& record);

// Writes the password (property 104, KA_ATTR_SECRET).
KA_STATUS WritePassword(uint32_t* card, const KS_PROFILE& record);

// Writes the web values after the password and user name: Text3101,
// Text105, then the low byte of OtpMode unless it is KS_OTP_MODE_UNSET,
// stopping at the first refused write.  Answers the last status (0 or more
// when every write was made).
KA_STATUS WriteWebValues(uint32_t* card, const KS_PROFILE& record);

// Writes the low byte of OtpMode to property 1003, or nothing when it is
// KS_OTP_MODE_UNSET (answering 0).
KA_STATUS WriteOtpMode(uint32_t* card, const KS_PROFILE& record);

}  // namespace dm::profiles

#endif  // DM_FAMILIES_PROFILE_RULES_H
