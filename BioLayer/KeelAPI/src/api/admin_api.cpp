// admin_api.cpp - the exported administration interface (KeelAPIAdmin.h).
// Each function takes the store's lock for its whole run; none is traced or
// seen by the interceptor.
#include <cstring>
#include <string>

#include "KeelAPIAdmin.h"
#include "engine/call_gate.h"

using keel::Locked;
using keel::Retried;
using keel::StoreState;

namespace {

bool IsKind(int kind) { return kind >= KEEL_CONTEXT && kind <= KEEL_SHORTCUT; }

}  // namespace

extern "C" {

KA_STATUS KeelAdmin_StoreFile(char* buffer, int32_t capacity, int32_t* size) {
  if (size == nullptr || capacity < 0 || (buffer == nullptr && capacity > 0)) {
    return KA_E_BAD_ARGUMENT;
  }
  return Locked(static_cast<KA_STATUS>(KA_E_STORAGE), [&](StoreState& s) -> KA_STATUS {
    const std::string file = s.engine.StoreFile();
    if (file.size() >= static_cast<size_t>(INT32_MAX)) return KA_E_STORAGE;
    const auto needed = static_cast<int32_t>(file.size() + 1);
    *size = needed;
    if (buffer == nullptr) return KA_OK;
    if (capacity < needed) return KA_E_BUFFER_TOO_SMALL;
    std::memcpy(buffer, file.c_str(), file.size() + 1);
    return KA_OK;
  });
}

KA_STATUS KeelAdmin_CountObjects(KeelObjectKind kind, int64_t* count) {
  int raw = 0;
  std::memcpy(&raw, &kind, sizeof raw);  // any int may come through a C enum
  if (count == nullptr || !IsKind(raw)) return KA_E_BAD_ARGUMENT;
  return Retried(static_cast<KA_STATUS>(KA_E_STORAGE),
                 [&](StoreState& s) { return s.engine.CountObjects(kind, count); });
}

KA_STATUS KeelAdmin_Check(KeelAdminSink sink, void* user) {
  if (sink == nullptr) return KA_E_BAD_ARGUMENT;
  return Locked(static_cast<KA_STATUS>(KA_E_STORAGE),
                [&](StoreState& s) { return s.engine.Check(sink, user); });
}

KA_STATUS KeelAdmin_Export(int32_t flags, KeelAdminSink sink, void* user) {
  // No flag asks for secrets: there is no way to have them exported.
  if (sink == nullptr || flags != 0) return KA_E_BAD_ARGUMENT;
  // Not tried again when busy: the sink may have had part of the document.
  const KA_STATUS status = Locked(static_cast<KA_STATUS>(KA_E_STORAGE), [&](StoreState& s) {
    return s.engine.Export(sink, user);
  });
  return status == KEEL_BACKEND_BUSY ? static_cast<KA_STATUS>(KA_E_STORAGE) : status;
}

KA_STATUS KeelAdmin_GetIdentityText(int32_t property, char* buffer, int32_t capacity,
                                    int32_t* size) {
  if (size == nullptr) return KA_E_BAD_ARGUMENT;
  return Retried(static_cast<KA_STATUS>(KA_E_STORAGE), [&](StoreState& s) {
    return s.engine.IdentityText(property, buffer, capacity, size);
  });
}

}  // extern "C"
