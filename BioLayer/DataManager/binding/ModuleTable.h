// ModuleTable.h - which store library is loaded, and how many successful
// initialisations hold it.
//
// The credential store is not linked: its library is found and loaded on
// the first call that needs it, and stays loaded while at least one
// successful KA_Init has not been matched by a successful KA_Free.  A library
// loaded without a successful KA_Init stays loaded until the process ends.
// While the library cannot be loaded, every call tries again.
//
// Not thread-safe: callers make one call at a time.
#ifndef DM_BINDING_MODULE_TABLE_H
#define DM_BINDING_MODULE_TABLE_H

#include <cstdint>

#include "platform/Env.h"

namespace dm::binding {

// The store library's name: the file that is loaded and the key of its
// record (the constant's identity is the key, not its text).
extern const WCHAR* const kStoreLibraryName;

// The name of the suite's folder under the common program files folder.
extern const WCHAR* const kSuiteFolderName;

// Makes sure the library is loaded (trying the store folder, then the bare
// name) and answers its handle, or null when it cannot be loaded.
ModuleHandle EnsureLoaded(const WCHAR* libraryName);

// One more reference for the library (its record is created if needed).
void AddReference(const WCHAR* libraryName);

// One reference less; the last one unloads the library and removes its
// record, and the last record removes the table.
void ReleaseReference(const WCHAR* libraryName);

// From now on the last reference forgets a library without unloading it:
// for the unload handler when it runs under the loader lock (DllMain),
// where unloading another library is forbidden.  The library then stays
// loaded until the process ends.
void KeepLibrariesLoaded();

// What a test may observe of the table: whether a record exists, its
// handle and its count.  Answers false when there is no record.
struct ModuleState {
  ModuleHandle handle = nullptr;
  uint32_t references = 0;
};
bool InspectModule(const WCHAR* libraryName, ModuleState* state);

// Frees every library the table holds (through the current Env, so the
// handle's own resources go too; a library the program also links stays
// mapped) and forgets the table and the cached system check: a fresh
// process, as far as the binding can tell.
void ResetModuleTableForTesting();

}  // namespace dm::binding

#endif  // DM_BINDING_MODULE_TABLE_H
