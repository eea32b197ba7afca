/*
 * KeelAPITest.h - the store's development interface.
 *
 * What tests and tools need beyond the 32 store functions: an interceptor
 * that sees every store call and may answer it instead of the store, a trace
 * of the calls, a count of open handles, and direct seeding and inspection of
 * objects.  None of this is used by the store's clients in production.
 *
 * Everything here is process-wide and serialised with the store's own lock.
 */
#ifndef KEEL_API_TEST_H
#define KEEL_API_TEST_H

#include <stddef.h>
#include <stdint.h>

#include "KeelAPI.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The 32 store functions, in the order a client binds them. */
typedef enum KeelFunction {
  KF_Init, KF_Free, KF_Execute, KF_GetApp, KF_GetIdentity, KF_GetProperty,
  KF_SetProperty, KF_CreateShortcut, KF_GetShortcut, KF_Id_GetProperty,
  KF_Id_SetProperty, KF_Id_Release, KF_Id_GetCard, KF_Id_GetCardByRefNum,
  KF_Id_CreateCard, KF_Id_GetMacro, KF_Id_CreateMacro, KF_App_GetProperty,
  KF_App_SetProperty, KF_App_Release, KF_Shortcut_GetProperty,
  KF_Shortcut_SetProperty, KF_Shortcut_Delete, KF_Shortcut_Release,
  KF_Card_GetProperty, KF_Card_SetProperty, KF_Card_Delete, KF_Card_Release,
  KF_Macro_GetProperty, KF_Macro_SetProperty, KF_Macro_Delete,
  KF_Macro_Release,
  KF_Count
} KeelFunction;

/* "KA_Init" ... "KA_Macro_Release"; null for a value out of range. */
KEEL_API const char* KeelTest_FunctionName(KeelFunction function);

/* One store call with its significant arguments.  Fields that the function
 * does not take are 0 (or null).  `handle` is the value in the caller's
 * handle variable on entry (0 when the pointer was null); `size` is the
 * capacity of a read or the size of a write; `text` is the domain, the
 * application name, the region or the KA_Execute payload.  `status` and
 * `intercepted` are filled in once the call has been answered. */
typedef struct KeelCall {
  KeelFunction function;
  uint32_t handle;
  int32_t property;
  int32_t attribute;
  int32_t size;
  int32_t category;
  int16_t mode;
  int16_t command;
  uint32_t finger;
  int64_t ref_num;
  const char* text;
  int16_t status;
  int32_t intercepted; /* 1 when the interceptor answered instead of the store */
} KeelCall;

/* An interceptor answers KEEL_PASS to let the store answer, or any status
 * (-32768 .. 32767) to answer that instead; the store then does nothing. */
#define KEEL_PASS 0x10000
typedef int32_t (*KeelInterceptorFn)(void* user, const KeelCall* call);

/* Installs (or, with a null fn, removes) the interceptor. */
KEEL_API void KeelTest_SetInterceptor(KeelInterceptorFn fn, void* user);

/* The trace: every call since the last clear, in order.  KeelTest_TraceGet
 * copies entry `index` into *out and answers 1, or answers 0 when there is no
 * such entry; out->text stays valid until the next KeelTest_TraceClear. */
KEEL_API size_t KeelTest_TraceSize(void);
KEEL_API int KeelTest_TraceGet(size_t index, KeelCall* out);
KEEL_API void KeelTest_TraceClear(void);

/* Handles handed out and not yet released, freed or deleted. */
KEEL_API uint32_t KeelTest_OpenHandles(void);

/* Drops every object, context and handle and starts again on an empty store
 * with the given backend: "memory" (the default when null).  Removes the
 * interceptor and clears the trace.  Answers KA_OK or a negative status. */
KEEL_API KA_STATUS KeelTest_Reset(const char* backend);

/* Seeding and inspection, by object id (a positive 64-bit value that stays
 * the same for the object's life; ids grow in creation order). */
typedef enum KeelObjectKind {
  KEEL_CONTEXT = 1, /* the store-wide settings object */
  KEEL_APP = 2,
  KEEL_IDENTITY = 3,
  KEEL_CARD = 4,
  KEEL_MACRO = 5,
  KEEL_SHORTCUT = 6
} KeelObjectKind;

/* Create objects directly; answer the new id or a negative status. */
KEEL_API int64_t KeelTest_SeedCard(const char* domain, int32_t category);
KEEL_API int64_t KeelTest_SeedMacro(uint32_t finger);
KEEL_API int64_t KeelTest_SeedShortcut(void);
/* The store-wide context object, the identity, and the App of `name`; each
 * is created when missing.  Answer the id or a negative status. */
KEEL_API int64_t KeelTest_ContextObject(void);
KEEL_API int64_t KeelTest_IdentityObject(void);
KEEL_API int64_t KeelTest_AppObject(const char* name);

/* Writes a property (size -1: NUL-terminated text, stored with its NUL). */
KEEL_API KA_STATUS KeelTest_SetProperty(int64_t object, int32_t property,
                                        int32_t attribute, const void* value,
                                        int32_t size);
/* Reads a property: *size gets the stored size; the value is copied when
 * capacity is large enough (else KA_E_BUFFER_TOO_SMALL); *attribute, when
 * not null, gets its attribute.  KA_E_NOT_STORED when absent. */
KEEL_API KA_STATUS KeelTest_GetProperty(int64_t object, int32_t property,
                                        void* buffer, int32_t capacity,
                                        int32_t* size, int32_t* attribute);
/* Ids of the live objects of a kind, in creation order: answers how many
 * there are and copies at most `capacity` of them into ids. */
KEEL_API size_t KeelTest_ListObjects(KeelObjectKind kind, int64_t* ids,
                                     size_t capacity);
/* The object a handle names (even a released one), or a negative status. */
KEEL_API int64_t KeelTest_ObjectOfHandle(uint32_t handle);
/* A card's reference number, or a negative status. */
KEEL_API int64_t KeelTest_CardRefNum(int64_t card);

#ifdef __cplusplus
}
#endif

#endif /* KEEL_API_TEST_H */
