// RegistrationText.h - the text a registration sends: the letter "r", then
// identity properties 1 to 26 as the store holds them, each field followed
// by ";".  The one-time passwords (21 and 22) never leave the store this
// way: their fields stay empty, and so does the field of a property that
// cannot be read.
#ifndef DM_REGISTRATION_REGISTRATION_TEXT_H
#define DM_REGISTRATION_REGISTRATION_TEXT_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace dm::registration {

// Each value is read into a zero-filled buffer this large, so a field holds
// at most one byte less.
inline constexpr size_t kFieldReadCapacity = 1024;

// Reads identity property `property` into `buffer` (kFieldReadCapacity
// bytes, zero-filled); what it leaves there up to the first NUL is the
// field.  Its outcome is not looked at.
using PropertyReader = std::function<void(int32_t property, char* buffer)>;

// Builds the text with `read`.
std::string BuildText(const PropertyReader& read);

}  // namespace dm::registration

#endif  // DM_REGISTRATION_REGISTRATION_TEXT_H
