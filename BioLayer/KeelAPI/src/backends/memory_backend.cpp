// memory_backend.cpp - the in-memory backend.
//
// Objects live in a map ordered by id.  Every way a walk can filter (kind,
// category, category + domain, domain, finger, region) and every way an
// object is looked up (App by name, card by reference number) is an index
// key naming the ordered set of ids filed under it, so a walk step is one
// map lookup plus one upper_bound: O(log n), never a rescan.
//
// Transactions keep an undo journal: each change first records how to undo
// itself, and rollback replays the journal backwards.
#include "memory_backend.h"

#include "backends/backend_table.h"

#include <compare>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace keel {
namespace {

// Lookups that are not walk filters share the index with them.
constexpr int32_t kByAppName = 100;
constexpr int32_t kByRefNum = 101;

struct Property {
  int32_t attribute = 0;
  std::string bytes;
};

struct Object {
  KeelObjectInfo info{};
  std::string domain;  // card
  std::string region;  // shortcut
  std::string name;    // App
  std::map<int32_t, Property> properties;
};

struct IndexKey {
  int32_t kind = 0;
  int32_t by = 0;
  int64_t number = 0;
  std::string text;
  auto operator<=>(const IndexKey&) const = default;
};

// Every key an object is filed under.
std::vector<IndexKey> KeysOf(const Object& o) {
  const int32_t kind = o.info.kind;
  std::vector<IndexKey> keys{{kind, KEEL_BY_KIND, 0, {}}};
  switch (o.info.kind) {
    case KEEL_CARD:
      keys.push_back({kind, KEEL_BY_CATEGORY, o.info.category, {}});
      keys.push_back({kind, KEEL_BY_CATEGORY_DOMAIN, o.info.category, o.domain});
      keys.push_back({kind, KEEL_BY_DOMAIN, 0, o.domain});
      keys.push_back({kind, kByRefNum, o.info.ref_num, {}});
      break;
    case KEEL_MACRO:
      keys.push_back({kind, KEEL_BY_FINGER, o.info.finger, {}});
      break;
    case KEEL_SHORTCUT:
      keys.push_back({kind, KEEL_BY_REGION, 0, o.region});
      break;
    case KEEL_APP:
      keys.push_back({kind, kByAppName, 0, o.name});
      break;
    default:
      break;
  }
  return keys;
}

// The index key a walk filter reads, or nothing for a malformed filter.
std::optional<IndexKey> KeyOfFilter(const KeelFilter& f) {
  const int32_t kind = f.kind;
  switch (f.by) {
    case KEEL_BY_KIND:
      return IndexKey{kind, KEEL_BY_KIND, 0, {}};
    case KEEL_BY_CATEGORY:
      return IndexKey{kind, KEEL_BY_CATEGORY, f.category, {}};
    case KEEL_BY_CATEGORY_DOMAIN:
      if (f.domain == nullptr) return std::nullopt;
      return IndexKey{kind, KEEL_BY_CATEGORY_DOMAIN, f.category, f.domain};
    case KEEL_BY_DOMAIN:
      if (f.domain == nullptr) return std::nullopt;
      return IndexKey{kind, KEEL_BY_DOMAIN, 0, f.domain};
    case KEEL_BY_FINGER:
      return IndexKey{kind, KEEL_BY_FINGER, f.finger, {}};
    case KEEL_BY_REGION:
      if (f.region == nullptr) return std::nullopt;
      return IndexKey{kind, KEEL_BY_REGION, 0, f.region};
  }
  return std::nullopt;
}

// One step of the undo journal.
struct Undo {
  enum Action { kUncreate, kRestoreObject, kRestoreProperty } action;
  int64_t id = 0;
  std::optional<Object> object;      // kRestoreObject
  int32_t number = 0;                // kRestoreProperty
  std::optional<Property> property;  // kRestoreProperty: none = was absent
};

class MemoryStore {
 public:
  MemoryStore() {
    std::random_device seed;
    refs_.seed((static_cast<uint64_t>(seed()) << 32) ^ seed());
  }

  int Begin() {
    if (in_transaction_) return KA_E_STORAGE;
    journal_.clear();
    in_transaction_ = true;
    return KA_OK;
  }

  int Commit() {
    journal_.clear();
    in_transaction_ = false;
    return KA_OK;
  }

