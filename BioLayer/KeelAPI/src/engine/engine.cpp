// engine.cpp - the engine's backend, its handle checks, and the steps that
// every creating or walking store call shares.
#include "engine/engine.h"

#include <cstring>
#include <optional>

#include "backends/backend_registry.h"
#include "engine/walk_modes.h"
#include "platform/store_location.h"

namespace keel {

Engine::Engine() : choice_(DefaultBackend()) {}

KA_STATUS Engine::Reset(const char* backend_name) {
  if (released_) return KA_E_STORAGE;
  const std::optional<BackendChoice> choice =
      ParseBackendName(backend_name != nullptr ? backend_name : "memory");
  if (!choice) return KA_E_BAD_ARGUMENT;
  // The store's own file opens on first need, as at the start of a process;
  // any other backend opens now, so that a failure changes nothing.
  KeelBackend* fresh = nullptr;
  std::string problem;
  const uint64_t earlier_repairs = RepairsMark();
  if (choice->kind != BackendChoice::Kind::kStoreFile) {
    const int status = OpenBackend(*choice, &fresh, &problem);
    if (status != KA_OK) return static_cast<KA_STATUS>(status);
  }
  if (backend_ != nullptr) backend_->destroy(backend_);
  backend_ = fresh;
  choice_ = *choice;
  open_problem_.clear();
  handles_.Clear();
  context_ = Context{};
  auth_policy_ = nullptr;
  auth_user_ = nullptr;
  execute_policy_ = nullptr;
  execute_user_ = nullptr;
  ForgetRepairsBefore(earlier_repairs);  // those were another store's files
  return KA_OK;
}

void Engine::Release() {
  if (backend_ != nullptr) backend_->destroy(backend_);
  backend_ = nullptr;
  released_ = true;
  // Swapped with empty ones: assigning an empty string would keep the
  // memory of the old one.
  std::string().swap(choice_.path);
  std::string().swap(open_problem_);
  std::string().swap(context_.app_name);
  context_ = Context{};
  handles_ = HandleTable();
  auth_policy_ = nullptr;
  auth_user_ = nullptr;
  execute_policy_ = nullptr;
  execute_user_ = nullptr;
}

KeelBackend* Engine::Backend() {
  if (backend_ == nullptr && !released_) {
    std::string problem;
    if (OpenBackend(choice_, &backend_, &problem) != KA_OK) {
      backend_ = nullptr;
      open_problem_.swap(problem);
    } else {
      open_problem_.clear();
    }
  }
  return backend_;
}

KA_STATUS Engine::Subject(const uint32_t* handle, KeelObjectKind kind, int64_t* object) const {
  if (handle == nullptr) return KA_E_BAD_HANDLE;
  if (kind == KEEL_CONTEXT) {
    // No context at all is a missing KA_Init, whatever the caller holds; a
    // context is open but the caller holds another value: a bad handle.
    if (context_.inits == 0) return KA_E_NOT_INITIALIZED;
    if (*handle != context_.handle) return KA_E_BAD_HANDLE;
    *object = context_.object;
    return KA_OK;
  }
  const HandleEntry* entry = handles_.FindOpen(*handle);
  if (entry == nullptr || entry->kind != kind) return KA_E_BAD_HANDLE;
  *object = entry->object;
  return KA_OK;
}

KA_STATUS Engine::WalkStart(const uint32_t* from, KeelObjectKind kind, int64_t* after) const {
  const HandleEntry* entry = handles_.Find(*from);
  if (entry == nullptr || entry->kind != kind) return KA_E_BAD_HANDLE;
  *after = entry->object;
  return KA_OK;
}

KA_STATUS Engine::CommitAndOpen(Transaction& txn, int64_t object, KeelObjectKind kind,
                                uint32_t* out, bool publishes) {
  handles_.Reserve();  // before the commit: it may throw
  if (const KA_STATUS status = txn.Commit(); status != KA_OK) return status;
  *out = handles_.Open(object, kind, publishes);
  return KA_OK;
}

KA_STATUS Engine::WalkByMode(const KeelFilter& filter, int16_t mode, uint32_t* out) {
  int64_t after = 0;
  if (mode == kWalkNext) {
    if (const KA_STATUS s = WalkStart(out, filter.kind, &after); s != KA_OK) return s;
  } else if (mode != kWalkFirst) {
    return KA_E_BAD_ARGUMENT;
  }
  return Walk(filter, after, out);
}

KA_STATUS Engine::FileAndOpen(const KeelObjectFiling& filing, Filing how, uint32_t* out) {
  Transaction txn(Backend());
  if (txn.status() != KA_OK) return txn.status();
  int64_t object = 0;
  const KA_STATUS status =
      how == Filing::kNew ? CreateObject(filing, &object) : FindOrCreate(filing, &object);
  if (status != KA_OK) return status;
  return CommitAndOpen(txn, object, filing.kind, out, filing.pending != 0);
}

KA_STATUS Engine::Walk(const KeelFilter& filter, int64_t after, uint32_t* out) {
  Transaction txn(Backend());
  if (txn.status() != KA_OK) return txn.status();
  int64_t next = 0;
  const int status = backend_->next_object(backend_, &filter, after, &next);
  if (status != KA_OK) return static_cast<KA_STATUS>(status);
  return CommitAndOpen(txn, next, filter.kind, out);
}

KA_STATUS Engine::CreateObject(const KeelObjectFiling& filing, int64_t* id) {
  int64_t created = 0;
  const int status = backend_->create_object(backend_, &filing, &created, nullptr);
  if (status != KA_OK) return static_cast<KA_STATUS>(status);
  if (filing.kind == KEEL_CARD) {
    if (const KA_STATUS named = StoreName(created, filing.domain); named != KA_OK) return named;
  }
  *id = created;
  return KA_OK;
}

KA_STATUS Engine::FindOrCreate(const KeelObjectFiling& filing, int64_t* id) {
  int64_t found = 0;
  int created = 0;
  const int status = backend_->find_or_create(backend_, &filing, &found, &created);
  if (status != KA_OK) return static_cast<KA_STATUS>(status);
  if (created != 0 && filing.kind == KEEL_APP) {
    if (const KA_STATUS named = StoreName(found, filing.name); named != KA_OK) return named;
  }
  *id = found;
  return KA_OK;
}

KA_STATUS Engine::StoreName(int64_t object, const char* text) {
  return static_cast<KA_STATUS>(
      backend_->set_property(backend_, object, 1, KA_ATTR_PLAIN, text, std::strlen(text) + 1));
}

}  // namespace keel
