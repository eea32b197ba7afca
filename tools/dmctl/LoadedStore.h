// The store library DataManager loaded in this process.
//
// dmctl never links a store of its own: it reaches the administration and
// development interfaces of the very module DataManager loaded, looked up
// by name as DataManager looks up the store's functions.  So what dmctl
// shows and changes is always the store DataManager uses, whichever copy
// (production or development, store folder or bare name) that is.
#pragma once

#include <string>

#include "KeelAPIAdmin.h"
#include "KeelAPITest.h"  // the types of the functions looked up, never linked

namespace dmctl {

// Where the store library that DataManager loaded lives, or an empty text
// when none is loaded in this process.  One file per OS.
std::string LoadedStorePath();

// The function `name` of the store library that DataManager loaded; null
// when none is loaded or it has no such function.  One file per OS.
void* LoadedStoreFunction(const char* name);

// Has DataManager load its store (through an export that opens the store
// and changes nothing).  True when a store library is then loaded; false,
// with one line on standard error naming `command`, otherwise.
bool LoadStore(const char* command);

// The administration interface, which both builds of the store export.
struct StoreAdmin {
  decltype(&KeelAdmin_StoreFile) store_file = nullptr;
  decltype(&KeelAdmin_CountObjects) count_objects = nullptr;
  decltype(&KeelAdmin_Check) check = nullptr;
  decltype(&KeelAdmin_Export) export_all = nullptr;
  decltype(&KeelAdmin_GetIdentityText) identity_text = nullptr;
};

// Loads the store (LoadStore) and finds its administration interface;
// false, with one line on standard error naming `command`, when there is
// no store or it lacks one of the functions.
bool FindStoreAdmin(const char* command, StoreAdmin* admin);

// The development interface: only the development store has it.
struct DevelopmentStore {
  decltype(&KeelTest_ContextObject) context_object = nullptr;
  decltype(&KeelTest_IdentityObject) identity_object = nullptr;
  decltype(&KeelTest_SetProperty) set_property = nullptr;
};

// As FindStoreAdmin, for the development interface: false on a production
// store, with one line on standard error.
bool FindDevelopmentStore(const char* command, DevelopmentStore* dev);

}  // namespace dmctl
