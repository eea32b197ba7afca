// backend_registry.h - picks a storage backend by name.
#ifndef KEEL_BACKEND_REGISTRY_H
#define KEEL_BACKEND_REGISTRY_H

#include "sys/KeelBackend.h"

namespace keel {

// Opens the backend called `name`: "memory", or null for the default (which
// is the memory backend for now).  KA_OK with *out set; KA_E_BAD_ARGUMENT
// for a name no backend answers to; KA_E_STORAGE when it cannot be opened.
int OpenBackend(const char* name, KeelBackend** out);

}  // namespace keel

#endif  // KEEL_BACKEND_REGISTRY_H