  void Rollback() {
    for (auto it = journal_.rbegin(); it != journal_.rend(); ++it) Apply(*it);
    journal_.clear();
    in_transaction_ = false;
  }

  int Create(const KeelObjectFiling& filing, int64_t* id, int64_t* ref_num) {
    Object o;
    o.info.kind = filing.kind;
    o.info.parent = filing.parent;
    switch (filing.kind) {
      case KEEL_CARD:
        if (filing.domain == nullptr) return KA_E_BAD_ARGUMENT;
        o.domain = filing.domain;
        o.info.category = filing.category;
        o.info.ref_num = NewRefNum();
        break;
      case KEEL_MACRO:
        o.info.finger = filing.finger;
        break;
      case KEEL_SHORTCUT:
        if (filing.region == nullptr) return KA_E_BAD_ARGUMENT;
        o.region = filing.region;
        break;
      case KEEL_APP:
        if (filing.name == nullptr) return KA_E_BAD_ARGUMENT;
        o.name = filing.name;
        break;
      case KEEL_CONTEXT:
      case KEEL_IDENTITY:
        break;
      default:
        return KA_E_BAD_ARGUMENT;
    }
    const int64_t new_id = next_id_++;
    const int64_t new_ref = o.info.ref_num;
    Record(Undo{Undo::kUncreate, new_id});
    Insert(new_id, std::move(o));
    *id = new_id;
    if (ref_num != nullptr) *ref_num = new_ref;
    return KA_OK;
  }

  int FindOrCreate(const KeelObjectFiling& filing, int64_t* id, int* created) {
    IndexKey key;
    if (filing.kind == KEEL_CONTEXT || filing.kind == KEEL_IDENTITY) {
      key = {filing.kind, KEEL_BY_KIND, 0, {}};
    } else if (filing.kind == KEEL_APP && filing.name != nullptr) {
      key = {filing.kind, kByAppName, 0, filing.name};
    } else {
      return KA_E_BAD_ARGUMENT;
    }
    if (const int64_t found = First(key, 0); found != 0) {
      *id = found;
      if (created != nullptr) *created = 0;
      return KA_OK;
    }
    const int status = Create(filing, id, nullptr);
    if (status == KA_OK && created != nullptr) *created = 1;
    return status;
  }

  int Delete(int64_t id) {
    auto it = objects_.find(id);
    if (it == objects_.end()) return KA_E_END;
    Record(Undo{Undo::kRestoreObject, id, it->second});
    Remove(id);
    return KA_OK;
  }

  // One process, one user: a pending object is seen like any other, so
  // publishing has nothing to change.
  int Publish(int64_t id) const { return objects_.count(id) != 0 ? KA_OK : KA_E_END; }

  int Describe(int64_t id, KeelObjectInfo* info) const {
    auto it = objects_.find(id);
    if (it == objects_.end()) return KA_E_END;
    *info = it->second.info;
    return KA_OK;
  }

  int GetProperty(int64_t id, int32_t number, void* buffer, size_t capacity, size_t* size,
                  int32_t* attribute) const {
    auto it = objects_.find(id);
    if (it == objects_.end()) return KA_E_END;
    auto prop = it->second.properties.find(number);
    if (prop == it->second.properties.end()) return KA_E_NOT_STORED;
    const std::string& bytes = prop->second.bytes;
    if (buffer != nullptr && capacity >= bytes.size() && !bytes.empty()) {
      std::memcpy(buffer, bytes.data(), bytes.size());
    }
    *size = bytes.size();
    if (attribute != nullptr) *attribute = prop->second.attribute;
    return KA_OK;
  }

  int SetProperty(int64_t id, int32_t number, int32_t attribute, const void* value, size_t size) {
    auto it = objects_.find(id);
    if (it == objects_.end()) return KA_E_END;
    Property fresh{attribute,
                   size == 0 ? std::string() : std::string(static_cast<const char*>(value), size)};
    auto& properties = it->second.properties;
    auto old = properties.find(number);
    Undo undo{Undo::kRestoreProperty, id};
    undo.number = number;
    if (old != properties.end()) undo.property = old->second;
    Record(std::move(undo));
    properties[number] = std::move(fresh);
    return KA_OK;
  }

  int Next(const KeelFilter& filter, int64_t after, int64_t* id) const {
    const std::optional<IndexKey> key = KeyOfFilter(filter);
    if (!key) return KA_E_BAD_ARGUMENT;
    const int64_t found = First(*key, after);
    if (found == 0) return KA_E_END;
    *id = found;
    return KA_OK;
  }

