// dmctl shortcut ...: the shortcuts of the touch control application, web
// addresses, local paths and system actions, each with an icon, a tip, a
// category and whether it is shown.
//
// SetSingleShortcut stores a duplicate as readily as a new shortcut, so
// `shortcut add` asks IsShortcutExist first and stores nothing when the
// target is there already, unless --force is given.
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "Command.h"
#include "DataManager.h"
#include "Fields.h"
#include "Targets.h"

namespace dmctl {
namespace {

// Category 1 is "Personal"; 0 is no category.
constexpr const char* kCategories[] = {"Personal",        "Games",    "NewsMedia", "Finance",
                                       "ServiceProvider", "Shopping", "Social",    "VeriSignVIP"};

bool ParseCategory(const std::string& word, DWORD* category) {
  static constexpr const char* kNone[] = {"none"};
  const int index = FindName(word, kCategories, std::size(kCategories));
  if (index >= 0 || FindName(word, kNone, 1) == 0) {
    *category = static_cast<DWORD>(index + 1);  // 0 for none
    return true;
  }
  std::fprintf(stderr, "dmctl: a category is one of %s, or none\n",
               JoinNames(kCategories, std::size(kCategories), ", ").c_str());
  return false;
}

void ShowCategory(Record* item, DWORD category) {
  if (category == 0) {
    item->Null("category", "none");
  } else if (category <= std::size(kCategories)) {
    item->Text("category", kCategories[category - 1]);
  } else {
    item->Null("category", "unknown");
  }
}

// What `shortcut add` takes besides the target.
struct Details {
  std::string fullAddr, icon, tip;
  bool withFullAddr = false;
  DWORD shown = 1;
  DWORD preloaded = 0;
  DWORD category = 0;
  bool force = false;
};

bool ParseDetails(const std::vector<std::string>& args, size_t from, Details* details) {
  for (size_t i = from; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--hidden") {
      details->shown = 0;
      continue;
    }
    if (option == "--force") {
      details->force = true;
      continue;
    }
    if (i + 1 >= args.size()) return false;
    const std::string& value = args[++i];
    unsigned long preloaded = 0;
    if (option == "--full-addr") {
      details->fullAddr = value;
      details->withFullAddr = true;
    } else if (option == "--icon") {
      details->icon = value;
    } else if (option == "--tip") {
      details->tip = value;
    } else if (option == "--preloaded" && ParseDword(value, &preloaded)) {
      details->preloaded = static_cast<DWORD>(preloaded);
    } else if (option != "--category" || !ParseCategory(value, &details->category)) {
      return false;
    }
  }
  return true;
}

// The fields that the three layouts share.
template <typename Layout>
bool PlaceDetails(const Details& details, Layout* shortcut) {
  shortcut->IsShowed = details.shown;
  shortcut->IsPreloaded = details.preloaded;
  shortcut->Category = details.category;
  return ToField(details.icon, shortcut->IconRef, "--icon value") &&
         ToField(details.tip, shortcut->Tip, "--tip value");
}

template <typename Layout>
void ShowDetails(Record* item, const Layout& shortcut) {
  item->Text("icon", FromField(shortcut.IconRef));
  item->Text("tip", FromField(shortcut.Tip));
  item->Flag("shown", shortcut.IsShowed != 0);
  item->Number("preloaded", shortcut.IsPreloaded);
  ShowCategory(item, shortcut.Category);
}

// A record from <web|local|action> <target> and the details; false, with a
// message, when a text does not fit.
bool PlaceShortcut(const Target& target, const Details& details, KS_SHORTCUT* shortcut) {
  shortcut->Type = target.type;
  if (!PlaceTarget(target, target.type == WEB ? shortcut->Web.Url : shortcut->Local.Path,
                   &shortcut->Action.ActionType)) {
    return false;
  }
  if (target.type == WEB) {
    return ToField(details.fullAddr, shortcut->Web.FullAddr, "--full-addr value") &&
           PlaceDetails(details, &shortcut->Web);
  }
  if (target.type == LOCAL) return PlaceDetails(details, &shortcut->Local);
  return PlaceDetails(details, &shortcut->Action);
}

// A record from <web|local|action> <target> [--shown] (when `shown` is
// given), for the exports that look a target up.
bool ParseLookup(const std::vector<std::string>& args, bool* shown, KS_SHORTCUT* shortcut) {
  Target target;
  const size_t words = shown != nullptr && args.size() == 3 && args[2] == "--shown" ? 3 : 2;
  if (shown != nullptr) *shown = words == 3;
  return args.size() == words && ParseTarget(args[0], args[1], &target) &&
         PlaceShortcut(target, Details(), shortcut);
}

void ShowShortcut(Record* item, KS_QL_TYPE type, const KS_SHORTCUT& shortcut) {
  if (type == WEB) {
    ShowTarget(item, type, FromField(shortcut.Web.Url), 0);
    item->Text("full_addr", FromField(shortcut.Web.FullAddr));
    ShowDetails(item, shortcut.Web);
  } else if (type == LOCAL) {
    ShowTarget(item, type, FromField(shortcut.Local.Path), 0);
    ShowDetails(item, shortcut.Local);
  } else {
    ShowTarget(item, type, "", shortcut.Action.ActionType);
    ShowDetails(item, shortcut.Action);
  }
}

int List(const Invocation& in) {
  KS_QL_TYPE type = 0;
  if (in.args.size() != 1 || !ParseType(in.args[0], &type)) return kExitUsage;
  DWORD count = 0;
  const auto records = ReadList<KS_SHORTCUT>(
      [type](KS_SHORTCUT* shortcuts, DWORD capacity, PDWORD read) {
        return GetShortcut(type, shortcuts, capacity, read);
      },
      &count);
  in.out->Number("count", count);
  in.out->List("shortcuts");
  for (DWORD i = 0; i < count; ++i) ShowShortcut(&in.out->Item("shortcuts"), type, records[i]);
  return count > 0 ? kExitSucceeded : kExitFailed;
}

int Add(const Invocation& in) {
  Target target;
  Details details;
  KS_SHORTCUT shortcut = {};
  if (in.args.size() < 2 || !ParseTarget(in.args[0], in.args[1], &target) ||
      !ParseDetails(in.args, 2, &details) || (details.withFullAddr && target.type != WEB) ||
      !PlaceShortcut(target, details, &shortcut)) {
    return kExitUsage;
  }
  if (!details.force && IsShortcutExist(target.type, &shortcut)) {
    std::fprintf(stderr, "dmctl: the shortcut exists already (--force stores another)\n");
    const int status = Report(in.out, "stored", 0);
    in.out->Flag("exists", true);
    return status;
  }
  return Report(in.out, "stored", SetSingleShortcut(target.type, &shortcut));
}

// exists and match: whether a shortcut is there, or with --shown whether it
// is shown.
int ReportLookup(Output* out, bool shown, decltype(&IsShortcutExist) exists,
                 decltype(&IsShortcutShowed) showed, KS_SHORTCUT* shortcut) {
  return shown ? Report(out, "shown", showed(shortcut->Type, shortcut))
               : Report(out, "exists", exists(shortcut->Type, shortcut));
}

int Exists(const Invocation& in) {
  bool shown = false;
  KS_SHORTCUT shortcut = {};
  if (!ParseLookup(in.args, &shown, &shortcut)) return kExitUsage;
  return ReportLookup(in.out, shown, &IsShortcutExist, &IsShortcutShowed, &shortcut);
}

int Activate(const Invocation& in) {
  KS_SHORTCUT shortcut = {};
  if (!ParseLookup(in.args, nullptr, &shortcut) || shortcut.Type != WEB) return kExitUsage;
  return Report(in.out, "activated", ActivateSingleShortcut(WEB, &shortcut));
}

// <site-key> [--address <site address>] [--shown] (--shown only when `shown`
// is given): a web record that carries the key as its tip and the address
// as its full address, as the site lookups take them.
bool ParseSite(const std::vector<std::string>& args, bool* shown, KS_SHORTCUT* shortcut) {
  if (args.empty()) return false;
  std::string address;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--shown" && shown != nullptr) {
      *shown = true;
    } else if (args[i] == "--address" && i + 1 < args.size()) {
      address = args[++i];
    } else {
      return false;
    }
  }
  shortcut->Type = WEB;
  return ToField(args[0], shortcut->Web.Tip, "site key") &&
         ToField(address, shortcut->Web.FullAddr, "site address");
}

