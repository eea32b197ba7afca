// backend_registry.h - the names the store's backends answer to, and which
// one the store uses when no test chose.
#ifndef KEEL_BACKEND_REGISTRY_H
#define KEEL_BACKEND_REGISTRY_H

#include <optional>
#include <string>

#include "sys/KeelBackend.h"

namespace keel {

struct BackendChoice {
  enum class Kind {
    kMemory,     // "memory": a new, empty store in memory
    kStoreFile,  // "sqlite": the store's own database (DefaultStorePath)
    kFile,       // "sqlite:<path>": the database at path
  };
  Kind kind = Kind::kMemory;
  std::string path;  // kFile
};

// Parses a backend name: "memory", "sqlite" or "sqlite:<path>" with a
// non-empty path.  Nothing for any other name, and for the SQLite names in a
// build without the SQLite backend.
std::optional<BackendChoice> ParseBackendName(const char* name);

// The store's backend when no test chose one: its own database when the
// build has the SQLite backend, else memory.
BackendChoice DefaultBackend();

// Opens the backend of `choice` (for kStoreFile, the database file is found
// now).  KA_OK with *out set; KA_E_STORAGE with *why when it cannot be
// opened.
int OpenBackend(const BackendChoice& choice, KeelBackend** out, std::string* why);

// The database file of `choice` without opening it: "" for memory, or for
// the store's own file when no home folder is known.
std::string FileOfChoice(const BackendChoice& choice);

}  // namespace keel

#endif  // KEEL_BACKEND_REGISTRY_H
