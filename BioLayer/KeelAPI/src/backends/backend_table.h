// backend_table.h - the C operations table (sys/KeelBackend.h) over a C++
// backend class.
//
// A backend class has one method per operation, named after it (Begin,
// Commit, Rollback, Create, FindOrCreate, Delete, Publish, Describe, GetProperty,
// SetProperty, Next, FindCard, List, NextProperty, Location, Verify) and
// taking the operation's arguments after `self`, by reference where the
// table passes a pointer to a filing or a filter.  The table owns the
// object: destroy deletes it.  No exception crosses the table: one that
// escapes a method (in practice std::bad_alloc) answers KA_E_STORAGE.
#ifndef KEEL_BACKEND_TABLE_H
#define KEEL_BACKEND_TABLE_H

#include <memory>
#include <new>

#include "KeelAPI.h"
#include "sys/KeelBackend.h"

namespace keel {

template <typename Impl>
class BackendTable {
 public:
  // The table over `impl`, or null when memory runs out.
  static KeelBackend* Wrap(std::unique_ptr<Impl> impl) {
    auto* table = new (std::nothrow) BackendTable();
    if (table == nullptr) return nullptr;
    table->impl_ = impl.release();
    return &table->base_;
  }

 private:
  BackendTable() = default;
  ~BackendTable() { delete impl_; }

  static Impl& Of(KeelBackend* self) { return *reinterpret_cast<BackendTable*>(self)->impl_; }

  template <typename Op>
  static int Guarded(Op&& op) noexcept {
    try {
      return op();
    } catch (...) {
      return KA_E_STORAGE;
    }
  }

  // First member, so that a KeelBackend* is the BackendTable* it came from.
  KeelBackend base_{
      .version = KEEL_BACKEND_VERSION,
      .begin = [](KeelBackend* s) { return Guarded([&] { return Of(s).Begin(); }); },
      .commit = [](KeelBackend* s) { return Guarded([&] { return Of(s).Commit(); }); },
      .rollback = [](KeelBackend* s) { Of(s).Rollback(); },
      .create_object =
          [](KeelBackend* s, const KeelObjectFiling* f, int64_t* id, int64_t* ref) {
            return Guarded([&] { return Of(s).Create(*f, id, ref); });
          },
      .find_or_create =
          [](KeelBackend* s, const KeelObjectFiling* f, int64_t* id, int* created) {
            return Guarded([&] { return Of(s).FindOrCreate(*f, id, created); });
          },
      .delete_object =
          [](KeelBackend* s, int64_t id) { return Guarded([&] { return Of(s).Delete(id); }); },
      .publish_object =
          [](KeelBackend* s, int64_t id) { return Guarded([&] { return Of(s).Publish(id); }); },
      .describe_object =
          [](KeelBackend* s, int64_t id, KeelObjectInfo* info) {
            return Guarded([&] { return Of(s).Describe(id, info); });
          },
      .get_property =
          [](KeelBackend* s, int64_t id, int32_t number, void* buffer, size_t capacity,
             size_t* size, int32_t* attribute) {
            return Guarded(
                [&] { return Of(s).GetProperty(id, number, buffer, capacity, size, attribute); });
          },
      .set_property =
          [](KeelBackend* s, int64_t id, int32_t number, int32_t attribute, const void* value,
             size_t size) {
            return Guarded([&] { return Of(s).SetProperty(id, number, attribute, value, size); });
          },
      .next_object =
          [](KeelBackend* s, const KeelFilter* f, int64_t after, int64_t* id) {
            return Guarded([&] { return Of(s).Next(*f, after, id); });
          },
      .find_card_by_ref =
          [](KeelBackend* s, int64_t ref, int64_t* id) {
            return Guarded([&] { return Of(s).FindCard(ref, id); });
          },
      .list_objects =
          [](KeelBackend* s, KeelObjectKind kind, int64_t* ids, size_t capacity, size_t* count) {
            return Guarded([&] { return Of(s).List(kind, ids, capacity, count); });
          },
      .next_property =
          [](KeelBackend* s, int64_t id, int64_t after, int32_t* number) {
            return Guarded([&] { return Of(s).NextProperty(id, after, number); });
          },
      .location = [](KeelBackend* s) { return Of(s).Location(); },
      .verify =
          [](KeelBackend* s, KeelLineSink sink, void* user) {
            return Guarded([&] { return Of(s).Verify(sink, user); });
          },
      .destroy = [](KeelBackend* s) { delete reinterpret_cast<BackendTable*>(s); },
  };
  Impl* impl_ = nullptr;
};

}  // namespace keel

#endif  // KEEL_BACKEND_TABLE_H
