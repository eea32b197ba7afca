// The registration text (see RegistrationText.h).
#include "registration/RegistrationText.h"

#include "families/IdentityProperties.h"
#include "ks/utf.h"

namespace dm::registration {
namespace {

constexpr char kFirstField[] = "r";
constexpr char kSeparator = ';';
constexpr int32_t kFirstProperty = 1;
constexpr int32_t kLastProperty = 26;

}  // namespace

std::string BuildText(const PropertyReader& read) {
  std::string text = kFirstField;
  text += kSeparator;
  for (int32_t property = kFirstProperty; property <= kLastProperty; ++property) {
    char value[kFieldReadCapacity] = {};
    if (property != identity::kFirstOneTimePassword &&
        property != identity::kSecondOneTimePassword) {
      read(property, value);
    }
    text += ks::text::BufferText(value, sizeof value - 1);
    text += kSeparator;
  }
  return text;
}

}  // namespace dm::registration
