// dmctl profile ...: domains and logon profiles, the SO account and the
// one-time-password mode.
//
// A password never comes from the command line, where other users of the
// machine and the shell's history would see it: it is read from standard
// input, or typed at a prompt without echo when standard input is a
// terminal.  Passwords are printed only by `show --password`.
#include <cstdio>
#include <string>
#include <vector>

#include "Command.h"
#include "DataManager.h"
#include "Fields.h"
#include "Profiles.h"
#include "SecretInput.h"

namespace dmctl {
namespace {

// A profile record that is wiped when it goes away.
struct SecretProfile {
  KS_PROFILE record = {};
  ~SecretProfile() { Wipe(&record, sizeof record); }
};

bool ParseKind(const std::string& word, KS_PROFILE_TYPE* kind) {
  if (word == "app") {
    *kind = KS_PROFILE_APP;
  } else if (word == "web") {
    *kind = KS_PROFILE_WEB;
  } else {
    return false;
  }
  return true;
}

// The options of add and update after the three positional words.
struct WebOptions {
  std::string text3101, text105;
  DWORD otp = KS_OTP_MODE_UNSET;
  bool any = false;
};

bool ParseWebOptions(const std::vector<std::string>& args, size_t from, WebOptions* options) {
  for (size_t i = from; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) return false;
    const std::string& value = args[i + 1];
    if (args[i] == "--text3101") {
      options->text3101 = value;
    } else if (args[i] == "--text105") {
      options->text105 = value;
    } else if (args[i] == "--otp") {
      unsigned long mode = 0;
      if (!ParseDword(value, &mode)) return false;
      options->otp = static_cast<DWORD>(mode);
    } else {
      return false;
    }
    options->any = true;
  }
  return true;
}

// What most commands name: a kind, a domain and, for some, a user.
struct Target {
  KS_PROFILE_TYPE kind = 0;
  KS_DOMAIN domain = {};
  SecretProfile profile;
};

// Parses <kind> <domain> [<user>] from the first `words` arguments (2 or
// 3); the record gets the kind, the user name and no one-time-password mode.
bool ParseTarget(const std::vector<std::string>& args, size_t words, Target* target) {
  if (args.size() < words || !ParseKind(args[0], &target->kind)) return false;
  if (!ToField(args[1], target->domain.Domain, "domain")) return false;
  target->profile.record.ProfileType = target->kind;
  target->profile.record.OtpMode = KS_OTP_MODE_UNSET;
  return words < 3 || ToField(args[2], target->profile.record.UserName, "user name");
}

int Domains(const Invocation& in) {
  KS_PROFILE_TYPE kind = 0;
  if (in.args.size() != 1 || !ParseKind(in.args[0], &kind)) return kExitUsage;
  DWORD count = 0;
  if (!GetDomain(kind, nullptr, 0, &count)) {
    in.out->Number("count", 0);
    return kExitFailed;
  }
  std::vector<KS_DOMAIN> domains(count);
  if (!GetDomain(kind, domains.data(), count, &count)) return kExitFailed;
  in.out->Number("count", count);
  in.out->List("domains");
  for (DWORD i = 0; i < count; ++i) in.out->Entry("domains", FromField(domains[i].Domain));
  return kExitSucceeded;
}

// Prints the records of a list, with their passwords only when asked.
void PrintProfiles(Output* out, KS_PROFILE_TYPE kind, const KS_PROFILE* profiles, DWORD count,
                   bool passwords) {
  out->Number("count", count);
  out->List("profiles");
  for (DWORD i = 0; i < count; ++i) {
    const KS_PROFILE& p = profiles[i];
    Record& item = out->Item("profiles");
    item.Text("user", FromField(p.UserName));
    if (passwords) item.Text("password", FromField(p.Password));
    if (kind != KS_PROFILE_WEB) continue;
    item.Text("text3101", FromField(p.Text3101));
    item.Text("text105", FromField(p.Text105));
    if (p.OtpMode == KS_OTP_MODE_UNSET) {
      item.Null("otp_mode", "unset");
    } else {
      item.Number("otp_mode", p.OtpMode);
    }
  }
}

int ListProfiles(const Invocation& in, decltype(&GetProfile) read, bool passwords) {
  Target t;
  if (in.args.size() != 2 || !ParseTarget(in.args, 2, &t)) return kExitUsage;
  SecretProfiles profiles;
  if (!ReadProfiles(t.kind, &t.domain, read, &profiles)) {
    in.out->Number("count", 0);
    return kExitFailed;
  }
  PrintProfiles(in.out, t.kind, profiles.records.data(),
                static_cast<DWORD>(profiles.records.size()), passwords);
  return kExitSucceeded;
}

int List(const Invocation& in) { return ListProfiles(in, &QueryProfile, false); }

int Show(const Invocation& in) {
  std::vector<std::string> args = in.args;
  bool passwords = false;
  if (args.size() == 3 && args[2] == "--password") {
    passwords = true;
    args.pop_back();
  }
  return ListProfiles({args, in.out}, &GetProfile, passwords);
}

// add and update: the record from the command line and standard input.
int Write(const Invocation& in, decltype(&SetSingleProfile) write) {
  Target t;
  KS_PROFILE& record = t.profile.record;
  WebOptions options;
  if (!ParseTarget(in.args, 3, &t) || !ParseWebOptions(in.args, 3, &options) ||
      (options.any && t.kind != KS_PROFILE_WEB) ||
      !ToField(options.text3101, record.Text3101, "--text3101 value") ||
      !ToField(options.text105, record.Text105, "--text105 value")) {
    return kExitUsage;
  }
  record.OtpMode = options.otp;
  std::string password;
  const bool read = ReadSecretLine("password", &password);
  const bool fits = read && ToField(password, record.Password, "password");
  Wipe(password.data(), password.size());
  if (!read) std::fprintf(stderr, "dmctl: no password on standard input\n");
  if (!fits) return kExitUsage;
  return Report(in.out, "written", write(t.kind, &t.domain, &record));
}

int Add(const Invocation& in) { return Write(in, &SetSingleProfile); }
int Update(const Invocation& in) { return Write(in, &UpdateProfile); }

// The commands that hand a kind, a domain and a user to one export and show
// its flag under `key`.
int CallWithTarget(const Invocation& in, decltype(&IsProfileExist) call, const char* key) {
  Target t;
  if (in.args.size() != 3 || !ParseTarget(in.args, 3, &t)) return kExitUsage;
  return Report(in.out, key, call(t.kind, &t.domain, &t.profile.record));
}

int Exists(const Invocation& in) { return CallWithTarget(in, &IsProfileExist, "exists"); }
int SoSet(const Invocation& in) { return CallWithTarget(in, &SetSOAccount, "marked"); }

int SoGet(const Invocation& in) {
  Target t;
  if (in.args.size() != 2 || !ParseTarget(in.args, 2, &t)) return kExitUsage;
  if (!GetSOAccount(t.kind, &t.domain, &t.profile.record)) return kExitFailed;
  in.out->Text("user", FromField(t.profile.record.UserName));
  return kExitSucceeded;
}

// The mode of a web profile: a number, or "unset" for KS_OTP_MODE_UNSET.
int Otp(const Invocation& in) {
  Target t;
  unsigned long mode = KS_OTP_MODE_UNSET;
  if (in.args.size() != 3 || !ParseTarget({"web", in.args[0], in.args[1]}, 3, &t) ||
      (in.args[2] != "unset" && !ParseDword(in.args[2], &mode))) {
    return kExitUsage;
  }
  t.profile.record.OtpMode = static_cast<DWORD>(mode);
  return Report(in.out, "written", SetSingleOTPProfile(t.kind, &t.domain, &t.profile.record));
}

}  // namespace

