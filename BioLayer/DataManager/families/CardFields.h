// CardFields.h - store properties into record fields and back.
//
// A text property is read in two calls: its size first (capacity 0, no
// buffer), then, when the size is above 0, its value into a zeroed buffer
// (4096 bytes unless a caller says otherwise).  The UTF-8 value is decoded
// strictly and placed in a fixed-width UTF-16 field whole or not at all: a
// value that is not valid UTF-8, or that would not fit with its terminator,
// reads as the empty text, so a caller never gets a cut password, user name
// or domain that the store does not hold.  A text is written as UTF-8 with
// its terminator, size -1.
#ifndef DM_FAMILIES_CARD_FIELDS_H
#define DM_FAMILIES_CARD_FIELDS_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "KSTypes.h"
#include "KeelAPI.h"
#include "KeelAPIUtils.h"
#include "ks/wipe.h"
#include "families/TargetText.h"
#include "platform/Env.h"
#include "text/Fields.h"

namespace dm::cards {

// Card properties (their meaning is the profile record's).
inline constexpr int32_t kDomainProperty = 1;
inline constexpr int32_t kUserNameProperty = 103;
inline constexpr int32_t kPasswordProperty = 104;
inline constexpr int32_t kText105Property = 105;
inline constexpr int32_t kOtpModeProperty = 1003;
inline constexpr int32_t kSoFlagProperty = 1999;
inline constexpr int32_t kText3101Property = 3101;

// The usual read buffer, and the domain's smaller one.
inline constexpr int32_t kTextReadCapacity = 4096;
inline constexpr int32_t kDomainReadCapacity = 512;

// What a two-call text read found.
struct TextRead {
  KA_STATUS status = 0;  // the size query's status, then the read's
  bool stored = false;   // the size query succeeded with a size above 0
};

// The two-call read through `get(capacity, buffer, size)`, which makes one
// store call through a KeelAPIUtils wrapper (the wrapper logs a refusal).
// The field changes only when the value was read: a failed call or a size of
// 0 leaves it as it was.  A null field reads and discards the value.
// `capacity` is at most kTextReadCapacity.
template <typename Get>
TextRead ReadStoreText(Get&& get, WCHAR* field, size_t width,
                       int32_t capacity = kTextReadCapacity) {
  TextRead read;
  uint32_t size = 0;
  read.status = get(0, nullptr, &size);
  if (read.status < 0 || size == 0) return read;
  read.stored = true;
  // Only the bytes of the value are cleared (and then read): the store
  // writes the whole value or nothing, so what follows it is never looked
  // at, and a large buffer costs no more than a small one.
  char buffer[kTextReadCapacity];
  const size_t cap = static_cast<size_t>(capacity);
  std::memset(buffer, 0, std::min<size_t>(size, cap));
  read.status = get(capacity, buffer, &size);
  const size_t held = std::min<size_t>(size, cap);
  if (read.status >= 0) text::StoreTextToField(buffer, held, field, width);
  ks::Wipe(buffer, held);  // it may have held a password
  return read;
}

// The object wrappers' property getters (cards, macros, shortcuts), which
// take the object's handle variable.
using ObjectGetter = KA_STATUS (KeelAPIUtils::*)(uint32_t*, int32_t, int32_t, void*, uint32_t*);

// ReadStoreText on a property of the object in *object.  A null field reads
// and discards the value: only the statuses count.
TextRead ReadObjectText(ObjectGetter get, uint32_t* object, int32_t property, WCHAR* field,
                        size_t width, int32_t capacity = kTextReadCapacity);

// Whether the object holds the property with a size above 0 (the size query
// alone; a refusal is logged by the wrapper and answers false).
bool ObjectHasText(ObjectGetter get, uint32_t* object, int32_t property);

// The object's target text (a quick launch's or a shortcut's) read into the
// working buffer `text` and classified; the value views into `text`.  A
// text the store cannot give, that is not UTF-8 or that would not fit a
// record's field names no target.
target::Target ReadTarget(ObjectGetter get, uint32_t* object, int32_t property,
                          WCHAR (&text)[target::kMaxTargetText + 1]);

// ReadObjectText on a card property.
inline TextRead ReadCardText(uint32_t* card, int32_t property, WCHAR* field, size_t width,
                             int32_t capacity = kTextReadCapacity) {
  return ReadObjectText(&KeelAPIUtils::GetCardProperty, card, property, field, width, capacity);
}
template <size_t Width>
TextRead ReadCardText(uint32_t* card, int32_t property, WCHAR (&field)[Width]) {
  return ReadCardText(card, property, field, Width);
}
inline bool CardHasText(uint32_t* card, int32_t property) {
  return ObjectHasText(&KeelAPIUtils::GetCardProperty, card, property);
}

// ReadStoreText on an identity property.  A null field reads and discards
// the value: only the statuses count.
TextRead ReadIdentityText(int32_t property, WCHAR* field, size_t width,
                          int32_t capacity = kTextReadCapacity);

// Writes `text` to a card property as NUL-terminated UTF-8 (size -1) with
// `attribute` (KA_ATTR_SECRET for the password, KA_ATTR_PLAIN otherwise).
// Answers the store's status; KeelAPIUtils::SetCardProperty logs a refusal.
KA_STATUS WriteCardText(uint32_t* card, int32_t attribute, int32_t property, WStringView text);

// Writes one byte (size 1, KA_ATTR_PLAIN).  Answers the store's status.
KA_STATUS WriteCardByte(uint32_t* card, int32_t property, uint8_t value);

}  // namespace dm::cards

#endif  // DM_FAMILIES_CARD_FIELDS_H
