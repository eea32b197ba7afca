// read_cache.cpp - two hash maps under one stamp, with a bound.
#include "backends/sqlite/read_cache.h"

#include <functional>
#include <string_view>

#include "KeelAPI.h"

namespace keel::sqlite {
namespace {

// The bounds: well above a large user's store (tens of thousands of cards),
// well below what would matter to a desktop process.
constexpr size_t kMostEntries = 256 * 1024;
constexpr size_t kMostBytes = 32 * 1024 * 1024;

size_t Mix(size_t seed, size_t value) {
  return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

}  // namespace

size_t ReadCache::Hash::operator()(const PropertyKey& k) const {
  return Mix(std::hash<int64_t>()(k.object), std::hash<int32_t>()(k.number));
}

size_t ReadCache::Hash::operator()(const StepKey& k) const {
  size_t h = std::hash<int64_t>()(k.after);
  h = Mix(h, std::hash<int32_t>()(k.kind));
  h = Mix(h, std::hash<int32_t>()(k.by));
  h = Mix(h, std::hash<int64_t>()(k.number));
  return Mix(h, std::hash<std::string_view>()(k.label));
}

void ReadCache::Follow(DataStamp stamp) {
  if (stamp_ == stamp) return;
  Clear();
  stamp_ = stamp;
}

void ReadCache::Clear() {
  properties_.clear();
  steps_.clear();
  whole_.clear();
  bytes_ = 0;
  stamp_.reset();
}

const ReadCache::Property* ReadCache::FindProperty(int64_t object, int32_t number) const {
  static const Property kNotStored{KA_E_NOT_STORED, 0, {}};
  const auto it = properties_.find(PropertyKey{object, number});
  if (it != properties_.end()) return &it->second;
  return whole_.count(object) != 0 ? &kNotStored : nullptr;
}

bool ReadCache::PutProperty(int64_t object, int32_t number, Property property) {
  if (!stamp_ || property.bytes.size() > kLargestValue) return false;
  MakeRoom(property.bytes.size());
  const size_t size = property.bytes.size();
  if (properties_.insert_or_assign(PropertyKey{object, number}, std::move(property)).second) {
    bytes_ += size;
  }
  return true;
}

void ReadCache::PutWhole(int64_t object) {
  if (!stamp_) return;
  MakeRoom(0);
  whole_.insert(object);
}

const ReadCache::Step* ReadCache::FindStep(const StepKey& key) const {
  const auto it = steps_.find(key);
  return it == steps_.end() ? nullptr : &it->second;
}

void ReadCache::PutStep(StepKey key, Step step) {
  if (!stamp_) return;
  MakeRoom(key.label.size());
  const size_t size = key.label.size();
  if (steps_.insert_or_assign(std::move(key), step).second) bytes_ += size;
}

void ReadCache::MakeRoom(size_t bytes) {
  const size_t entries = properties_.size() + steps_.size() + whole_.size();
  if (entries < kMostEntries && bytes_ + bytes <= kMostBytes) return;
  const std::optional<DataStamp> stamp = stamp_;
  Clear();
  stamp_ = stamp;  // start over, still for the same state
}

}  // namespace keel::sqlite
