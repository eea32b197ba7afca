/*
 * KeelAPI.h - the credential store's C interface.
 *
 * The store keeps objects, each a bag of numbered properties:
 *   context    one per process while initialised (KA_Init .. KA_Free); its
 *              properties are settings, stored or per process (see
 *              "Context properties")
 *   App        one per application name; property 1 is the name
 *   Identity   the user; owns cards and macros
 *   card       filed under a domain (also its property 1) and a category,
 *              with a unique 64-bit reference number
 *   macro      filed under a finger value
 *   shortcut   listed under the region "US"
 *
 * Handles.  Every handle is a 32-bit value that the caller keeps in a
 * variable and passes by address.  Each successful walk step, lookup or
 * create opens a NEW handle, which stays open until it is released, its
 * object is deleted through it, or the last KA_Free closes every handle.
 * KA_GetApp and KA_GetIdentity open a new handle only when none is open on
 * their object: otherwise they answer the open one again and count one more
 * reference to it; each release drops one reference, and the last one
 * closes the handle (the last KA_Free closes it whatever its count).  A
 * client may thus ask for both at every use without holding more handles.
 * A card, macro or shortcut handle keeps naming its object once closed, so
 * that a walk can go on from it (mode 2), as long as it is among the last
 * 1024 handles closed (a walk goes on from the handle just released); every
 * other call answers KA_E_BAD_HANDLE for it, as for a null pointer, 0, a
 * value never handed out, or a handle of another kind of object.  Release
 * and delete leave the caller's variable as it is.  When an object is
 * deleted through one handle, another handle still open on it answers
 * KA_E_BAD_HANDLE for its properties but must be released.  The store keeps
 * only the open handles and those last closed ones, so its memory follows
 * the handles a client holds, never the handles it was ever given.
 * Handles come from a counter: a value comes back only after the counter
 * has gone round all 2^32 - 1 values, and even then never while the store
 * still knows it (open, or among the last closed), so a value never names
 * two objects at once; a client that keeps a closed handle that long finds
 * it answering KA_E_BAD_HANDLE long before.
 *
 * Initialisation.  The first KA_Init opens the context and answers KA_OK;
 * while it is open a further KA_Init answers KA_E_ALREADY_INIT, writes the
 * same context handle and counts one more init (its application name is
 * ignored).  Each KA_Free with the open context handle counts one down; the
 * last one closes the context and every handle still open.  KA_Free with
 * anything but the open context handle (also when none is open) answers
 * KA_E_BAD_HANDLE and changes nothing.  KA_Init's 30-byte block must be all
 * zero, appName a non-empty text and `zero` 0, else KA_E_BAD_ARGUMENT.
 * Calls made on the context (KA_GetApp, KA_GetIdentity, KA_GetProperty,
 * KA_SetProperty, KA_CreateShortcut, KA_GetShortcut) answer
 * KA_E_NOT_INITIALIZED while no context is open, whatever the caller holds,
 * and KA_E_BAD_HANDLE when a context is open but the caller holds another
 * value (such as the handle of an earlier, freed context).  KA_GetApp opens
 * the App of the application name given to the KA_Init that opened the
 * context, creating it with its name as property 1 on first use.  Their
 * `zero` argument must be 0.
 *
 * Walks.  Objects are returned in creation order.  Modes: 1 the first object
 * of the filter, 2 the next object after the one in the caller's variable
 * (which may be released or deleted, but must be a handle of the same kind),
 * 3 (cards only) the first card of the domain and the category, as mode 1
 * but with the domain required.  Card walks filter by category, and by
 * domain too when the domain is not null (compared as exact bytes, case
 * matters); mode 2 applies that filter whatever mode began the walk.  Macro
 * walks filter by finger value; shortcut walks by region, and only "US" has
 * shortcuts.  An exhausted walk answers KA_E_END and leaves the caller's
 * variable unchanged.  Any other mode, or mode 3 without a domain, answers
 * KA_E_BAD_ARGUMENT.
 * KA_Id_GetCardByRefNum answers KA_E_END when no card has the number.
 *
 * Reads: capacity 0 with a null buffer answers the stored size in *sizeOut;
 * a capacity at least that size copies the value and sets *sizeOut; a
 * smaller capacity answers KA_E_BUFFER_TOO_SMALL and writes nothing (neither
 * the buffer nor *sizeOut).  sizeOut may be null.  A negative capacity, or a
 * null buffer with a positive capacity, answers KA_E_BAD_ARGUMENT; a
 * property never stored answers KA_E_NOT_STORED.
 * Writes: size -1 means a NUL-terminated text, which is stored with its
 * terminator; any other size is the value's byte count, 0 storing an empty
 * value (value may then be null).  A size below -1 or above 1 MiB (1048576
 * bytes, the largest value, NUL included), or a null value with a nonzero
 * size, answers KA_E_BAD_ARGUMENT.  A write replaces the whole value.
 *
 * Card and identity writes carry an attribute: 10 (KA_ATTR_SECRET) marks a
 * secret such as a password, -20 (KA_ATTR_PLAIN) an ordinary value; any
 * other value answers KA_E_BAD_ARGUMENT.  The other writes store -20.
 * KA_Id_CreateCard stores the domain as property 1 (a text with its NUL,
 * attribute -20); overwriting property 1 later does not refile the card.
 *
 * KA_Execute needs no context: command 2 (start an authentication, with an
 * XML payload of *length bytes) and command 3 (open a prompt with a command
 * text of *length bytes) answer KA_OK, or the device policy's answer (see
 * KeelAPITest.h); the payload may be null when *length is 0.  Another
 * command, a null length, or a null payload with a nonzero length answers
 * KA_E_BAD_ARGUMENT.
 *
 * Context properties.  Most are stored, shared by every process of the
 * user and kept after the context closes: 4 the enrolled-finger count
 * (the sensor's: clients read it, and KA_SetProperty answers
 * KA_E_BAD_ARGUMENT for it), 108 the skin index, 2001 the timestamp, and
 * any other number.  Two are kept per process, in memory with the open
 * context: KA_SetProperty changes them for this process's context only,
 * never in the store, so no other process sees the value, and none is left
 * behind when the context closes or the process ends (a crash included):
 *   103 the parent window handle, which means nothing in another process;
 *       a new context has none (KA_E_NOT_STORED until it writes one);
 *   104 the biometric attempt limit, which a client lowers for a moment
 *       around a write; a new context reads the stored value, the
 *       store-wide default that no client write changes (KA_E_NOT_STORED
 *       when there is none), until it writes its own.
 * The reads and writes of both follow every rule below, sizes included.
 *
 * Storage.  Objects and properties are kept in a per-user database (see
 * KeelAPITest.h for where it lives), shared by every process of the user:
 * a call that answers success has made its change durable, each call on its
 * own (there are no transactions across calls), and what other processes
 * wrote is seen by the next call.
 *
 * New cards are pending.  A card made by KA_Id_CreateCard is seen only by
 * the process that made it (its walks, lookups and counts) until that
 * process releases it with KA_Card_Release on the handle KA_Id_CreateCard
 * gave: from then on every process sees it, with every property written
 * before the release.  So a profile written as several calls (the card, its
 * user name, its password, ...) appears to others whole or not at all.  A
 * card whose making handle is closed any other way (the last KA_Free, the
 * process ending, a crash) stays unseen by others, and is removed when the
 * store is next opened by a process, once the store that made it has
 * closed or its process has ended.  That release answers KA_E_STORAGE
 * (and leaves the handle open) when the card cannot be shown to others,
 * such as when the database cannot be written; releasing any other handle
 * cannot fail.  Deleting a pending card removes it at once.  Without other
 * processes (the store kept in memory) pending cards are like any other.
 *
 * Values written with attribute 10 are kept encrypted; reading one passes
 * the user's authentication, which may refuse it with KA_E_AUTH_REFUSED or
 * KA_E_AUTH_CANCELLED.  A store that cannot be read or written (damaged,
 * written by a newer version, on a full disk or a folder that cannot be
 * written) answers KA_E_STORAGE and is left as it is.
 *
 * Checks come in this order: the handle the call is made on, then the other
 * arguments, then the storage.  Every function may be called from any
 * thread; the store serialises them with one process-wide lock.
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

/* Statuses: 0 or more is success, negative is failure.  These are all the
 * store answers, except that an interceptor (KeelAPITest.h) may answer any
 * value in their place. */
