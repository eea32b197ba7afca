// dmctl bio ...: the biometric module: enrolment, the sensor, the parent
// window of its dialogs, and an authentication.  Without a sensor, `dmctl
// store simulate enrollments` stands in for one.
#include <cstdint>

#include "Command.h"
#include "DataManager.h"

namespace dmctl {
namespace {

int Enrolled(const Invocation& in) {
  if (!in.args.empty()) return kExitUsage;
  return Report(in.out, "enrolled", IsCurrentUserEnrolled());
}

int Sensor(const Invocation& in) {
  if (!in.args.empty()) return kExitUsage;
  return Report(in.out, "connected", IsSensorConnected());
}

// The export takes a pointer to the 64-bit window handle.
int Parent(const Invocation& in) {
  uint64_t window = 0;
  if (in.args.size() != 1 || !ParseUint64(in.args[0], &window)) return kExitUsage;
  return Report(in.out, "parent_set", SetBioModuleParent(&window));
}

int Authenticate(const Invocation& in) {
  if (!in.args.empty()) return kExitUsage;
  // The store starts the authentication and returns; its outcome is not
  // reported to the library, so dmctl cannot show it either.
  return Report(in.out, "started", StartAuthentication());
}

}  // namespace

std::vector<Command> BioCommands() {
  return {
      {{"bio", "enrolled"}, "", "test whether the current user has enrolled fingers", &Enrolled},
      {{"bio", "sensor"}, "", "test whether a fingerprint sensor is connected", &Sensor},
      {{"bio", "parent"},
       "<window>",
       "set the parent window of the biometric dialogs (a handle, decimal or 0x hex)",
       &Parent},
      {{"bio", "authenticate"}, "", "start a fingerprint authentication (its outcome is not reported)", &Authenticate},
  };
}

}  // namespace dmctl
