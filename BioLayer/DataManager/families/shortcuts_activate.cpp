// Activating a shortcut (marking it shown) by its exact web address or by
// the site it belongs to, and testing for a shortcut of a site.
#include <optional>

#include "DataManagerUtils.h"
#include "KeelAPIUtils.h"
#include "families/Shortcuts.h"
#include "families/SignInHosts.h"
#include "log/Log.h"
#include "log/MethodFrame.h"
#include "text/Fields.h"

DM_LOG_SOURCE(".\\DataManagerUtils");

namespace dm {
namespace {

using shortcut::Shortcut;

constexpr DWORD kShown = 0;  // the hidden flag of a shown shortcut

// The site the caller's web record describes: a host name as its key and
// an address holding the service qualifiers.
struct Site {
  WStringView key;
  WStringView address;
};

Site SiteOf(const KS_SHORTCUT& record) {
  return {text::FieldText(record.Web.Tip), text::FieldText(record.Web.FullAddr)};
}

signin::SiteMatch Match(WStringView candidate, const Site& site) {
  return signin::MatchSite(candidate, site.key, site.address);
}

// Whether a stored web shortcut answers the site by its address, or else by
// its full address.
signin::SiteMatch MatchEither(WStringView url, WStringView fullAddr, const Site& site) {
  const signin::SiteMatch byUrl = Match(url, site);
  return byUrl.answers ? byUrl : Match(fullAddr, site);
}

// Logs the line of the sign-in host rule that decided a match, if one did.
void ShowRule(const WCHAR* function, const signin::SiteMatch& match) {
  if (match.rule != nullptr) log::Write(kLogSource, function, __LINE__, 1, match.rule);
}

// Walks the stored web shortcuts (when `type` is WEB) until `answers(sc,
// targetText)` says one answers, and marks that one shown.  A failed
// release of a shortcut that does not answer ends the walk.  Answers
// whether a shortcut was found and marked.
template <typename AnswersFn>
BOOL Activate(DataManagerUtils& worker, const WCHAR* function, KS_QL_TYPE type,
              AnswersFn&& answers) {
  const WCHAR* const kLogFunction = function;
  DM_LOG("QLType Is %i", type);
  if (!worker.InitializeQL()) return FALSE;
  DM_LOG("Activate Shortcut");
  BOOL activated = FALSE;
  walk::WalkShortcuts([&](Shortcut& sc) {
    WCHAR text[shortcut::kLongField];
    const target::Target found = shortcut::ReadTarget(sc, text);
    if (found.type != type || found.type != WEB || !answers(sc, found.value)) {
      return walk::Walk::kNext;
    }
    DM_LOG("Shortcut Is Found, Activate Shortcut");
    activated = KeelAPIUtils().SetShortcutProperty(sc.handle(), shortcut::kHiddenProperty, &kShown,
                                                   sizeof kShown) >= 0;
    return walk::Walk::kStop;  // a failed release of this one changes nothing
  });
  return activated;
}

// IsShortcutExistUsingProfile and IsShortcutShowedUsingProfile: a web
// record answers by site, the others by their exact target.  The first
// answering shortcut decides; its rule's line follows the listing's lines.
BOOL FindForSite(DataManagerUtils& worker, const WCHAR* function, KS_QL_TYPE type,
                 PKS_SHORTCUT record, bool shownOnly, const WCHAR* determine) {
  if (!shortcut::IsLookupOf(type, record)) return FALSE;
  const Site site = SiteOf(*record);
  std::optional<signin::SiteMatch> first;
  const bool listed = shortcut::ScanStored(worker, function, type, [&](KS_SHORTCUT& entry) {
    if (first || (shownOnly && *shortcut::ViewOf(entry, type)->isShowed == 0)) return;
    const signin::SiteMatch match =
        type == WEB ? MatchEither(text::FieldText(entry.Web.Url),
                                  text::FieldText(entry.Web.FullAddr), site)
                    : signin::SiteMatch{shortcut::SameTarget(*record, entry, type), nullptr};
    if (match.answers) first = match;
  });
  if (!listed) return FALSE;
  log::Write(kLogSource, function, __LINE__, 1, determine);
  if (!first) return FALSE;
  ShowRule(function, *first);
  return TRUE;
}

}  // namespace

BOOL DataManagerUtils::ActivateShortcut(KS_QL_TYPE type, PKS_SHORTCUT shortcut) {
  DM_LOG_FUNCTION("DataManagerUtils::ActivateShortcut");
  return RunMethod(DM_METHOD_LINES("ActivateShortcut()"), __LINE__, [&]() -> BOOL {
    if (!shortcut::IsLookupOf(type, shortcut)) return FALSE;
    // Only the exact stored address answers.
    const WStringView url = text::FieldText(shortcut->Web.Url);
    return Activate(*this, kLogFunction, type,
                    [&](Shortcut&, WStringView stored) { return !stored.empty() && stored == url; });
  });
}

BOOL DataManagerUtils::ActivateShortcutUsingProfile(KS_QL_TYPE type, PKS_SHORTCUT shortcut) {
  DM_LOG_FUNCTION("DataManagerUtils::ActivateShortcutUsingProfile");
  return RunMethod(DM_METHOD_LINES("ActivateShortcutUsingProfile()"), __LINE__, [&]() -> BOOL {
    if (!shortcut::IsLookupOf(type, shortcut)) return FALSE;
    const Site site = SiteOf(*shortcut);
    // The stored address answers, or else the stored full address.
    return Activate(*this, kLogFunction, type, [&](Shortcut& sc, WStringView stored) {
      signin::SiteMatch match = Match(stored, site);
      if (!match.answers) {
        WCHAR fullAddr[shortcut::kLongField];
        shortcut::ReadTextField(sc, shortcut::kFullAddrProperty, fullAddr, std::size(fullAddr));
        match = Match(text::FieldText(fullAddr), site);
      }
      ShowRule(kLogFunction, match);
      return match.answers;
    });
  });
}

BOOL DataManagerUtils::IsShortcutExistUsingProfile(KS_QL_TYPE type, PKS_SHORTCUT shortcut) {
  DM_LOG_FUNCTION("DataManagerUtils::IsShortcutExistUsingProfile");
  return RunMethod(DM_METHOD_LINES("IsShortcutExistUsingProfile()"), __LINE__, [&]() -> BOOL {
    return FindForSite(*this, kLogFunction, type, shortcut, false,
                       KS_TEXT("Determine If Shortcut Is Exist Or Not"));
  });
}

BOOL DataManagerUtils::IsShortcutShowedUsingProfile(KS_QL_TYPE type, PKS_SHORTCUT shortcut) {
  DM_LOG_FUNCTION("DataManagerUtils::IsShortcutShowedUsingProfile");
  return RunMethod(DM_METHOD_LINES("IsShortcutShowedUsingProfile()"), __LINE__, [&]() -> BOOL {
    return FindForSite(*this, kLogFunction, type, shortcut, true,
                       KS_TEXT("Determine If Shortcut Is Showed Or Not"));
  });
}

}  // namespace dm