#define KA_OK 0
#define KA_E_END (-1)              /* a walk is exhausted; no such object */
#define KA_E_BAD_HANDLE (-2)       /* null, unknown, released or deleted handle */
#define KA_E_ALREADY_INIT (-3)     /* KA_Init: already initialised (a success) */
#define KA_E_BAD_ARGUMENT (-4)     /* null pointer, bad mode, size out of range */
#define KA_E_BUFFER_TOO_SMALL (-5) /* read capacity below the stored size */
#define KA_E_AUTH_REFUSED (-6)     /* the user's authentication was refused
                                      (a read of a secret value) */
#define KA_E_STORAGE (-7)          /* the storage failed (I/O, a full disk,
                                      a damaged or unreadable store, a secret
                                      whose seal does not open, out of
                                      memory); nothing was changed */
/*      -8 is reserved for the caller's binding: function missing */
#define KA_E_AUTH_CANCELLED (-9)   /* the user cancelled the authentication
                                      (a read of a secret value) */
#define KA_E_NOT_INITIALIZED (-10) /* no context: KA_Init was not called */
#define KA_E_NOT_STORED (-17)      /* the property was never stored */

#define KA_ATTR_SECRET 10
#define KA_ATTR_PLAIN (-20)

typedef int16_t KA_STATUS;