int Match(const Invocation& in) {
  bool shown = false;
  KS_SHORTCUT shortcut = {};
  if (!ParseSite(in.args, &shown, &shortcut)) return kExitUsage;
  return ReportLookup(in.out, shown, &IsShortcutExistUsingProfile, &IsShortcutShowedUsingProfile,
                      &shortcut);
}

int ActivateSite(const Invocation& in) {
  KS_SHORTCUT shortcut = {};
  if (!ParseSite(in.args, nullptr, &shortcut)) return kExitUsage;
  return Report(in.out, "activated", ActivateSingleShortcutUsingProfile(WEB, &shortcut));
}

}  // namespace

std::vector<Command> ShortcutCommands() {
  const std::string target = "<web|local|action> <address|path|action>";
  return {
      {{"shortcut", "list"}, "<web|local|action>", "list the shortcuts of one type", &List},
      {{"shortcut", "add"},
       target + " [--full-addr <address>] [--icon <ref>] [--tip <text>] [--hidden] "
                "[--preloaded <number>] [--category <name>] [--force]",
       "store a shortcut, shown unless --hidden; --full-addr for web only; a target stored "
       "already only with --force. Categories: " +
           JoinNames(kCategories, std::size(kCategories), " ") + " none",
       &Add},
      {{"shortcut", "exists"},
       target + " [--shown]",
       "test whether a shortcut exists, or with --shown whether it is shown",
       &Exists},
      {{"shortcut", "activate"}, "web <address>", "mark a web shortcut as shown", &Activate},
      {{"shortcut", "match"},
       "<site-key> [--address <site address>] [--shown]",
       "test whether a web shortcut belongs to a site (a host name), or with --shown "
       "whether it is shown",
       &Match},
      {{"shortcut", "activate-site"},
       "<site-key> [--address <site address>]",
       "mark the web shortcut of a site as shown",
       &ActivateSite},
  };
}

}  // namespace dmctl
