// Encodings.h - how the encrypted registration text travels in a query:
// Base64, then percent-encoding.
#ifndef DM_REGISTRATION_ENCODINGS_H
#define DM_REGISTRATION_ENCODINGS_H

#include <string>
#include <string_view>

namespace dm::registration {

// Standard Base64 (RFC 4648): the alphabet A-Z a-z 0-9 + /, "=" padding,
// no line breaks.
std::string Base64(std::string_view bytes);

// Keeps ASCII letters and digits, turns a space into "+" and writes every
// other byte as "%" and two upper-case hexadecimal digits.
std::string PercentEncode(std::string_view text);

}  // namespace dm::registration

#endif  // DM_REGISTRATION_ENCODINGS_H