KEEL_API KA_STATUS KEEL_CALL KA_Init(const uint8_t* zeros30, const char* appName, uint32_t zero,
                                     uint32_t* context);
KEEL_API KA_STATUS KEEL_CALL KA_Free(uint32_t* context);
KEEL_API KA_STATUS KEEL_CALL KA_Execute(int16_t command, const char* payload, uint32_t* length);
KEEL_API KA_STATUS KEEL_CALL KA_GetApp(uint32_t* context, uint32_t zero, uint32_t* app);
KEEL_API KA_STATUS KEEL_CALL KA_GetIdentity(uint32_t* context, uint32_t zero, uint32_t* identity);
KEEL_API KA_STATUS KEEL_CALL KA_GetProperty(uint32_t* context, int32_t property, int32_t capacity,
                                            void* buffer, uint32_t* sizeOut);
KEEL_API KA_STATUS KEEL_CALL KA_SetProperty(uint32_t* context, int32_t property, const void* value,
                                            int32_t size);
KEEL_API KA_STATUS KEEL_CALL KA_CreateShortcut(uint32_t* context, uint32_t* shortcut);
KEEL_API KA_STATUS KEEL_CALL KA_GetShortcut(uint32_t* context, const char* region, int16_t mode,
                                            uint32_t* shortcut);
KEEL_API KA_STATUS KEEL_CALL KA_Id_GetProperty(uint32_t* identity, int32_t property,
                                               int32_t capacity, void* buffer, uint32_t* sizeOut);
KEEL_API KA_STATUS KEEL_CALL KA_Id_SetProperty(uint32_t* identity, int32_t attribute,
                                               int32_t property, const void* value, int32_t size);
KEEL_API KA_STATUS KEEL_CALL KA_Id_Release(uint32_t* identity);
KEEL_API KA_STATUS KEEL_CALL KA_Id_GetCard(uint32_t* identity, const char* domain, int32_t category,
                                           int16_t mode, uint32_t* card);
KEEL_API KA_STATUS KEEL_CALL KA_Id_GetCardByRefNum(uint32_t* identity, int64_t refNum,
                                                   uint32_t* card);
KEEL_API KA_STATUS KEEL_CALL KA_Id_CreateCard(uint32_t* identity, const char* domain,
                                              int32_t category, uint32_t* card);
KEEL_API KA_STATUS KEEL_CALL KA_Id_GetMacro(uint32_t* identity, uint32_t finger, int16_t mode,
                                            uint32_t* macro);
KEEL_API KA_STATUS KEEL_CALL KA_Id_CreateMacro(uint32_t* identity, uint32_t finger,
                                               uint32_t* macro);
KEEL_API KA_STATUS KEEL_CALL KA_App_GetProperty(uint32_t* app, int32_t property, int32_t capacity,
                                                void* buffer, uint32_t* sizeOut);
KEEL_API KA_STATUS KEEL_CALL KA_App_SetProperty(uint32_t* app, int32_t property, const void* value,
                                                int32_t size);
KEEL_API KA_STATUS KEEL_CALL KA_App_Release(uint32_t* app);
KEEL_API KA_STATUS KEEL_CALL KA_Shortcut_GetProperty(uint32_t* shortcut, int32_t property,
                                                     int32_t capacity, void* buffer,
                                                     uint32_t* sizeOut);
KEEL_API KA_STATUS KEEL_CALL KA_Shortcut_SetProperty(uint32_t* shortcut, int32_t property,
                                                     const void* value, int32_t size);
KEEL_API KA_STATUS KEEL_CALL KA_Shortcut_Delete(uint32_t* shortcut);
KEEL_API KA_STATUS KEEL_CALL KA_Shortcut_Release(uint32_t* shortcut);
KEEL_API KA_STATUS KEEL_CALL KA_Card_GetProperty(uint32_t* card, int32_t property, int32_t capacity,
                                                 void* buffer, uint32_t* sizeOut);
KEEL_API KA_STATUS KEEL_CALL KA_Card_SetProperty(uint32_t* card, int32_t attribute,
                                                 int32_t property, const void* value, int32_t size);
KEEL_API KA_STATUS KEEL_CALL KA_Card_Delete(uint32_t* card);
KEEL_API KA_STATUS KEEL_CALL KA_Card_Release(uint32_t* card);
KEEL_API KA_STATUS KEEL_CALL KA_Macro_GetProperty(uint32_t* macro, int32_t property,
                                                  int32_t capacity, void* buffer,
                                                  uint32_t* sizeOut);
KEEL_API KA_STATUS KEEL_CALL KA_Macro_SetProperty(uint32_t* macro, int32_t property,
                                                  const void* value, int32_t size);
KEEL_API KA_STATUS KEEL_CALL KA_Macro_Delete(uint32_t* macro);
KEEL_API KA_STATUS KEEL_CALL KA_Macro_Release(uint32_t* macro);

#ifdef __cplusplus
}
#endif

#endif /* KEEL_API_H */
