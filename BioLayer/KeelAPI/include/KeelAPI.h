/*
 * KeelAPI.h - the credential store's C interface.
 *
 * The store keeps objects, each a bag of numbered properties:
 *   context    one per process while initialised (KA_Init .. KA_Free); its
 *              properties are store-wide settings (skin index, attempt limit,
 *              enrollment count, ...)
 *   App        one per application name; property 1 is the name
 *   Identity   the user; owns cards and macros
 *   card       filed under a domain (also its property 1) and a category,
 *              with a unique 64-bit reference number
 *   macro      filed under a finger value
 *   shortcut   listed under the region "US"
 *
 * Every handle is a 32-bit value that the caller keeps in a variable and
 * passes by address.  Handles are never reused within a process, and a handle
 * keeps naming its object after the object was released or deleted, so a walk
 * can go on from it (mode 2).  Objects are returned in creation order.
 *
 * Walk modes: 1 the first object of the filter, 2 the next object after the
 * one in the caller's variable, 3 (cards only) the first card of the domain.
 * An exhausted walk answers KA_E_END.  A null domain lists every card of the
 * category.
 *
 * Reads: capacity 0 with a null buffer answers the stored size in *sizeOut;
 * a capacity at least that size copies the value; a smaller capacity answers
 * KA_E_BUFFER_TOO_SMALL and writes nothing.  sizeOut may be null.
 * Writes: size -1 means a NUL-terminated text, which is stored with its
 * terminator; any other size is the value's byte count.
 *
 * Card attribute 10 marks a secret (a password); -20 an ordinary value.
 */
#ifndef KEEL_API_H
#define KEEL_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#if defined(KEELAPI_BUILDING)
#define KEEL_API __declspec(dllexport)
#else
#define KEEL_API __declspec(dllimport)
#endif
#define KEEL_CALL __stdcall
#else
#define KEEL_API __attribute__((visibility("default")))
#define KEEL_CALL
#endif

/* Statuses: 0 or more is success, negative is failure. */
#define KA_OK 0
#define KA_E_END (-1)              /* a walk is exhausted; no such object */
#define KA_E_BAD_HANDLE (-2)       /* null, unknown, released or deleted handle */
#define KA_E_ALREADY_INIT (-3)     /* KA_Init: already initialised (a success) */
#define KA_E_BAD_ARGUMENT (-4)     /* null pointer, bad mode, size out of range */
#define KA_E_BUFFER_TOO_SMALL (-5) /* read capacity below the stored size */
#define KA_E_AUTH_REFUSED (-6)     /* the user's authentication was refused */
#define KA_E_STORAGE (-7)          /* the storage failed (I/O, damaged data) */
/*      -8 is reserved for the caller's binding: function missing */
#define KA_E_AUTH_CANCELLED (-9)   /* the user cancelled the authentication */
#define KA_E_NOT_INITIALIZED (-10) /* no context: KA_Init was not called */
#define KA_E_NOT_STORED (-17)      /* the property was never stored */

#define KA_ATTR_SECRET 10
#define KA_ATTR_PLAIN (-20)

typedef int16_t KA_STATUS;

