// ObjectWalk.h - the one walk over the store's cards, macros and shortcuts.
//
// A walk asks the store for the first object (mode 1) and then for the next
// one after the object last returned (mode 2) until a request fails: that
// is how every walk ends, so the failed request is not logged.  A request
// that answers success without handing out a new handle ends it too.  Each object
// is handed to a visitor while it is held, and released before the next
// request and before the walk returns, unless the visitor deleted it (a
// deleted object is not released, but its handle still marks the place the
// next request goes on from).
#ifndef DM_FAMILIES_OBJECT_WALK_H
#define DM_FAMILIES_OBJECT_WALK_H

#include <cstdint>
#include <optional>

#include "KSTypes.h"
#include "KeelAPIUtils.h"

namespace dm::walk {

// Request modes of the store's walks: the first object, the next one after
// the object in the caller's variable, and (cards only) the store's one
// card of a domain.
enum Request : int16_t { kFirst = 1, kNext = 2, kSingleLookup = 3 };

// What the walk does once the visited object is released (or deleted): go
// on with the next object, stop, or start again from the first object.
enum class Walk { kNext, kStop, kRestart };

// How each kind of object is let go.  Card walks go on when a release
// fails; macro and shortcut walks end there, since the store may be in no
// state to hand out the next one.
struct Cards {
  static KA_STATUS Release(uint32_t* h) { return KeelAPIUtils().ReleaseCard(h); }
  static KA_STATUS Delete(uint32_t* h) { return KeelAPIUtils().DeleteCard(h); }
  static constexpr bool kFailedReleaseEndsWalk = false;
};
struct Macros {
  static KA_STATUS Release(uint32_t* h) { return KeelAPIUtils().ReleaseMacro(h); }
  static KA_STATUS Delete(uint32_t* h) { return KeelAPIUtils().DeleteMacro(h); }
  static constexpr bool kFailedReleaseEndsWalk = true;
};
struct Shortcuts {
  static KA_STATUS Release(uint32_t* h) { return KeelAPIUtils().ReleaseShortcut(h); }
  static KA_STATUS Delete(uint32_t* h) { return KeelAPIUtils().DeleteShortcut(h); }
  static constexpr bool kFailedReleaseEndsWalk = true;
};

// The object a visitor is looking at.  The walk releases it after the
// visitor returns; a visitor that must log after the release releases it
// itself.  It is released even when a visitor leaves by an exception.
template <typename Kind>
class Held {
 public:
  explicit Held(uint32_t handle) : handle_(handle) {}
  ~Held() { Release(); }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;

  // The variable the store wrappers take.
  uint32_t* handle() { return &handle_; }

  // Releases the object, once: later calls answer the first outcome.  A
  // deleted object is not released and answers true.  False when the store
  // refused (the wrapper has logged it).
  bool Release() {
    if (!ended_) ended_ = Kind::Release(&handle_) >= 0;
    return *ended_;
  }

  // Deletes the object instead of releasing it.  False when the store
  // refused (the wrapper has logged it); the object is then released.
  bool Delete() {
    if (ended_) return false;
    if (Kind::Delete(&handle_) < 0) return false;
    ended_ = true;
    return true;
  }

 private:
  uint32_t handle_;
  std::optional<bool> ended_;  // set once released or deleted
};

// Walks the objects that `request(mode, &cursor)` hands out (one store call
// through a KeelAPIUtils enumerator), starting with `firstMode`.  Each one is
// handed to `visit(Held<Kind>&)`, which answers how to go on.  Answers the
// number of objects visited.
template <typename Kind, typename RequestFn, typename Visit>
DWORD WalkObjects(RequestFn&& request, int16_t firstMode, Visit&& visit) {
  uint32_t cursor = 0;  // the store goes on from the object last returned here
  DWORD visited = 0;
  for (int16_t mode = firstMode;;) {
    const uint32_t previous = cursor;
    if (request(mode, &cursor) < 0) break;
    // Every step the store answers opens a new handle; one that answers
    // success and leaves the cursor as it was would be walked forever.
    if (cursor == previous) break;
    ++visited;
    Held<Kind> object(cursor);
    const Walk next = visit(object);
    if (!object.Release() && Kind::kFailedReleaseEndsWalk) break;
    if (next == Walk::kStop) break;
    mode = next == Walk::kRestart ? kFirst : kNext;
  }
  return visited;
}

// The macros filed under `finger`, from the first.
template <typename Visit>
DWORD WalkMacros(DWORD finger, Visit&& visit) {
  return WalkObjects<Macros>(
      [finger](int16_t mode, uint32_t* cursor) {
        return KeelAPIUtils().EnumMacros(finger, mode, cursor);
      },
      kFirst, visit);
}

// Every shortcut of the store, from the first.
template <typename Visit>
DWORD WalkShortcuts(Visit&& visit) {
  return WalkObjects<Shortcuts>(
      [](int16_t mode, uint32_t* cursor) { return KeelAPIUtils().EnumShortcuts(mode, cursor); },
      kFirst, visit);
}

}  // namespace dm::walk

#endif  // DM_FAMILIES_OBJECT_WALK_H
