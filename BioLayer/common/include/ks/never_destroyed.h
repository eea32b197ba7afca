// never_destroyed.h - a process-wide object that is constructed on first use
// and never destroyed.
//
// Our libraries are still called while the process exits (from static
// destructors, unload handlers or threads still running), so the state those
// calls reach must outlive every destructor.  It lives in the library's own
// static storage rather than on the heap: when the library is unloaded its
// storage goes with it, and nothing is leaked.
#ifndef KS_NEVER_DESTROYED_H
#define KS_NEVER_DESTROYED_H

#include <new>
#include <utility>

namespace ks {

template <typename T>
class NeverDestroyed {
 public:
  template <typename... Args>
  explicit NeverDestroyed(Args&&... args) {
    new (storage_) T(std::forward<Args>(args)...);
  }
  NeverDestroyed(const NeverDestroyed&) = delete;
  NeverDestroyed& operator=(const NeverDestroyed&) = delete;

  T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace ks

#endif  // KS_NEVER_DESTROYED_H
