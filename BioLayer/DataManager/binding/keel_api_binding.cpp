// The 32 binding functions: one look-up and one call each.
#include "binding/KeelAPIBinding.h"

#include "binding/ModuleTable.h"

namespace dm::binding {
namespace {

constexpr KA_STATUS kAlreadyInitialized = -3;

// Looks `name` up in the store library (loading it when needed) and calls it
// with `args`; kFunctionMissing when there is nothing to call.
template <typename Fn, typename... Args>
KA_STATUS Call(const char* name, Args... args) {
  const ModuleHandle module = EnsureLoaded(kStoreLibraryName);
  void* address = CurrentEnv()->GetProcAddress(module, name);
  if (address == nullptr) return kFunctionMissing;
  return reinterpret_cast<Fn>(address)(args...);
}

}  // namespace

KA_STATUS KA_Execute(int16_t command, const char* payload, uint32_t* length) {
  return Call<decltype(&::KA_Execute)>("KA_Execute", command, payload, length);
}

KA_STATUS KA_GetApp(uint32_t* context, uint32_t zero, uint32_t* app) {
  return Call<decltype(&::KA_GetApp)>("KA_GetApp", context, zero, app);
}

KA_STATUS KA_GetIdentity(uint32_t* context, uint32_t zero, uint32_t* identity) {
  return Call<decltype(&::KA_GetIdentity)>("KA_GetIdentity", context, zero, identity);
}

KA_STATUS KA_GetProperty(uint32_t* context, int32_t property, int32_t capacity, void* buffer, uint32_t* sizeOut) {
  return Call<decltype(&::KA_GetProperty)>("KA_GetProperty", context, property, capacity, buffer, sizeOut);
}

KA_STATUS KA_SetProperty(uint32_t* context, int32_t property, const void* value, int32_t size) {
  return Call<decltype(&::KA_SetProperty)>("KA_SetProperty", context, property, value, size);
}

KA_STATUS KA_CreateShortcut(uint32_t* context, uint32_t* shortcut) {
  return Call<decltype(&::KA_CreateShortcut)>("KA_CreateShortcut", context, shortcut);
}

KA_STATUS KA_GetShortcut(uint32_t* context, const char* region, int16_t mode, uint32_t* shortcut) {
  return Call<decltype(&::KA_GetShortcut)>("KA_GetShortcut", context, region, mode, shortcut);
}

KA_STATUS KA_Id_GetProperty(uint32_t* identity, int32_t property, int32_t capacity, void* buffer, uint32_t* sizeOut) {
  return Call<decltype(&::KA_Id_GetProperty)>("KA_Id_GetProperty", identity, property, capacity, buffer, sizeOut);
}

KA_STATUS KA_Id_SetProperty(uint32_t* identity, int32_t attribute, int32_t property, const void* value, int32_t size) {
  return Call<decltype(&::KA_Id_SetProperty)>("KA_Id_SetProperty", identity, attribute, property, value, size);
}

KA_STATUS KA_Id_Release(uint32_t* identity) {
  return Call<decltype(&::KA_Id_Release)>("KA_Id_Release", identity);
}

KA_STATUS KA_Id_GetCard(uint32_t* identity, const char* domain, int32_t category, int16_t mode, uint32_t* card) {
  return Call<decltype(&::KA_Id_GetCard)>("KA_Id_GetCard", identity, domain, category, mode, card);
}

KA_STATUS KA_Id_GetCardByRefNum(uint32_t* identity, int64_t refNum, uint32_t* card) {
  return Call<decltype(&::KA_Id_GetCardByRefNum)>("KA_Id_GetCardByRefNum", identity, refNum, card);
}

KA_STATUS KA_Id_CreateCard(uint32_t* identity, const char* domain, int32_t category, uint32_t* card) {
  return Call<decltype(&::KA_Id_CreateCard)>("KA_Id_CreateCard", identity, domain, category, card);
}

KA_STATUS KA_Id_GetMacro(uint32_t* identity, uint32_t finger, int16_t mode, uint32_t* macro) {
  return Call<decltype(&::KA_Id_GetMacro)>("KA_Id_GetMacro", identity, finger, mode, macro);
}

KA_STATUS KA_Id_CreateMacro(uint32_t* identity, uint32_t finger, uint32_t* macro) {
  return Call<decltype(&::KA_Id_CreateMacro)>("KA_Id_CreateMacro", identity, finger, macro);
}

KA_STATUS KA_App_GetProperty(uint32_t* app, int32_t property, int32_t capacity, void* buffer, uint32_t* sizeOut) {
  return Call<decltype(&::KA_App_GetProperty)>("KA_App_GetProperty", app, property, capacity, buffer, sizeOut);
}

KA_STATUS KA_App_SetProperty(uint32_t* app, int32_t property, const void* value, int32_t size) {
  return Call<decltype(&::KA_App_SetProperty)>("KA_App_SetProperty", app, property, value, size);
}

KA_STATUS KA_App_Release(uint32_t* app) {
  return Call<decltype(&::KA_App_Release)>("KA_App_Release", app);
}

KA_STATUS KA_Shortcut_GetProperty(uint32_t* shortcut, int32_t property, int32_t capacity, void* buffer, uint32_t* sizeOut) {
  return Call<decltype(&::KA_Shortcut_GetProperty)>("KA_Shortcut_GetProperty", shortcut, property, capacity, buffer, sizeOut);
}

KA_STATUS KA_Shortcut_SetProperty(uint32_t* shortcut, int32_t property, const void* value, int32_t size) {
  return Call<decltype(&::KA_Shortcut_SetProperty)>("KA_Shortcut_SetProperty", shortcut, property, value, size);
}

KA_STATUS KA_Shortcut_Delete(uint32_t* shortcut) {
  return Call<decltype(&::KA_Shortcut_Delete)>("KA_Shortcut_Delete", shortcut);
}

KA_STATUS KA_Shortcut_Release(uint32_t* shortcut) {
  return Call<decltype(&::KA_Shortcut_Release)>("KA_Shortcut_Release", shortcut);
}

KA_STATUS KA_Card_GetProperty(uint32_t* card, int32_t property, int32_t capacity, void* buffer, uint32_t* sizeOut) {
  return Call<decltype(&::KA_Card_GetProperty)>("KA_Card_GetProperty", card, property, capacity, buffer, sizeOut);
}

KA_STATUS KA_Card_SetProperty(uint32_t* card, int32_t attribute, int32_t property, const void* value, int32_t size) {
  return Call<decltype(&::KA_Card_SetProperty)>("KA_Card_SetProperty", card, attribute, property, value, size);
}

KA_STATUS KA_Card_Delete(uint32_t* card) {
  return Call<decltype(&::KA_Card_Delete)>("KA_Card_Delete", card);
}

KA_STATUS KA_Card_Release(uint32_t* card) {
  return Call<decltype(&::KA_Card_Release)>("KA_Card_Release", card);
}

KA_STATUS KA_Macro_GetProperty(uint32_t* macro, int32_t property, int32_t capacity, void* buffer, uint32_t* sizeOut) {
  return Call<decltype(&::KA_Macro_GetProperty)>("KA_Macro_GetProperty", macro, property, capacity, buffer, sizeOut);
}

KA_STATUS KA_Macro_SetProperty(uint32_t* macro, int32_t property, const void* value, int32_t size) {
  return Call<decltype(&::KA_Macro_SetProperty)>("KA_Macro_SetProperty", macro, property, value, size);
}

KA_STATUS KA_Macro_Delete(uint32_t* macro) {
  return Call<decltype(&::KA_Macro_Delete)>("KA_Macro_Delete", macro);
}

KA_STATUS KA_Macro_Release(uint32_t* macro) {
  return Call<decltype(&::KA_Macro_Release)>("KA_Macro_Release", macro);
}

KA_STATUS KA_Init(const uint8_t* zeros30, const char* appName, uint32_t zero, uint32_t* context) {
  KA_STATUS status = Call<decltype(&::KA_Init)>("KA_Init", zeros30, appName, zero, context);
  if (status == kAlreadyInitialized) status = 0;
  if (status >= 0) AddReference(kStoreLibraryName);
  return status;
}

KA_STATUS KA_Free(uint32_t* context) {
  const KA_STATUS status = Call<decltype(&::KA_Free)>("KA_Free", context);
  if (status >= 0) ReleaseReference(kStoreLibraryName);
  return status;
}

}  // namespace dm::binding
