/*
 * KeelAPITest.h - the store's development interface.
 *
 * What tests and tools need beyond the 32 store functions: an interceptor
 * that sees every store call and may answer it instead of the store, a trace
 * of the calls, a count of open handles, and direct seeding and inspection of
 * objects.  None of this is used by the store's clients in production, and
 * only the development build of the store exports it (libKeelAPIDev.so,
 * KeelAPIDev.dll): the production store (libKeelAPI.so, KeelAPI.dll) has
 * none of these functions.  A program that calls them links KeelAPIDev; a
 * program that may meet either store looks them up at run time.
 *
 * Everything here is process-wide and serialised with the store's own lock.
 * None of these functions is intercepted or traced.
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

/* "KA_Init" ... "KA_Macro_Release"; null for a value out of range (KF_Count
 * included). */
KEEL_API const char* KeelTest_FunctionName(KeelFunction function);

/* One store call with its significant arguments.  Fields that the function
 * does not take are 0 (or null).  `handle` is the value in the caller's
 * handle variable on entry (0 when the pointer was null, and for KA_Init
 * and KA_Execute, which are made on no handle; for a walk it is the handle
 * walked under, not the one walked from); `size` is the capacity of a read,
 * the size of a write, or KA_Execute's *length; `text` is a copy of the
 * domain, the application name, the region or the KA_Execute payload (at
 * most 1 MiB, and for KA_Execute at most *length bytes).  `status` and
 * `intercepted` are 0 while the interceptor looks at the call and are
 * filled in once the call has been answered. */
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
 * (-32768 .. 32767) to answer that instead; the store then does nothing and
 * leaves every out-parameter untouched.  A value outside that range counts
 * as KEEL_PASS.  The call is traced either way.
 *
 * The interceptor runs WITHOUT the store's lock: it may call any KeelTest_
 * function, and even the store functions (those calls are intercepted and
 * traced in their turn, before the call that made them).  With several
 * threads it may run concurrently, so it must guard its own state. */
#define KEEL_PASS 0x10000
typedef int32_t (*KeelInterceptorFn)(void* user, const KeelCall* call);

/* Installs (or, with a null fn, removes) the interceptor.  A call already
 * being answered may still see the previous one. */
KEEL_API void KeelTest_SetInterceptor(KeelInterceptorFn fn, void* user);

/* The trace: every call since the last clear, in the order they were
 * answered, up to the trace limit (see KeelTest_SetTraceLimit).
 * KeelTest_TraceGet copies entry `index` into *out and answers 1, or answers
 * 0 when there is no such entry or out is null; out->text stays valid while
 * the entry is in the trace (until KeelTest_TraceClear, KeelTest_Reset, or
 * the limit drops it). */
KEEL_API size_t KeelTest_TraceSize(void);
KEEL_API int KeelTest_TraceGet(size_t index, KeelCall* out);
KEEL_API void KeelTest_TraceClear(void);

/* The trace keeps at most `limit` calls, dropping the oldest first, so that
 * a long-running process does not grow without bound.  A limit of 0 stops
 * tracing.  Lowering the limit drops the oldest entries at once.  A process
 * starts with tracing off, so the store's clients pay nothing for it;
 * KeelTest_Reset turns it on with a limit of 65536. */
KEEL_API void KeelTest_SetTraceLimit(size_t limit);

/* Handles handed out and not yet released, freed or deleted; the open
 * context handle counts as one, and so does the App or identity handle that
 * repeated KA_GetApp or KA_GetIdentity calls share. */
KEEL_API uint32_t KeelTest_OpenHandles(void);

/* Drops every handle and the open context (and the init count), and starts
 * again on the backend named:
 *   "memory" (also null)  a new, empty store in memory;
 *   "sqlite"              the store's own database, as a process starts
 *                         with when nobody calls this: KEELAPI_DB when set,
 *                         else $XDG_DATA_HOME/Halvorn/keel.db, else
 *                         ~/.local/share/Halvorn/keel.db.  It is opened (and
 *                         created) by the first call that needs it, with
 *                         the environment as it is then; while it cannot be
 *                         opened, every call answers an error status and
 *                         the next one tries again;
 *   "sqlite:<path>"       the database at path, opened now and created (with
 *                         its folder) when missing, holding whatever it
 *                         held.
 * Removes the interceptor and the authentication and device policies,
 * clears the trace and restores its limit, and leaves out of
 * KeelAdmin_Check the repairs made to the files of the stores before.  Handle numbers go on from where
 * they were (see KeelAPI.h: a number comes back only after the 32-bit
 * counter wrapped, and never while it is open or among the last closed
 * ones); the handles from before the reset answer KA_E_BAD_HANDLE.  Answers
 * KA_OK; KA_E_BAD_ARGUMENT for another name (and for the SQLite names in a
 * build without that backend) and KA_E_STORAGE when "sqlite:<path>" cannot
 * be opened, changing nothing in either case. */
KEEL_API KA_STATUS KeelTest_Reset(const char* backend);

