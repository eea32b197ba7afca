// engine_dev.cpp - the development interface: seeding objects and reading
// the store without handles.
#include <optional>

#include "engine/engine.h"
#include "engine/value_rules.h"
#include "engine/walk_modes.h"

namespace keel {
namespace {

bool IsKind(KeelObjectKind kind) { return kind >= KEEL_CONTEXT && kind <= KEEL_SHORTCUT; }

}  // namespace

int64_t Engine::SeedChild(KeelObjectKind parent_kind, KeelObjectFiling filing) {
  Transaction txn(Backend());
  if (txn.status() != KA_OK) return txn.status();
  KeelObjectFiling parent{};
  parent.kind = parent_kind;
  if (const KA_STATUS s = FindOrCreate(parent, &filing.parent); s != KA_OK) return s;
  int64_t child = 0;
  if (const KA_STATUS s = CreateObject(filing, &child); s != KA_OK) return s;
  if (const KA_STATUS s = txn.Commit(); s != KA_OK) return s;
  return child;
}

int64_t Engine::SeedCard(const char* domain, int32_t category) {
  if (!StorableTextLength(domain)) return KA_E_BAD_ARGUMENT;
  KeelObjectFiling filing{};
  filing.kind = KEEL_CARD;
  filing.domain = domain;
  filing.category = category;
  return SeedChild(KEEL_IDENTITY, filing);
}

int64_t Engine::SeedMacro(uint32_t finger) {
  KeelObjectFiling filing{};
  filing.kind = KEEL_MACRO;
  filing.finger = finger;
  return SeedChild(KEEL_IDENTITY, filing);
}

int64_t Engine::SeedShortcut() {
  KeelObjectFiling filing{};
  filing.kind = KEEL_SHORTCUT;
  filing.region = kShortcutRegion;
  return SeedChild(KEEL_CONTEXT, filing);
}

int64_t Engine::SingletonObject(KeelObjectKind kind, const char* app_name) {
  KeelObjectFiling filing{};
  filing.kind = kind;
  if (kind == KEEL_APP) {
    const std::optional<size_t> length = StorableTextLength(app_name);
    if (!length || *length == 0) return KA_E_BAD_ARGUMENT;
    filing.name = app_name;
  }
  Transaction txn(Backend());
  if (txn.status() != KA_OK) return txn.status();
  int64_t object = 0;
  if (const KA_STATUS s = FindOrCreate(filing, &object); s != KA_OK) return s;
  if (const KA_STATUS s = txn.Commit(); s != KA_OK) return s;
  return object;
}

KA_STATUS Engine::GetObjectProperty(int64_t object, int32_t property, void* buffer,
                                    int32_t capacity, int32_t* size, int32_t* attribute) {
  if (const KA_STATUS s = CheckRead(capacity, buffer); s != KA_OK) return s;
  Transaction txn(Backend());
  if (txn.status() != KA_OK) return txn.status();
  size_t stored = 0;
  int32_t stored_attribute = 0;
  const int status =
      backend_->get_property(backend_, object, property, buffer, static_cast<size_t>(capacity),
                             &stored, &stored_attribute);
  if (status != KA_OK) return static_cast<KA_STATUS>(status);
  if (const KA_STATUS s = txn.Commit(); s != KA_OK) return s;
  if (size != nullptr) *size = static_cast<int32_t>(stored);
  if (attribute != nullptr) *attribute = stored_attribute;
  if (buffer != nullptr && stored > static_cast<size_t>(capacity)) return KA_E_BUFFER_TOO_SMALL;
  return KA_OK;
}

size_t Engine::ListObjects(KeelObjectKind kind, int64_t* ids, size_t capacity) {
  if (!IsKind(kind)) return 0;
  Transaction txn(Backend());
  if (txn.status() != KA_OK) return 0;
  size_t count = 0;
  if (backend_->list_objects(backend_, kind, ids, ids == nullptr ? 0 : capacity, &count) != KA_OK) {
    return 0;
  }
  txn.Commit();
  return count;
}

int64_t Engine::ObjectOfHandle(uint32_t handle) const {
  const HandleEntry* entry = handles_.Find(handle);
  return entry == nullptr ? KA_E_BAD_HANDLE : entry->object;
}

int64_t Engine::CardRefNum(int64_t card) {
  Transaction txn(Backend());
  if (txn.status() != KA_OK) return txn.status();
  KeelObjectInfo info{};
  const int status = backend_->describe_object(backend_, card, &info);
  if (status != KA_OK) return status;
  if (info.kind != KEEL_CARD) return KA_E_END;
  txn.Commit();
  return info.ref_num;
}

}  // namespace keel
