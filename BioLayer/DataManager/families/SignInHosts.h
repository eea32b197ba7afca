// SignInHosts.h - the rules for two well-known sign-in hosts: which
// service a web address on them stands for.
//
// A shortcut or a site described by one of these host names alone says
// little; the service qualifier in its full address ("service=mail",
// "src=flickr", ...) tells which site is meant.  The two host names are
// build-time settings (DM_GOOGLE_SIGNIN_HOST and DM_YAHOO_SIGNIN_HOST);
// the library reads no configuration at run time.
#ifndef DM_FAMILIES_SIGN_IN_HOSTS_H
#define DM_FAMILIES_SIGN_IN_HOSTS_H

#include <optional>

#include "KSTypes.h"
#include "platform/Env.h"

namespace dm::signin {

// The display text stored for a web shortcut whose tip is exactly one of
// the host names and whose full address holds one of that host's service
// keys (the first rule that applies wins); nothing when no rule applies and
// the tip is stored unchanged.
std::optional<WStringView> DisplayName(WStringView tip, WStringView fullAddr);

// A site match: whether it answers, and the line of the sign-in host rule
// that decided it ("GMAIL Found", ...), null when no such rule did.
struct SiteMatch {
  bool answers = false;
  const WCHAR* rule = nullptr;
};

// Whether `candidate` (a stored address) answers the site described by
// `siteKey` (a host name) and `siteAddress`: both texts non-empty and the
// key contained in the candidate; for the two sign-in hosts, also the first
// of the host's qualifiers found both in the site address and in the
// candidate.  The caller logs the rule's line where it decides.
SiteMatch MatchSite(WStringView candidate, WStringView siteKey, WStringView siteAddress);

}  // namespace dm::signin

#endif  // DM_FAMILIES_SIGN_IN_HOSTS_H
