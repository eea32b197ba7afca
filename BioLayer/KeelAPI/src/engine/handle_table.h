// handle_table.h - the store's handles: 32-bit numbers naming objects.
//
// Numbers come from one counter that only grows, across Clear() too, so a
// number is never handed out twice in a process.  A handle that was
// released, freed or deleted is kept, closed, because it still names its
// object: a walk can go on from it.  The table therefore grows with every
// handle handed out and shrinks only on Clear().
#ifndef KEEL_ENGINE_HANDLE_TABLE_H
#define KEEL_ENGINE_HANDLE_TABLE_H

#include <cstdint>
#include <vector>

#include "KeelAPITest.h"

namespace keel {

enum class HandleState : uint8_t {
  kOpen,
  kClosed,   // released, or closed by the last KA_Free
  kDeleted,  // its object was deleted through it
};

struct HandleEntry {
  int64_t object = 0;
  KeelObjectKind kind = KEEL_CONTEXT;
  HandleState state = HandleState::kOpen;
};

class HandleTable {
 public:
  // Makes room for one more handle, so that the Open() after a commit
  // cannot fail.  False when the 32-bit numbers are used up; throws
  // std::bad_alloc when memory is.
  bool Reserve();

  // Opens a new handle naming `object`.  Call Reserve() first.
  uint32_t Open(int64_t object, KeelObjectKind kind);

  // The entry of a handle handed out since the last Clear(), whatever its
  // state, or null (0, numbers never handed out, numbers from before Clear).
  const HandleEntry* Find(uint32_t handle) const;

  // Moves an open handle to `state`; does nothing to a handle not open.
  void Close(uint32_t handle, HandleState state);

  // Closes every open handle.
  void CloseAll();

  uint32_t open_count() const { return open_; }

  // Forgets every handle; the numbers handed out next still grow.
  void Clear();

 private:
  HandleEntry* Entry(uint32_t handle);

  uint32_t next_ = 1;   // the number Open() hands out next
  uint32_t first_ = 1;  // the number of entries_[0]
  std::vector<HandleEntry> entries_;
  uint32_t open_ = 0;
};

}  // namespace keel

#endif  // KEEL_ENGINE_HANDLE_TABLE_H