  int FindCard(int64_t ref_num, int64_t* id) const {
    const int64_t found = First({KEEL_CARD, kByRefNum, ref_num, {}}, 0);
    if (found == 0) return KA_E_END;
    *id = found;
    return KA_OK;
  }

  int NextProperty(int64_t id, int64_t after, int32_t* number) const {
    auto it = objects_.find(id);
    if (it == objects_.end() || after >= INT32_MAX) return KA_E_END;
    const auto& properties = it->second.properties;
    auto next = after < INT32_MIN ? properties.begin()
                                  : properties.upper_bound(static_cast<int32_t>(after));
    if (next == properties.end()) return KA_E_END;
    *number = next->first;
    return KA_OK;
  }

  // Memory keeps no file, and what it holds cannot be damaged at rest.
  const char* Location() const { return ""; }
  int Verify(KeelLineSink, void*) const { return KA_OK; }

  int List(KeelObjectKind kind, int64_t* ids, size_t capacity, size_t* count) const {
    auto it = index_.find({kind, KEEL_BY_KIND, 0, {}});
    size_t n = 0;
    if (it != index_.end()) {
      for (int64_t id : it->second) {
        if (ids != nullptr && n < capacity) ids[n] = id;
        ++n;
      }
    }
    *count = n;
    return KA_OK;
  }

 private:
  // The first id filed under `key` that is greater than `after`, or 0.
  int64_t First(const IndexKey& key, int64_t after) const {
    auto it = index_.find(key);
    if (it == index_.end()) return 0;
    auto next = it->second.upper_bound(after);
    return next == it->second.end() ? 0 : *next;
  }

  // A positive, nonzero reference number no live card has.
  int64_t NewRefNum() {
    for (;;) {
      const auto ref = static_cast<int64_t>(refs_() >> 1);
      if (ref != 0 && First({KEEL_CARD, kByRefNum, ref, {}}, 0) == 0) return ref;
    }
  }

  void Record(Undo undo) {
    if (in_transaction_) journal_.push_back(std::move(undo));
  }

  // Files an object.  Should filing run out of memory half-way, the object
  // is taken out again before the exception goes on, so no index names an
  // object that is not there.
  void Insert(int64_t id, Object o) {
    const std::vector<IndexKey> keys = KeysOf(o);
    objects_.emplace(id, std::move(o));
    try {
      for (const IndexKey& key : keys) index_[key].insert(id);
    } catch (...) {
      Remove(id);
      throw;
    }
  }

  // Takes an object and its index entries out; tolerates a missing object
  // or missing entries, as a half-done Insert leaves them.
  void Remove(int64_t id) {
    auto it = objects_.find(id);
    if (it == objects_.end()) return;
    for (const IndexKey& key : KeysOf(it->second)) {
      auto entry = index_.find(key);
      if (entry == index_.end()) continue;
      entry->second.erase(id);
      if (entry->second.empty()) index_.erase(entry);
    }
    objects_.erase(it);
  }

  // Undoes one journal step.  Runs inside Rollback, which cannot fail: an
  // undo that runs out of memory is abandoned rather than thrown.
  void Apply(Undo& undo) noexcept {
    try {
      switch (undo.action) {
        case Undo::kUncreate:
          Remove(undo.id);
          break;
        case Undo::kRestoreObject:
          if (undo.object && objects_.count(undo.id) == 0) Insert(undo.id, *undo.object);
          break;
        case Undo::kRestoreProperty: {
          auto it = objects_.find(undo.id);
          if (it == objects_.end()) break;
          if (undo.property) {
            it->second.properties[undo.number] = std::move(*undo.property);
          } else {
            it->second.properties.erase(undo.number);
          }
          break;
        }
      }
    } catch (...) {
    }
  }

  std::map<int64_t, Object> objects_;
  std::map<IndexKey, std::set<int64_t>> index_;
  int64_t next_id_ = 1;
  std::mt19937_64 refs_;
  std::vector<Undo> journal_;
  bool in_transaction_ = false;
};

}  // namespace

KeelBackend* NewMemoryBackend() {
  try {
    return BackendTable<MemoryStore>::Wrap(std::make_unique<MemoryStore>());
  } catch (...) {  // out of memory, or no random source for reference numbers
    return nullptr;
  }
}

}  // namespace keel
