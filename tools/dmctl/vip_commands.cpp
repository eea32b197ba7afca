// dmctl vip ...: the one-time-password service: its credential ID, the
// current one-time passwords and its prompt.  Without the service, `dmctl
// store simulate vip` stands in for it.
//
// One-time passwords are secrets: `vip otp` prints them only with --show,
// and wipes the buffers that held them.
#include <string>

#include "Command.h"
#include "DataManager.h"
#include "Fields.h"

namespace dmctl {
namespace {

// The width of the exports' text buffers.
constexpr size_t kVipText = 256;

int Cid(const Invocation& in) {
  if (!in.args.empty()) return kExitUsage;
  WCHAR cid[kVipText] = {};
  if (!GetVIPCID(cid)) return kExitFailed;
  in.out->Text("credential_id", FromField(cid));
  return kExitSucceeded;
}

// Both passwords, wiped when they go away.
struct Passwords {
  WCHAR first[kVipText] = {};
  WCHAR second[kVipText] = {};
  ~Passwords() {
    Wipe(first, sizeof first);
    Wipe(second, sizeof second);
  }
};

int Otp(const Invocation& in) {
  const bool show = in.args.size() == 1 && in.args[0] == "--show";
  if (!in.args.empty() && !show) return kExitUsage;
  Passwords otp;
  const int status = Report(in.out, "read", GetVIPOTP(otp.first, otp.second));
  if (status != kExitSucceeded) return status;
  in.out->Flag("first_present", otp.first[0] != 0);
  in.out->Flag("second_present", otp.second[0] != 0);
  if (show) {
    in.out->Text("first", FromField(otp.first));
    in.out->Text("second", FromField(otp.second));
  }
  return status;
}

// The command goes to the prompt as given, as a narrow text.
int Prompt(const Invocation& in) {
  if (in.args.size() > 1) return kExitUsage;
  DWORD succeeded = 0;
  const int status = Report(in.out, "launched",
                            LaunchVIPPromptUIWithCmd(
                                in.args.empty() ? nullptr : in.args[0].c_str(), &succeeded));
  in.out->Flag("succeeded", succeeded != 0);
  return status;
}

}  // namespace

std::vector<Command> VipCommands() {
  return {
      {{"vip", "cid"}, "", "show the one-time-password credential ID", &Cid},
      {{"vip", "otp"},
       "[--show]",
       "read the current one-time passwords; printed only with --show",
       &Otp},
      {{"vip", "prompt"},
       "[<command>]",
       "launch the one-time-password prompt, with a command when given",
       &Prompt},
  };
}

}  // namespace dmctl
