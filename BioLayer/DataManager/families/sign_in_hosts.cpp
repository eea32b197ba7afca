// The rules of the two sign-in hosts (see SignInHosts.h).  The host names
// are compiled in here, and only here, from the build's settings.
#include "families/SignInHosts.h"

#ifndef DM_GOOGLE_SIGNIN_HOST
#error "DM_GOOGLE_SIGNIN_HOST is set by the build"
#endif
#ifndef DM_YAHOO_SIGNIN_HOST
#error "DM_YAHOO_SIGNIN_HOST is set by the build"
#endif

namespace dm::signin {
namespace {

constexpr WStringView kGoogleHost = KS_TEXT(DM_GOOGLE_SIGNIN_HOST);
constexpr WStringView kYahooHost = KS_TEXT(DM_YAHOO_SIGNIN_HOST);

// One service of a host: the key that names it in an address, and what it
// is shown as.
struct Service {
  WStringView key;
  const WCHAR* text;  // a display name, or a log line
};

struct Host {
  WStringView name;
  Service displayNames[2];  // in order: the first key found wins
  Service siteRules[3];     // likewise
};

constexpr Host kHosts[] = {
    {kGoogleHost,
     {{KS_TEXT("service=mail"), KS_TEXT("Gmail")},
      {KS_TEXT("service=youtube"), KS_TEXT("YouTube")}},
     {{KS_TEXT("service=mail"), KS_TEXT("GMAIL Found")},
      {KS_TEXT("service=youtube"), KS_TEXT("YOUTUBE Found")},
      {KS_TEXT("Login"), KS_TEXT("GOOGLE ACCOUNT Found")}}},
    {kYahooHost,
     {{KS_TEXT("src=fpctx"), KS_TEXT("Yahoo!")}, {KS_TEXT("src=flickr"), KS_TEXT("Flickr")}},
     {{KS_TEXT("src=fpctx"), KS_TEXT("YAHOO Found")},
      {KS_TEXT("src=flickr"), KS_TEXT("FLICKR Found")},
      {KS_TEXT("login?"), KS_TEXT("YAHOO ACCOUNT Found")}}},
};

bool Contains(WStringView text, WStringView key) { return text.find(key) != WStringView::npos; }

// The host whose name is exactly `name`, if any.
const Host* HostNamed(WStringView name) {
  for (const Host& host : kHosts) {
    if (name == host.name) return &host;
  }
  return nullptr;
}

}  // namespace

std::optional<WStringView> DisplayName(WStringView tip, WStringView fullAddr) {
  const Host* host = HostNamed(tip);
  if (host == nullptr) return std::nullopt;
  for (const Service& service : host->displayNames) {
    if (Contains(fullAddr, service.key)) return WStringView(service.text);
  }
  return std::nullopt;
}

SiteMatch MatchSite(WStringView candidate, WStringView siteKey, WStringView siteAddress) {
  if (candidate.empty() || siteKey.empty() || !Contains(candidate, siteKey)) return {};
  const Host* host = HostNamed(siteKey);
  if (host == nullptr) return {true, nullptr};
  for (const Service& rule : host->siteRules) {
    if (Contains(siteAddress, rule.key) && Contains(candidate, rule.key)) return {true, rule.text};
  }
  return {};
}

}  // namespace dm::signin
