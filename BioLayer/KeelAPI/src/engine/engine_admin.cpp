// engine_admin.cpp - the administration interface: the store's file, its
// counts, its check, its export and the identity's texts.  None of it hands
// out a secret value.
#include "engine/engine.h"
#include "engine/export_json.h"
#include "engine/value_rules.h"
#ifdef KEELAPI_WITH_SQLITE
#include "platform/store_location.h"
#endif

namespace keel {

std::string Engine::StoreFile() const {
  if (backend_ != nullptr) return backend_->location(backend_);
  return released_ ? "" : FileOfChoice(choice_);
}

KA_STATUS Engine::CountObjects(KeelObjectKind kind, int64_t* count) {
  Transaction txn(Backend());
  if (txn.status() != KA_OK) return txn.status();
  size_t n = 0;
  const int status = backend_->list_objects(backend_, kind, nullptr, 0, &n);
  if (status != KA_OK) return static_cast<KA_STATUS>(status);
  if (const KA_STATUS s = txn.Commit(); s != KA_OK) return s;
  *count = static_cast<int64_t>(n);
  return KA_OK;
}

KA_STATUS Engine::Check(KeelAdminSink sink, void* user) {
  KeelBackend* backend = Backend();
  KA_STATUS status = KA_E_STORAGE;
  if (backend == nullptr) {
    const std::string line =
        "cannot open the store: " + (released_ ? std::string("unloaded") : open_problem_);
    sink(user, line.c_str());
  } else {
    status = static_cast<KA_STATUS>(backend->verify(backend, sink, user));
  }
#ifdef KEELAPI_WITH_SQLITE
  // After the backend's own check, which may have read the key file.
  for (const std::string& repair : Repairs()) {
    sink(user, (KEEL_CHECK_REPAIRED + repair).c_str());
  }
#endif
  return status;
}

KA_STATUS Engine::Export(KeelAdminSink sink, void* user) {
  // One transaction: the document shows the store at one moment.
  Transaction txn(Backend());
  if (txn.status() != KA_OK) return txn.status();
  const KA_STATUS status = ExportStore(backend_, sink, user);
  if (status != KA_OK) return status;
  return txn.Commit();
}

KA_STATUS Engine::IdentityText(int32_t property, char* buffer, int32_t capacity, int32_t* size) {
  if (const KA_STATUS s = CheckRead(capacity, buffer); s != KA_OK) return s;
  Transaction txn(Backend());
  if (txn.status() != KA_OK) return txn.status();
  int64_t identity = 0;
  size_t count = 0;
  int status = backend_->list_objects(backend_, KEEL_IDENTITY, &identity, 1, &count);
  if (status != KA_OK) return static_cast<KA_STATUS>(status);
  if (count == 0) return KA_E_NOT_STORED;  // no identity yet: nothing is made for a look
  size_t stored = 0;
  int32_t attribute = 0;
  status = backend_->get_property(backend_, identity, property, nullptr, 0, &stored, &attribute);
  if (status != KA_OK) return static_cast<KA_STATUS>(status);
  if (attribute == KA_ATTR_SECRET) return KA_E_AUTH_REFUSED;  // never, whatever the policy
  if (const KA_STATUS s = Authenticate(identity, property); s != KA_OK) return s;
  if (stored >= static_cast<size_t>(INT32_MAX)) return KA_E_STORAGE;
  if (buffer != nullptr) {
    if (stored > static_cast<size_t>(capacity)) {
      *size = static_cast<int32_t>(stored);
      return KA_E_BUFFER_TOO_SMALL;
    }
    status = backend_->get_property(backend_, identity, property, buffer,
                                    static_cast<size_t>(capacity), &stored, nullptr);
    if (status != KA_OK) return static_cast<KA_STATUS>(status);
  }
  if (const KA_STATUS s = txn.Commit(); s != KA_OK) return s;
  *size = static_cast<int32_t>(stored);
  return KA_OK;
}

}  // namespace keel
