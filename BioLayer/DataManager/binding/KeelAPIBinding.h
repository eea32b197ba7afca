// KeelAPIBinding.h - the store's 32 functions, reached by name at run time.
//
// Each function has the name and arguments of the store function it reaches
// and answers its status.  On every call it makes sure the store library is
// loaded and looks the function up again (the address is never kept); when
// the library cannot be loaded or does not export the name, it answers
// kFunctionMissing and calls nothing.  KA_Init counts "already initialised"
// as success and takes a reference on the library; a successful KA_Free drops
// one, and the last one unloads the library.
#ifndef DM_BINDING_KEEL_API_BINDING_H
#define DM_BINDING_KEEL_API_BINDING_H

#include <cstdint>

#include "KeelAPI.h"

namespace dm::binding {

// The status of a call that found no function to call.
inline constexpr KA_STATUS kFunctionMissing = -8;

KA_STATUS KA_Init(const uint8_t* zeros30, const char* appName, uint32_t zero, uint32_t* context);
KA_STATUS KA_Free(uint32_t* context);
KA_STATUS KA_Execute(int16_t command, const char* payload, uint32_t* length);
KA_STATUS KA_GetApp(uint32_t* context, uint32_t zero, uint32_t* app);
KA_STATUS KA_GetIdentity(uint32_t* context, uint32_t zero, uint32_t* identity);
KA_STATUS KA_GetProperty(uint32_t* context, int32_t property, int32_t capacity, void* buffer, uint32_t* sizeOut);
KA_STATUS KA_SetProperty(uint32_t* context, int32_t property, const void* value, int32_t size);
KA_STATUS KA_CreateShortcut(uint32_t* context, uint32_t* shortcut);
KA_STATUS KA_GetShortcut(uint32_t* context, const char* region, int16_t mode, uint32_t* shortcut);
KA_STATUS KA_Id_GetProperty(uint32_t* identity, int32_t property, int32_t capacity, void* buffer, uint32_t* sizeOut);
KA_STATUS KA_Id_SetProperty(uint32_t* identity, int32_t attribute, int32_t property, const void* value, int32_t size);
KA_STATUS KA_Id_Release(uint32_t* identity);
KA_STATUS KA_Id_GetCard(uint32_t* identity, const char* domain, int32_t category, int16_t mode, uint32_t* card);
KA_STATUS KA_Id_GetCardByRefNum(uint32_t* identity, int64_t refNum, uint32_t* card);
KA_STATUS KA_Id_CreateCard(uint32_t* identity, const char* domain, int32_t category, uint32_t* card);
KA_STATUS KA_Id_GetMacro(uint32_t* identity, uint32_t finger, int16_t mode, uint32_t* macro);
KA_STATUS KA_Id_CreateMacro(uint32_t* identity, uint32_t finger, uint32_t* macro);
KA_STATUS KA_App_GetProperty(uint32_t* app, int32_t property, int32_t capacity, void* buffer, uint32_t* sizeOut);
KA_STATUS KA_App_SetProperty(uint32_t* app, int32_t property, const void* value, int32_t size);
KA_STATUS KA_App_Release(uint32_t* app);
KA_STATUS KA_Shortcut_GetProperty(uint32_t* shortcut, int32_t property, int32_t capacity, void* buffer, uint32_t* sizeOut);
KA_STATUS KA_Shortcut_SetProperty(uint32_t* shortcut, int32_t property, const void* value, int32_t size);
KA_STATUS KA_Shortcut_Delete(uint32_t* shortcut);
KA_STATUS KA_Shortcut_Release(uint32_t* shortcut);
KA_STATUS KA_Card_GetProperty(uint32_t* card, int32_t property, int32_t capacity, void* buffer, uint32_t* sizeOut);
KA_STATUS KA_Card_SetProperty(uint32_t* card, int32_t attribute, int32_t property, const void* value, int32_t size);
KA_STATUS KA_Card_Delete(uint32_t* card);
KA_STATUS KA_Card_Release(uint32_t* card);
KA_STATUS KA_Macro_GetProperty(uint32_t* macro, int32_t property, int32_t capacity, void* buffer, uint32_t* sizeOut);
KA_STATUS KA_Macro_SetProperty(uint32_t* macro, int32_t property, const void* value, int32_t size);
KA_STATUS KA_Macro_Delete(uint32_t* macro);
KA_STATUS KA_Macro_Release(uint32_t* macro);

}  // namespace dm::binding

#endif  // DM_BINDING_KEEL_API_BINDING_H
