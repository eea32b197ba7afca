// Request.h - the request a registration is sent with: one HTTP GET on
// port 80 whose path carries the encrypted text, Base64- and then
// percent-encoded, as the value of "data".
#ifndef DM_REGISTRATION_REQUEST_H
#define DM_REGISTRATION_REQUEST_H

#include <cstdint>
#include <string>
#include <string_view>

#include "KSTypes.h"
#include "registration/Encodings.h"

namespace dm::registration {

inline constexpr const WCHAR* kAgent = KS_TEXT("Registration");
inline constexpr uint16_t kPort = 80;

inline constexpr char kQueryPath[] = "/gather.aspx?data=";

// The query value of an encrypted registration text.
inline std::string QueryData(std::string_view cipher) { return PercentEncode(Base64(cipher)); }

}  // namespace dm::registration

#endif  // DM_REGISTRATION_REQUEST_H
