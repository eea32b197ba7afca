// handle_table.h - the store's handles: 32-bit numbers naming objects.
//
// Numbers come from one counter that grows across Clear() too.  A number is
// handed out again only once the counter has gone round all 2^32 - 1 of
// them, and even then never while the table still knows it (open, or among
// the closed handles it remembers), so a repeated number never names two
// things at once.
//
// The table keeps the open handles, and the last kRemembered closed ones
// (released, freed or deleted): those still name their object, so that a
// walk can go on from the handle a caller has just released.  Memory
// therefore follows the handles open at once, never the handles ever handed
// out.
//
// App and identity handles are shared: opening one of those objects while a
// handle on it is open answers that handle again with one more reference;
// closing it drops one reference, and the last one closes it.
#ifndef KEEL_ENGINE_HANDLE_TABLE_H
#define KEEL_ENGINE_HANDLE_TABLE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "KeelAPITest.h"

namespace keel {

struct HandleEntry {
  uint32_t handle = 0;  // 0: an empty slot of the remembered ones
  KeelObjectKind kind = KEEL_CONTEXT;
  int64_t object = 0;
  uint32_t references = 0;  // open handles: the opens it answered, not yet closed
  bool publishes = false;   // it created its card: releasing it publishes the card
};

class HandleTable {
 public:
  // How many closed handles still name their object.
  static constexpr size_t kRemembered = 1024;

  // Makes room for one more handle and picks its number, so that the Open()
  // after a commit cannot fail.  Throws std::bad_alloc when memory runs out.
  void Reserve();

  // Opens a handle naming `object` (or, for an App or the identity, answers
  // the open one with one more reference).  `publishes`: see HandleEntry.
  // Call Reserve() first.
  uint32_t Open(int64_t object, KeelObjectKind kind, bool publishes = false);

  // The open handle `handle`, or null.
  const HandleEntry* FindOpen(uint32_t handle) const;

  // The open or remembered closed handle `handle`, or null (0, numbers never
  // handed out, closed too long ago, or from before Clear).
  const HandleEntry* Find(uint32_t handle) const;

  // Drops one reference of an open handle, closing it with the last one;
  // does nothing to a handle not open.
  void Close(uint32_t handle);

  // Closes every open handle.
  void CloseAll();

  // Open handles, each counted once whatever its references.
  uint32_t open_count() const { return static_cast<uint32_t>(open_.size()); }

  // Forgets every handle; the numbers handed out next still grow.
  void Clear();

 private:
  // Whether `handle` is open or remembered.
  bool Known(uint32_t handle) const { return handle == 0 || Find(handle) != nullptr; }
  void Remember(const HandleEntry& entry);

  uint32_t next_ = 1;        // the number Open() hands out next
  bool wrapped_ = false;     // the counter has gone round: numbers may be known
  std::vector<HandleEntry> open_;  // sorted by number
  std::array<HandleEntry, kRemembered> closed_{};  // a ring, newest at closed_[newest_]
  size_t newest_ = kRemembered - 1;
};

}  // namespace keel

#endif  // KEEL_ENGINE_HANDLE_TABLE_H
