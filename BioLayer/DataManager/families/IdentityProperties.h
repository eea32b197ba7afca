// IdentityProperties.h - the numbers of the identity object's properties
// that the library reads and writes.  Every value is a NUL-terminated UTF-8
// text in the store.
#ifndef DM_FAMILIES_IDENTITY_PROPERTIES_H
#define DM_FAMILIES_IDENTITY_PROPERTIES_H

#include <cstdint>

namespace dm::identity {

// The identity card's fields: 1 to 6 in record order, then the seventh at 20.
// 7 to 19 and 23 to 26 hold further identity data the library only copies.
inline constexpr int32_t kNickname = 1;
inline constexpr int32_t kFullName = 2;
inline constexpr int32_t kLocation = 3;
inline constexpr int32_t kEmail = 4;
inline constexpr int32_t kWebsite = 5;
inline constexpr int32_t kPhoneMobile = 6;
inline constexpr int32_t kSkypeId = 20;

// The current one-time-password texts; reading them stands for the user's
// authentication, so the store may refuse it.
inline constexpr int32_t kFirstOneTimePassword = 21;
inline constexpr int32_t kSecondOneTimePassword = 22;

// The one-time-password service's credential ID.
inline constexpr int32_t kCredentialId = 1001;

// The read buffer of the credential ID and the one-time passwords.
inline constexpr int32_t kOneTimePasswordReadCapacity = 512;

}  // namespace dm::identity

#endif  // DM_FAMILIES_IDENTITY_PROPERTIES_H
