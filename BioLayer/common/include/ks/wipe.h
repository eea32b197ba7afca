// wipe.h - the one way the suite overwrites memory that held a secret (a
// password, a one-time password, a key) before it is freed or reused.
#ifndef KS_WIPE_H
#define KS_WIPE_H

#include <cstddef>

namespace ks {

// Sets `size` bytes at `data` to zero.  The writes go through a volatile
// pointer, so the compiler cannot drop them as dead stores.
inline void Wipe(void* data, size_t size) {
  auto* p = static_cast<volatile unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) p[i] = 0;
}

}  // namespace ks

#endif  // KS_WIPE_H
