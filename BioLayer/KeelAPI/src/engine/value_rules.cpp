// value_rules.cpp - argument checks shared by every read and write.
#include "value_rules.h"

namespace keel {

std::optional<size_t> BoundedLength(const char* text, size_t max) {
  if (text == nullptr) return std::nullopt;
  for (size_t n = 0; n < max; ++n) {
    if (text[n] == '\0') return n;
  }
  return std::nullopt;
}

std::optional<size_t> StorableTextLength(const char* text) {
  return BoundedLength(text, kMaxValueBytes);  // length + NUL <= kMaxValueBytes
}

KA_STATUS CheckRead(int32_t capacity, const void* buffer) {
  if (capacity < 0) return KA_E_BAD_ARGUMENT;
  if (buffer == nullptr && capacity > 0) return KA_E_BAD_ARGUMENT;
  return KA_OK;
}

KA_STATUS WriteByteCount(const void* value, int32_t size, size_t* bytes) {
  if (size < -1 || static_cast<int64_t>(size) > static_cast<int64_t>(kMaxValueBytes)) {
    return KA_E_BAD_ARGUMENT;
  }
  if (size == 0) {
    *bytes = 0;
    return KA_OK;
  }
  if (value == nullptr) return KA_E_BAD_ARGUMENT;
  if (size > 0) {
    *bytes = static_cast<size_t>(size);
    return KA_OK;
  }
  const std::optional<size_t> length = StorableTextLength(static_cast<const char*>(value));
  if (!length) return KA_E_BAD_ARGUMENT;
  *bytes = *length + 1;
  return KA_OK;
}

bool IsClientAttribute(int32_t attribute) {
  return attribute == KA_ATTR_SECRET || attribute == KA_ATTR_PLAIN;
}

namespace {

constexpr int32_t kEnrollmentCount = 4;
constexpr int32_t kParentWindow = 103;
constexpr int32_t kAttemptLimit = 104;

}  // namespace

bool IsClientWritable(KeelObjectKind kind, int32_t property) {
  return !(kind == KEEL_CONTEXT && property == kEnrollmentCount);
}

bool IsPerProcess(KeelObjectKind kind, int32_t property) {
  return kind == KEEL_CONTEXT && (property == kParentWindow || property == kAttemptLimit);
}

bool StartsFromStored(int32_t property) { return property == kAttemptLimit; }

}  // namespace keel