SecretProfiles::~SecretProfiles() {
  if (!records.empty()) Wipe(records.data(), records.size() * sizeof(KS_PROFILE));
}

bool ReadProfiles(KS_PROFILE_TYPE kind, KS_DOMAIN* domain, decltype(&GetProfile) read,
                  SecretProfiles* profiles) {
  DWORD count = 0;
  if (!read(kind, domain, nullptr, 0, &count)) return false;
  // Zero-filled records, wiped by SecretProfiles: they may hold passwords.
  profiles->records.assign(count, KS_PROFILE{});
  if (!read(kind, domain, profiles->records.data(), count, &count)) return false;
  if (count > profiles->records.size()) count = static_cast<DWORD>(profiles->records.size());
  if (count < profiles->records.size()) {  // fewer now: the rest is wiped too
    Wipe(profiles->records.data() + count, (profiles->records.size() - count) * sizeof(KS_PROFILE));
    profiles->records.resize(count);
  }
  return true;
}

std::vector<Command> ProfileCommands() {
  const std::string webOptions = " [--text3101 <text>] [--text105 <text>] [--otp <mode>]";
  return {
      {{"profile", "domains"}, "<app|web>", "list the domains of one profile kind", &Domains},
      {{"profile", "list"},
       "<app|web> <domain>",
       "list a domain's profiles, without passwords",
       &List},
      {{"profile", "show"},
       "<app|web> <domain> [--password]",
       "read a domain's profiles; passwords only with --password",
       &Show},
      {{"profile", "add"},
       "<app|web> <domain> <user>" + webOptions,
       "store a new profile; the password is read from standard input",
       &Add},
      {{"profile", "update"},
       "<app|web> <domain> <user>" + webOptions,
       "rewrite a profile; the password is read from standard input",
       &Update},
      {{"profile", "exists"},
       "<app|web> <domain> <user>",
       "test whether a profile exists",
       &Exists},
      {{"profile", "so", "get"}, "<app|web> <domain>", "show the domain's SO account", &SoGet},
      {{"profile", "so", "set"},
       "<app|web> <domain> <user>",
       "mark a profile as the SO account",
       &SoSet},
      {{"profile", "otp"},
       "<domain> <user> <mode|unset>",
       "set the one-time-password mode of a web profile",
       &Otp},
  };
}

}  // namespace dmctl
