// value_rules.h - what the store accepts as a property value, a read's
// buffer, an attribute and a text argument.
#ifndef KEEL_ENGINE_VALUE_RULES_H
#define KEEL_ENGINE_VALUE_RULES_H

#include <cstddef>
#include <cstdint>
#include <optional>

#include "KeelAPI.h"
#include "KeelAPITest.h"

namespace keel {

// The largest value a property holds, in bytes.  Text arguments that the
// store keeps as a property (domain, application name) obey it too.
constexpr size_t kMaxValueBytes = size_t{1} << 20;

// The length of a NUL-terminated text, reading at most `max` bytes: nothing
// when `text` is null or has no NUL among its first `max` bytes.
std::optional<size_t> BoundedLength(const char* text, size_t max);

// A text argument that the store keeps with its NUL: the length (without
// the NUL), or nothing when null or too long to be stored.
std::optional<size_t> StorableTextLength(const char* text);

// Checks the caller's side of a read: KA_OK, or KA_E_BAD_ARGUMENT for a
// negative capacity or a null buffer with a positive capacity.
KA_STATUS CheckRead(int32_t capacity, const void* buffer);

// The byte count a write stores: size -1 is a NUL-terminated text counted
// with its NUL, 0 an empty value (value may then be null), else `size`
// bytes.  KA_OK with *bytes set, or KA_E_BAD_ARGUMENT for a size below -1 or
// above kMaxValueBytes, a text longer than that, or a null value with a
// nonzero size.
KA_STATUS WriteByteCount(const void* value, int32_t size, size_t* bytes);

// Card and identity writes carry KA_ATTR_SECRET or KA_ATTR_PLAIN.
bool IsClientAttribute(int32_t attribute);

// Whether the store's clients may write `property` of an object of `kind`.
// The context's enrolled-finger count (4) is the sensor's answer, read-only
// to clients; only the development interface sets it.
bool IsClientWritable(KeelObjectKind kind, int32_t property);

// Whether the store's clients read and write `property` of an object of
// `kind` per process: the value lives with the open context, in memory, and
// no other process, nor a later context, ever sees it.  These are the
// context's parent window handle (103), which means nothing in another
// process, and its biometric attempt limit (104), which a client lowers for
// a moment around a write: kept in the store, a crash or another process
// could leave it lowered for good.
bool IsPerProcess(KeelObjectKind kind, int32_t property);

// Of those, the ones a context reads from the store until it writes its own
// value: the attempt limit, whose stored value is the store-wide default
// (which clients cannot change).  The parent window starts not stored.
bool StartsFromStored(int32_t property);

}  // namespace keel

#endif  // KEEL_ENGINE_VALUE_RULES_H