KEEL_API KA_STATUS KEEL_CALL KA_Init(const uint8_t* zeros30, const char* appName, uint32_t zero, uint32_t* context);
KEEL_API KA_STATUS KEEL_CALL KA_Free(uint32_t* context);
KEEL_API KA_STATUS KEEL_CALL KA_Execute(int16_t command, const char* payload, uint32_t* length);
KEEL_API KA_STATUS KEEL_CALL KA_GetApp(uint32_t* context, uint32_t zero, uint32_t* app);
KEEL_API KA_STATUS KEEL_CALL KA_GetIdentity(uint32_t* context, uint32_t zero, uint32_t* identity);
KEEL_API KA_STATUS KEEL_CALL KA_GetProperty(uint32_t* context, int32_t property, int32_t capacity, void* buffer, uint32_t* sizeOut);
KEEL_API KA_STATUS KEEL_CALL KA_SetProperty(uint32_t* context, int32_t property, const void* value, int32_t size);
KEEL_API KA_STATUS KEEL_CALL KA_CreateShortcut(uint32_t* context, uint32_t* shortcut);
KEEL_API KA_STATUS KEEL_CALL KA_GetShortcut(uint32_t* context, const char* region, int16_t mode, uint32_t* shortcut);
KEEL_API KA_STATUS KEEL_CALL KA_Id_GetProperty(uint32_t* identity, int32_t property, int32_t capacity, void* buffer, uint32_t* sizeOut);
KEEL_API KA_STATUS KEEL_CALL KA_Id_SetProperty(uint32_t* identity, int32_t attribute, int32_t property, const void* value, int32_t size);
KEEL_API KA_STATUS KEEL_CALL KA_Id_Release(uint32_t* identity);
KEEL_API KA_STATUS KEEL_CALL KA_Id_GetCard(uint32_t* identity, const char* domain, int32_t category, int16_t mode, uint32_t* card);
KEEL_API KA_STATUS KEEL_CALL KA_Id_GetCardByRefNum(uint32_t* identity, int64_t refNum, uint32_t* card);
KEEL_API KA_STATUS KEEL_CALL KA_Id_CreateCard(uint32_t* identity, const char* domain, int32_t category, uint32_t* card);
KEEL_API KA_STATUS KEEL_CALL KA_Id_GetMacro(uint32_t* identity, uint32_t finger, int16_t mode, uint32_t* macro);
KEEL_API KA_STATUS KEEL_CALL KA_Id_CreateMacro(uint32_t* identity, uint32_t finger, uint32_t* macro);
KEEL_API KA_STATUS KEEL_CALL KA_App_GetProperty(uint32_t* app, int32_t property, int32_t capacity, void* buffer, uint32_t* sizeOut);
KEEL_API KA_STATUS KEEL_CALL KA_App_SetProperty(uint32_t* app, int32_t property, const void* value, int32_t size);
KEEL_API KA_STATUS KEEL_CALL KA_App_Release(uint32_t* app);
KEEL_API KA_STATUS KEEL_CALL KA_Shortcut_GetProperty(uint32_t* shortcut, int32_t property, int32_t capacity, void* buffer, uint32_t* sizeOut);
KEEL_API KA_STATUS KEEL_CALL KA_Shortcut_SetProperty(uint32_t* shortcut, int32_t property, const void* value, int32_t size);
KEEL_API KA_STATUS KEEL_CALL KA_Shortcut_Delete(uint32_t* shortcut);
KEEL_API KA_STATUS KEEL_CALL KA_Shortcut_Release(uint32_t* shortcut);
KEEL_API KA_STATUS KEEL_CALL KA_Card_GetProperty(uint32_t* card, int32_t property, int32_t capacity, void* buffer, uint32_t* sizeOut);
KEEL_API KA_STATUS KEEL_CALL KA_Card_SetProperty(uint32_t* card, int32_t attribute, int32_t property, const void* value, int32_t size);
KEEL_API KA_STATUS KEEL_CALL KA_Card_Delete(uint32_t* card);
KEEL_API KA_STATUS KEEL_CALL KA_Card_Release(uint32_t* card);
KEEL_API KA_STATUS KEEL_CALL KA_Macro_GetProperty(uint32_t* macro, int32_t property, int32_t capacity, void* buffer, uint32_t* sizeOut);
KEEL_API KA_STATUS KEEL_CALL KA_Macro_SetProperty(uint32_t* macro, int32_t property, const void* value, int32_t size);
KEEL_API KA_STATUS KEEL_CALL KA_Macro_Delete(uint32_t* macro);
KEEL_API KA_STATUS KEEL_CALL KA_Macro_Release(uint32_t* macro);

#ifdef __cplusplus
}
#endif

#endif /* KEEL_API_H */
