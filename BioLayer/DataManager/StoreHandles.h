// StoreHandles.h - the three store handles the whole process shares.
//
// The first successful opening initialises the store and fills them; they
// stay open until the library is unloaded.  They are never reset to 0, not
// even by the unload handler, and nothing guards them: callers make one call
// at a time.
#ifndef DM_STORE_HANDLES_H
#define DM_STORE_HANDLES_H

#include <cstdint>

namespace dm {

struct StoreHandles {
  uint32_t context = 0;   // 0: the store is not initialised in this process
  uint32_t app = 0;       // 0: no application object obtained yet
  uint32_t identity = 0;  // 0: no identity object obtained yet
};

StoreHandles& Handles();

// Runs when the library is unloaded or the process ends: releases the
// identity and application objects and frees the context (which lets the
// binding unload the store library).  Statuses are ignored, nothing is
// logged, and a handle that was never obtained is not touched.
void RunUnloadHandler();

// Sets the three handles back to 0, as in a fresh process.
void ResetStoreHandlesForTesting();

}  // namespace dm

#endif  // DM_STORE_HANDLES_H
