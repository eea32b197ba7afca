// engine_admin.cpp - the administration interface: the store's file, its
// counts, its check and its export.
#include "engine/engine.h"
#include "engine/export_json.h"

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
  if (backend == nullptr) {
    const std::string line =
        "cannot open the store: " + (released_ ? std::string("unloaded") : open_problem_);
    sink(user, line.c_str());
    return KA_E_STORAGE;
  }
  return static_cast<KA_STATUS>(backend->verify(backend, sink, user));
}

KA_STATUS Engine::Export(int32_t flags, KeelAdminSink sink, void* user) {
  // One transaction: the document shows the store at one moment.
  Transaction txn(Backend());
  if (txn.status() != KA_OK) return txn.status();
  const KA_STATUS status = ExportStore(backend_, (flags & KEEL_EXPORT_SECRETS) != 0, sink, user);
  if (status != KA_OK) return status;
  return txn.Commit();
}

}  // namespace keel
