// backend_registry.cpp - the names the store's backends answer to.
#include "backends/backend_registry.h"

#include <string_view>

#include "KeelAPI.h"
#include "backends/memory_backend.h"
#ifdef KEELAPI_WITH_SQLITE
#include "backends/sqlite_backend.h"
#include "platform/store_location.h"
#endif

namespace keel {
namespace {

constexpr std::string_view kFilePrefix = "sqlite:";

}  // namespace

std::optional<BackendChoice> ParseBackendName(const char* name) {
  if (name == nullptr) return std::nullopt;
  const std::string_view text = name;
  if (text == "memory") return BackendChoice{};
#ifdef KEELAPI_WITH_SQLITE
  if (text == "sqlite") return BackendChoice{BackendChoice::Kind::kStoreFile, {}};
  if (text.size() > kFilePrefix.size() && text.substr(0, kFilePrefix.size()) == kFilePrefix) {
    return BackendChoice{BackendChoice::Kind::kFile, std::string(text.substr(kFilePrefix.size()))};
  }
#endif
  return std::nullopt;
}

BackendChoice DefaultBackend() {
#ifdef KEELAPI_WITH_SQLITE
  return BackendChoice{BackendChoice::Kind::kStoreFile, {}};
#else
  return BackendChoice{};
#endif
}

int OpenBackend(const BackendChoice& choice, KeelBackend** out, std::string* why) {
  if (choice.kind == BackendChoice::Kind::kMemory) {
    KeelBackend* backend = NewMemoryBackend();
    if (backend == nullptr) {
      *why = "out of memory";
      return KA_E_STORAGE;
    }
    *out = backend;
    return KA_OK;
  }
#ifdef KEELAPI_WITH_SQLITE
  std::string path = choice.path;
  if (choice.kind == BackendChoice::Kind::kStoreFile) {
    const std::optional<std::string> found = DefaultStorePath(why);
    if (!found) return KA_E_STORAGE;
    path = *found;
  }
  return NewSqliteBackend(path, out, why);
#else
  *why = "this build has no persistent backend";
  return KA_E_STORAGE;
#endif
}

std::string FileOfChoice(const BackendChoice& choice) {
  switch (choice.kind) {
    case BackendChoice::Kind::kMemory:
      return "";
    case BackendChoice::Kind::kFile:
      return choice.path;
    case BackendChoice::Kind::kStoreFile:
      break;
  }
#ifdef KEELAPI_WITH_SQLITE
  std::string ignored;
  return DefaultStorePath(&ignored).value_or("");
#else
  return "";
#endif
}

}  // namespace keel
