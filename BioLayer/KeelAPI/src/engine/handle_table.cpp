// handle_table.cpp - the store's handles, numbered from a counter that only
// grows and kept in a vector indexed by number.
#include "handle_table.h"

#include <algorithm>
#include <limits>

namespace keel {

bool HandleTable::Reserve() {
  if (next_ == std::numeric_limits<uint32_t>::max()) return false;
  // Grow geometrically: reserving one more each time would copy the whole
  // table on every handle.
  if (entries_.size() == entries_.capacity()) {
    entries_.reserve(std::max<size_t>(64, entries_.capacity() * 2));
  }
  return true;
}

uint32_t HandleTable::Open(int64_t object, KeelObjectKind kind) {
  entries_.push_back(HandleEntry{object, kind, HandleState::kOpen});
  ++open_;
  return next_++;
}

const HandleEntry* HandleTable::Find(uint32_t handle) const {
  if (handle < first_ || handle - first_ >= entries_.size()) return nullptr;
  return &entries_[handle - first_];
}

HandleEntry* HandleTable::Entry(uint32_t handle) {
  return const_cast<HandleEntry*>(static_cast<const HandleTable*>(this)->Find(handle));
}

void HandleTable::Close(uint32_t handle, HandleState state) {
  HandleEntry* entry = Entry(handle);
  if (entry == nullptr || entry->state != HandleState::kOpen) return;
  entry->state = state;
  --open_;
}

void HandleTable::CloseAll() {
  for (HandleEntry& entry : entries_) {
    if (entry.state == HandleState::kOpen) entry.state = HandleState::kClosed;
  }
  open_ = 0;
}

void HandleTable::Clear() {
  entries_.clear();
  entries_.shrink_to_fit();
  first_ = next_;
  open_ = 0;
}

}  // namespace keel
