// handle_table.cpp - the open handles in a vector sorted by number, and the
// closed ones that still name their object in a ring.
#include "handle_table.h"

#include <algorithm>
#include <limits>

namespace keel {
namespace {

bool Before(const HandleEntry& entry, uint32_t handle) { return entry.handle < handle; }

}  // namespace

void HandleTable::Reserve() {
  // Grow geometrically: reserving one more each time would copy the whole
  // table on every handle.
  if (open_.size() == open_.capacity()) {
    open_.reserve(std::max<size_t>(16, open_.capacity() * 2));
  }
  while (next_ == 0 || (wrapped_ && Known(next_))) {
    if (next_ == 0) wrapped_ = true;
    ++next_;
  }
}

uint32_t HandleTable::Open(int64_t object, KeelObjectKind kind, bool publishes) {
  if (kind == KEEL_APP || kind == KEEL_IDENTITY) {
    for (HandleEntry& entry : open_) {
      if (entry.kind == kind && entry.object == object) {
        // A count that has reached its top stays there: the handle then
        // stays open until the last KA_Free.
        if (entry.references < std::numeric_limits<uint32_t>::max()) ++entry.references;
        return entry.handle;
      }
    }
  }
  // Numbers grow, so a new handle goes last, except after the counter went
  // round.  Reserve() made room: neither way allocates.
  open_.insert(std::lower_bound(open_.begin(), open_.end(), next_, Before),
               HandleEntry{next_, kind, object, 1, publishes});
  return next_++;
}

const HandleEntry* HandleTable::FindOpen(uint32_t handle) const {
  auto it = std::lower_bound(open_.begin(), open_.end(), handle, Before);
  return it != open_.end() && it->handle == handle ? &*it : nullptr;
}

const HandleEntry* HandleTable::Find(uint32_t handle) const {
  if (handle == 0) return nullptr;  // also the mark of an empty slot
  if (const HandleEntry* open = FindOpen(handle)) return open;
  // Newest first: a walk goes on from the handle released just before.
  for (size_t i = 0; i < kRemembered; ++i) {
    const HandleEntry& entry = closed_[(newest_ + kRemembered - i) % kRemembered];
    if (entry.handle == handle) return &entry;
  }
  return nullptr;
}

void HandleTable::Remember(const HandleEntry& entry) {
  newest_ = (newest_ + 1) % kRemembered;
  closed_[newest_] = HandleEntry{entry.handle, entry.kind, entry.object, 0, false};
}

void HandleTable::Close(uint32_t handle) {
  auto it = std::lower_bound(open_.begin(), open_.end(), handle, Before);
  if (it == open_.end() || it->handle != handle) return;
  if (it->references == std::numeric_limits<uint32_t>::max()) return;  // see Open()
  if (--it->references > 0) return;
  Remember(*it);
  open_.erase(it);
  // Give the memory of a burst of open handles back.
  if (open_.capacity() > 64 && open_.size() * 4 < open_.capacity()) {
    try {
      open_.shrink_to_fit();
    } catch (...) {  // it stays as large as it was
    }
  }
}

void HandleTable::CloseAll() {
  for (const HandleEntry& entry : open_) Remember(entry);
  std::vector<HandleEntry>().swap(open_);
}

void HandleTable::Clear() {
  std::vector<HandleEntry>().swap(open_);
  closed_.fill(HandleEntry{});
}

}  // namespace keel
