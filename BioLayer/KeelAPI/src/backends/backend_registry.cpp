// backend_registry.cpp - the names the store's backends answer to.
#include "backend_registry.h"

#include <cstring>

#include "memory_backend.h"

namespace keel {

int OpenBackend(const char* name, KeelBackend** out) {
  if (name != nullptr && std::strcmp(name, "memory") != 0) return KA_E_BAD_ARGUMENT;
  KeelBackend* backend = NewMemoryBackend();
  if (backend == nullptr) return KA_E_STORAGE;
  *out = backend;
  return KA_OK;
}

}  // namespace keel
