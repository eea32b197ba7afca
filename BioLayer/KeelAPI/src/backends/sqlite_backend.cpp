// sqlite_backend.cpp - the persistent backend's table.
#include "backends/sqlite_backend.h"

#include "KeelAPI.h"
#include "backends/backend_table.h"
#include "backends/sqlite/store.h"

namespace keel {

int NewSqliteBackend(const std::string& path, KeelBackend** out, std::string* why) {
  try {
    std::unique_ptr<sqlite::Store> store = sqlite::Store::Open(path, why);
    if (!store) return KA_E_STORAGE;
    KeelBackend* backend = BackendTable<sqlite::Store>::Wrap(std::move(store));
    if (backend == nullptr) {
      *why = "out of memory";
      return KA_E_STORAGE;
    }
    *out = backend;
    return KA_OK;
  } catch (...) {  // out of memory, or no random source for reference numbers
    *why = "out of memory, or no random source";
    return KA_E_STORAGE;
  }
}

}  // namespace keel
