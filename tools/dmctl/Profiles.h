// Profiles.h - reading a domain's profiles, shared by the profile commands
// that list them and the one that exports them.
#ifndef DMCTL_PROFILES_H
#define DMCTL_PROFILES_H

#include <vector>

#include "DataManager.h"

namespace dmctl {

// Profile records that are wiped when they go away: they may hold passwords.
class SecretProfiles {
 public:
  SecretProfiles() = default;
  ~SecretProfiles();
  SecretProfiles(const SecretProfiles&) = delete;
  SecretProfiles& operator=(const SecretProfiles&) = delete;

  std::vector<KS_PROFILE> records;
};

// Counts the profiles of the domain, then reads them with `read`
// (GetProfile, with passwords, or QueryProfile, without; they share their
// signature).  False when either call fails.
bool ReadProfiles(KS_PROFILE_TYPE kind, KS_DOMAIN* domain, decltype(&GetProfile) read,
                  SecretProfiles* profiles);

}  // namespace dmctl

#endif  // DMCTL_PROFILES_H
