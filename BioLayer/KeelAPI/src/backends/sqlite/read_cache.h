// read_cache.h - answers of reads, kept while the database stays in the
// state they were read from.
//
// A read of the store costs SQLite a read transaction, with its two system
// calls for the shared lock of the write-ahead log, and the statements'
// work.  A process reads far more often than anyone writes (a profile list
// walks every card twice), so the backend keeps what it read, stamped with
// the state of the database (change_watch.h), and answers from it while the
// stamp stays: a commit by any process, this one included, drops every
// entry at once.  Telling the stamp costs the read transaction (its lock
// calls) but no page read.
#ifndef KEEL_SQLITE_READ_CACHE_H
#define KEEL_SQLITE_READ_CACHE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "backends/sqlite/change_watch.h"

namespace keel::sqlite {

// What a walk step or a look-up asked for: the kind, how it filtered (a
// KeelFilterBy, or a look-up of the backend's own), the number and label it
// filtered by, and the id it went on from.
struct StepKey {
  int32_t kind = 0;
  int32_t by = 0;
  int64_t number = 0;
  std::string label;
  int64_t after = 0;
  bool operator==(const StepKey&) const = default;
};

class ReadCache {
 public:
  struct Property {
    int status = 0;  // KA_OK, KA_E_NOT_STORED or KA_E_END
    int32_t attribute = 0;
    std::string bytes;  // as stored: a secret's seal, never its value
  };
  struct Step {
    int status = 0;  // KA_OK or KA_E_END
    int64_t id = 0;
  };

  // Values larger than this are not kept: they would crowd out the rest.
  static constexpr size_t kLargestValue = 64 * 1024;

  // The state the entries belong to; nothing while the cache is empty.
  const std::optional<DataStamp>& stamp() const { return stamp_; }

  // Makes the cache answer for `stamp`: entries of another state go.
  void Follow(DataStamp stamp);

  void Clear();

  // A property: as it was put, or (for an object put whole) KA_E_NOT_STORED
  // when the object does not have it; null when the cache does not know.
  const Property* FindProperty(int64_t object, int32_t number) const;
  // Keeps a property; false when it was not kept (too large, or no stamp).
  bool PutProperty(int64_t object, int32_t number, Property property);
  // Records that every property of `object` was put.
  void PutWhole(int64_t object);

  const Step* FindStep(const StepKey& key) const;
  void PutStep(StepKey key, Step step);

 private:
  struct PropertyKey {
    int64_t object;
    int32_t number;
    bool operator==(const PropertyKey&) const = default;
  };
  struct Hash {
    size_t operator()(const PropertyKey& k) const;
    size_t operator()(const StepKey& k) const;
  };

  // Drops everything when the cache has grown past its bounds.
  void MakeRoom(size_t bytes);

  std::optional<DataStamp> stamp_;
  std::unordered_map<PropertyKey, Property, Hash> properties_;
  std::unordered_map<StepKey, Step, Hash> steps_;
  std::unordered_set<int64_t> whole_;  // objects with every property put
  size_t bytes_ = 0;  // value and label bytes held
};

}  // namespace keel::sqlite

#endif  // KEEL_SQLITE_READ_CACHE_H