/* The authentication policy: asked before a store function hands out (or
 * tells the size of) a value stored with attribute 10 (KA_ATTR_SECRET),
 * with the object id and the property number.  It answers KA_OK to allow
 * the read; any other answer refuses it, and the read answers that status
 * (such as KA_E_AUTH_REFUSED or KA_E_AUTH_CANCELLED; a positive answer
 * counts as KA_E_AUTH_REFUSED).  A refused read writes nothing.  Without
 * a policy (the default, and after KeelTest_Reset) every read is allowed.
 * The development functions here are never refused.
 *
 * The policy runs under the store's lock: it must not call the store or
 * this interface. */
typedef int16_t (*KeelAuthPolicyFn)(void* user, int64_t object, int32_t property);

/* Installs (or, with a null fn, removes) the authentication policy. */
KEEL_API void KeelTest_SetAuthPolicy(KeelAuthPolicyFn fn, void* user);

/* The device policy: no fingerprint sensor and no one-time-password prompt
 * are attached to this store, so KA_Execute cannot start an authentication
 * or open a prompt.  The policy answers in their place: it is asked for
 * every well-formed KA_Execute call (command 2 or 3, a payload of `length`
 * bytes, null only when length is 0) and its answer is what KA_Execute
 * answers (KEEL_BACKEND_BUSY counts as KA_E_STORAGE).  Without a policy
 * (the default, and after KeelTest_Reset) every such command is accepted
 * with KA_OK.  Every call, accepted or not, is recorded in the trace with
 * its command, length and payload.
 *
 * The enrolled-finger count a sensor would report is the context's
 * property 4, which clients can only read (KA_SetProperty answers
 * KA_E_BAD_ARGUMENT for it); set it with KeelTest_SetProperty on
 * KeelTest_ContextObject().  A store that holds no count answers
 * KA_E_NOT_STORED, as a machine without a sensor does.  The
 * one-time-password service's values are identity properties: 1001 the
 * credential ID, 21 and 22 the current passwords, best stored with
 * KA_ATTR_SECRET so that the authentication policy decides their reads.
 *
 * The policy runs under the store's lock: it must not call the store or
 * this interface. */
typedef int16_t (*KeelExecutePolicyFn)(void* user, int16_t command, const char* payload,
                                       uint32_t length);

/* Installs (or, with a null fn, removes) the device policy. */
KEEL_API void KeelTest_SetExecutePolicy(KeelExecutePolicyFn fn, void* user);

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

/* Create objects directly, without handles, as the store functions would
 * (cards and macros under the identity, created when missing; a card with
 * its domain as property 1 and a fresh reference number; a shortcut under
 * "US").  Answer the new id, or KA_E_BAD_ARGUMENT for a null or over-long
 * domain, or KA_E_STORAGE. */
KEEL_API int64_t KeelTest_SeedCard(const char* domain, int32_t category);
KEEL_API int64_t KeelTest_SeedMacro(uint32_t finger);
KEEL_API int64_t KeelTest_SeedShortcut(void);
/* The store-wide context object, the identity, and the App of `name`; each
 * is created when missing (an App with its name as property 1).  Answer the
 * id, or KA_E_BAD_ARGUMENT for a null or empty name, or KA_E_STORAGE. */
KEEL_API int64_t KeelTest_ContextObject(void);
KEEL_API int64_t KeelTest_IdentityObject(void);
KEEL_API int64_t KeelTest_AppObject(const char* name);

/* Writes a property (size -1: NUL-terminated text, stored with its NUL)
 * with any attribute, under the size rules of the store's writes.  KA_OK,
 * KA_E_BAD_ARGUMENT, KA_E_END when there is no such object. */
KEEL_API KA_STATUS KeelTest_SetProperty(int64_t object, int32_t property,
                                        int32_t attribute, const void* value,
                                        int32_t size);
/* Reads a property: *size (when not null) gets the stored size and
 * *attribute (when not null) its attribute; the value is copied when
 * capacity is large enough, else the answer is KA_E_BUFFER_TOO_SMALL with
 * *size and *attribute still set.  A null buffer with capacity 0 only asks
 * for the size (KA_OK).  KA_E_NOT_STORED when absent, KA_E_END when there is
 * no such object, KA_E_BAD_ARGUMENT for a negative capacity or a null buffer
 * with a positive one. */
KEEL_API KA_STATUS KeelTest_GetProperty(int64_t object, int32_t property,
                                        void* buffer, int32_t capacity,
                                        int32_t* size, int32_t* attribute);
/* Ids of the live objects of a kind, in creation order: answers how many
 * there are and copies at most `capacity` of them into ids (nothing when ids
 * is null).  0 for a value that is not a kind. */
KEEL_API size_t KeelTest_ListObjects(KeelObjectKind kind, int64_t* ids,
                                     size_t capacity);
/* The object a handle names: an open one, or one among the last 1024
 * closed (released, or whose object was deleted); KA_E_BAD_HANDLE for any
 * other value. */
KEEL_API int64_t KeelTest_ObjectOfHandle(uint32_t handle);
/* A card's reference number, or KA_E_END when `card` is not a live card. */
KEEL_API int64_t KeelTest_CardRefNum(int64_t card);

#ifdef __cplusplus
}
#endif

#endif /* KEEL_API_TEST_H */
