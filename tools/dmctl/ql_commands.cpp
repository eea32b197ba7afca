// dmctl ql ...: quick launches, the web addresses, local paths and system
// actions bound to a finger.
//
// The exports take a finger as a bit mask, one bit a finger.  dmctl names
// the ten bits, a convention of its own: bit 0 "left-little", then
// left-ring, left-middle, left-index, left-thumb, right-thumb, right-index,
// right-middle, right-ring, and bit 9 "right-little".  A number (decimal or
// 0x hex, 0x001 to 0x3FF) passes a mask as it is.
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Command.h"
#include "DataManager.h"
#include "Fields.h"
#include "Targets.h"

namespace dmctl {
namespace {

constexpr const char* kFingers[] = {"left-little", "left-ring",   "left-middle", "left-index",
                                    "left-thumb",  "right-thumb", "right-index", "right-middle",
                                    "right-ring",  "right-little"};
constexpr DWORD kAllFingers = 0x3FF;

bool ParseFinger(const std::string& word, DWORD* finger) {
  const int index = FindName(word, kFingers, std::size(kFingers));
  unsigned long mask = 0;
  if (index >= 0) {
    *finger = DWORD{1} << index;
  } else if (ParseDword(word, &mask) && mask != 0 && mask <= kAllFingers) {
    *finger = static_cast<DWORD>(mask);
  } else {
    std::fprintf(stderr, "dmctl: a finger is one of %s, or a mask from 0x001 to 0x3FF\n",
                 JoinNames(kFingers, std::size(kFingers), ", ").c_str());
    return false;
  }
  return true;
}

// The finger's name, or the mask in hex when it is not one finger.
std::string FingerName(DWORD finger) {
  for (size_t i = 0; i < std::size(kFingers); ++i) {
    if (finger == DWORD{1} << i) return kFingers[i];
  }
  char mask[16];
  std::snprintf(mask, sizeof mask, "0x%03lX", static_cast<unsigned long>(finger));
  return mask;
}

// A record from <web|local|action> <target>.
bool ParseRecord(const std::string& type, const std::string& target, KS_QL* record) {
  Target parsed;
  if (!ParseTarget(type, target, &parsed)) return false;
  record->Type = parsed.type;
  return PlaceTarget(parsed, record->Url, &record->ActionType);
}

// <finger> <web|local|action> <target>: the arguments of add and remove.
bool ParseLaunch(const std::vector<std::string>& args, DWORD* finger, KS_QL* record) {
  return args.size() == 3 && ParseFinger(args[0], finger) && ParseRecord(args[1], args[2], record);
}

// The quick launches of one finger, or of one mask.
struct Launches {
  DWORD finger = 0;
  DWORD count = 0;
  std::unique_ptr<KS_QL[]> records;
};

// The quick launches of `finger`, or of each of the ten fingers when it is
// 0; single sign-on is triggered only when `sso` is set.
std::vector<Launches> ReadLaunches(DWORD finger, bool sso) {
  std::vector<Launches> all;
  for (DWORD bit = 1; bit <= kAllFingers; bit <<= 1) {
    Launches one;
    one.finger = finger != 0 ? finger : bit;
    one.records = ReadList<KS_QL>(
        [&](KS_QL* records, DWORD capacity, PDWORD count) {
          return GetQL(one.finger, records, capacity, count, (records != nullptr && sso) ? 1 : 0);
        },
        &one.count);
    all.push_back(std::move(one));
    if (finger != 0) break;
  }
  return all;
}

bool SameTarget(const KS_QL& a, const KS_QL& b) {
  if (a.Type != b.Type) return false;
  return a.Type == ACTION ? a.ActionType == b.ActionType : FromField(a.Url) == FromField(b.Url);
}

// The fingers among `finger` (0: all ten) that hold a quick launch to the
// record's target.
std::vector<std::string> FingersHolding(DWORD finger, const KS_QL& record) {
  std::vector<std::string> fingers;
  for (const Launches& l : ReadLaunches(finger, false)) {
    for (DWORD i = 0; i < l.count; ++i) {
      if (SameTarget(l.records[i], record)) {
        fingers.push_back(FingerName(l.finger));
        break;
      }
    }
  }
  return fingers;
}

void ShowLaunch(Record* item, DWORD finger, const KS_QL& launch) {
  item->Text("finger", FingerName(finger));
  if (TypeName(launch.Type) != nullptr) {
    item->Text("type", TypeName(launch.Type));
  } else {
    item->Null("type", "unknown");
  }
  ShowTarget(item, launch.Type, FromField(launch.Url), launch.ActionType);
  if (launch.Type == WEB) item->Text("login_url", FromField(launch.LoginURL));
}

// ql list [<finger> [--sso]]: succeeds when at least one quick launch was
// read, as GetQL does for one finger.
int List(const Invocation& in) {
  std::vector<std::string> args = in.args;
  const bool sso = args.size() == 2 && args[1] == "--sso";
  if (sso) args.pop_back();
  DWORD finger = 0;
  if (args.size() > 1 || (args.size() == 1 && !ParseFinger(args[0], &finger))) {
    return kExitUsage;
  }
  const std::vector<Launches> all = ReadLaunches(finger, sso);
  DWORD total = 0;
  for (const Launches& l : all) total += l.count;
  in.out->Number("count", total);
  in.out->List("launches");
  for (const Launches& l : all) {
    for (DWORD i = 0; i < l.count; ++i) {
      ShowLaunch(&in.out->Item("launches"), l.finger, l.records[i]);
    }
  }
  return total > 0 ? kExitSucceeded : kExitFailed;
}

// SetQL stores nothing when any finger holds the target already.
int Add(const Invocation& in) {
  DWORD finger = 0;
  KS_QL record = {};
  if (!ParseLaunch(in.args, &finger, &record)) return kExitUsage;
  return Report(in.out, "stored", SetQL(finger, &record, 1));
}

// DeleteQL answers whether the finger had quick launches to compare, not
// whether one went: `removed` tells that, from the finger's list before and
// after.
int Remove(const Invocation& in) {
  DWORD finger = 0;
  KS_QL record = {};
  if (!ParseLaunch(in.args, &finger, &record)) return kExitUsage;
  const bool held = !FingersHolding(finger, record).empty();
  const int status = Report(in.out, "compared", DeleteQL(finger, &record, 1));
  in.out->Flag("removed", held && FingersHolding(finger, record).empty());
  return status;
}

int Clear(const Invocation& in) {
  DWORD finger = 0;
  if (in.args.size() != 1 || !ParseFinger(in.args[0], &finger)) return kExitUsage;
  return Report(in.out, "cleared", DeleteQLAll(finger));
}

// Which fingers hold the target: the test that `ql add` passes only when
// none does.
int Exists(const Invocation& in) {
  KS_QL record = {};
  if (in.args.size() != 2 || !ParseRecord(in.args[0], in.args[1], &record)) return kExitUsage;
  const std::vector<std::string> fingers = FingersHolding(0, record);
  const int status = Report(in.out, "exists", !fingers.empty());
  in.out->List("fingers");
  for (const std::string& f : fingers) in.out->Entry("fingers", f);
  return status;
}

}  // namespace

std::vector<Command> QlCommands() {
  const std::string target = "<web|local|action> <address|path|action>";
  return {
      {{"ql", "list"},
       "[<finger> [--sso]]",
       "list a finger's quick launches, or every finger's; --sso also signs in to a linked "
       "site. Fingers: left-little (bit 0), left-ring, left-middle, left-index, left-thumb, "
       "right-thumb, right-index, right-middle, right-ring, right-little (bit 9), or a mask",
       &List},
      {{"ql", "add"},
       "<finger> " + target,
       "bind a target to a finger, unless a finger holds it already; actions: " + ActionNames(" "),
       &Add},
      {{"ql", "remove"},
       "<finger> " + target,
       "remove a finger's quick launch (a web address exactly as stored)",
       &Remove},
      {{"ql", "clear"}, "<finger>", "remove all the quick launches of a finger", &Clear},
      {{"ql", "exists"}, target, "show which fingers hold a target", &Exists},
  };
}

}  // namespace dmctl
