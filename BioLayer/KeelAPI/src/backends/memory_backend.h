// memory_backend.h - the store's in-memory backend: everything lives in
// ordered maps for the life of the backend and is gone when it is destroyed.
#ifndef KEEL_MEMORY_BACKEND_H
#define KEEL_MEMORY_BACKEND_H

#include "sys/KeelBackend.h"

namespace keel {

// A new, empty memory backend, or null when memory runs out.
KeelBackend* NewMemoryBackend();

}  // namespace keel

#endif  // KEEL_MEMORY_BACKEND_H
