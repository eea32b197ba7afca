// The process-wide store handles and the unload handler that closes them.
#include "StoreHandles.h"

#include "binding/KeelAPIBinding.h"

namespace dm {
namespace {
StoreHandles g_handles;
}  // namespace

StoreHandles& Handles() { return g_handles; }

void RunUnloadHandler() {
  if (g_handles.identity != 0) binding::KA_Id_Release(&g_handles.identity);
  if (g_handles.app != 0) binding::KA_App_Release(&g_handles.app);
  if (g_handles.context != 0) binding::KA_Free(&g_handles.context);
}

void ResetStoreHandlesForTesting() { g_handles = StoreHandles{}; }

}  // namespace dm
