/*
 * sys/KeelBackend.h - the storage seam of the credential store.
 *
 * For those who write a storage backend, not for the store's clients.  The
 * store is split in two:
 *   the engine   owns every rule a client sees: handles and their states,
 *                walk modes, argument checks, statuses, the init count, the
 *                interceptor, the trace and the process-wide lock;
 *   a backend    keeps objects and their numbered properties, and nothing
 *                else.  It never sees a handle and never checks a client's
 *                argument; it answers only what is stored.
 * The engine calls a backend through the table of operations below, always
 * under the store's lock, so a backend needs no lock of its own.
 *
 * Transactions: the engine wraps every store call in begin .. commit (or
 * rollback), and only publishes its own effects (new handles, closed
 * handles) after commit succeeded.  A persistent backend makes each store
 * call one transaction; the memory backend keeps an undo journal.
 * Transactions are never nested.
 *
 * Secrets: a value stored with attribute KA_ATTR_SECRET is kept sealed by a
 * persistent backend (encrypted, and bound to its object and property), so
 * that the stored data alone does not reveal it.  A seal that does not open
 * (tampered, moved to another object, or its key missing) answers
 * KA_E_STORAGE, never the stored bytes.
 *
 * Every operation answers a status from KeelAPI.h:
 *   KA_OK            done
 *   KA_E_END         no such object / no further object of the filter
 *   KA_E_NOT_STORED  (get_property) the object lives but lacks the property
 *   KA_E_BAD_ARGUMENT a request the operation does not serve (a kind that
 *                    find_or_create does not know, a missing domain, ...)
 *   KA_E_STORAGE     the storage failed (I/O, damaged data, out of memory)
 *   KEEL_BACKEND_BUSY another process holds the storage.  A backend answers
 *                    this at once rather than wait: the engine rolls back,
 *                    waits without the store's lock, and runs the whole
 *                    store call again, so this status never reaches a
 *                    client.
 * and writes its out-parameters only when it answers KA_OK.  No operation
 * lets a C++ exception escape.
 *
 * Object ids are positive, grow in creation order and are never reused by a
 * backend; "creation order" everywhere below means ascending id.
 *
 * Pending objects: an object created pending is seen only by the backend
 * that created it (this process's, while it stays open) until
 * publish_object; every other user of the same storage finds it through
 * neither next_object, find_card_by_ref nor list_objects.  A persistent
 * backend removes, whenever it is opened, the pending objects of the
 * backends that ended (closed, or their process died) without publishing
 * them.  A backend that no other process shares (memory) has nobody to hide
 * them from and treats them as any other object.
 */
#ifndef KEEL_BACKEND_H
#define KEEL_BACKEND_H

#include <stddef.h>
#include <stdint.h>

#include "KeelAPITest.h" /* KeelObjectKind and the status values */

#ifdef __cplusplus
extern "C" {
#endif

/* Raised whenever the table below changes shape. */
#define KEEL_BACKEND_VERSION 3

/* See the statuses above: a value that no store function answers. */
#define KEEL_BACKEND_BUSY (-1000)

/* Receives one line of text (without its line end) from verify(). */
typedef void (*KeelLineSink)(void* user, const char* line);

/* What a new object is filed under.  Fields that the kind does not use are
 * 0 or null and are ignored. */
typedef struct KeelObjectFiling {
  KeelObjectKind kind;
  int64_t parent;     /* the owning object's id (the identity for cards and
                         macros, the context object for shortcuts), or 0 */
  const char* domain; /* card: its domain, NUL-terminated, required */
  int32_t category;   /* card */
  uint32_t finger;    /* macro */
  const char* region; /* shortcut: its region, NUL-terminated, required */
  const char* name;   /* App: the application name, NUL-terminated */
  int32_t pending;    /* create_object: 1 to create the object pending */
} KeelObjectFiling;

/* The fixed facts of a live object. */
typedef struct KeelObjectInfo {
  KeelObjectKind kind;
  int64_t parent;
  int64_t ref_num; /* cards only, else 0 */
  int32_t category;
  uint32_t finger;
} KeelObjectInfo;

/* Which objects a walk visits.  Domains and regions compare as exact bytes
 * (case matters). */
typedef enum KeelFilterBy {
  KEEL_BY_KIND = 0,            /* every object of `kind` */
  KEEL_BY_CATEGORY = 1,        /* cards of `category`, any domain */
  KEEL_BY_CATEGORY_DOMAIN = 2, /* cards of `category` filed under `domain` */
  KEEL_BY_DOMAIN = 3,          /* cards filed under `domain`, any category */
  KEEL_BY_FINGER = 4,          /* macros of `finger` */
  KEEL_BY_REGION = 5           /* shortcuts listed under `region` */
} KeelFilterBy;

typedef struct KeelFilter {
  KeelObjectKind kind;
  KeelFilterBy by;
  int32_t category;
  const char* domain;
  uint32_t finger;
  const char* region;
} KeelFilter;

typedef struct KeelBackend KeelBackend;

/* The operations.  An implementation embeds this struct as its first member
 * and fills in every pointer; `self` is always the struct it was called
 * through. */
struct KeelBackend {
  /* KEEL_BACKEND_VERSION of the header the backend was built with. */
  unsigned int version;

  /* Opens a transaction.  KA_OK, or KA_E_STORAGE (nothing is open then).
   * Outside a transaction every operation stands alone. */
  int (*begin)(KeelBackend* self);

  /* Makes every change since begin durable and closes the transaction.
   * KA_OK; on KA_E_STORAGE the changes are rolled back and the transaction
   * is closed all the same. */
  int (*commit)(KeelBackend* self);

  /* Undoes every change since begin and closes the transaction.  Cannot
   * fail; without an open transaction it does nothing. */
  void (*rollback)(KeelBackend* self);

  /* Creates an object filed as `filing` says, without properties.  On KA_OK
   * *id gets its new id (greater than every id handed out before) and, when
   * ref_num is not null, *ref_num gets the card's reference number: nonzero,
   * positive and unique among the backend's cards (0 for other kinds).
   * KA_E_BAD_ARGUMENT for a card without a domain or a shortcut without a
   * region; KA_E_STORAGE. */
  int (*create_object)(KeelBackend* self, const KeelObjectFiling* filing,
                       int64_t* id, int64_t* ref_num);

  /* The one object of a singleton kind: KEEL_CONTEXT, KEEL_IDENTITY, or the
   * KEEL_APP of filing->name.  When it is missing it is created as by
   * create_object.  On KA_OK *id gets its id and *created (when not null)
   * 1 if it was just created, else 0.  KA_E_BAD_ARGUMENT for another kind or
   * an App without a name; KA_E_STORAGE. */
  int (*find_or_create)(KeelBackend* self, const KeelObjectFiling* filing,
                        int64_t* id, int* created);

  /* Removes an object and all its properties.  Its id is never handed out
   * again.  KA_OK, KA_E_END when there is no such object, KA_E_STORAGE. */
  int (*delete_object)(KeelBackend* self, int64_t id);

  /* Makes a pending object seen by every user of the storage (see "Pending
   * objects").  KA_OK, also for an object that was not pending; KA_E_END
   * when there is no such object; KA_E_STORAGE. */
  int (*publish_object)(KeelBackend* self, int64_t id);

  /* Fills *info with a live object's fixed facts.  KA_OK, KA_E_END when
   * there is no such object, KA_E_STORAGE. */
  int (*describe_object)(KeelBackend* self, int64_t id, KeelObjectInfo* info);

  /* Reads property `number` of `object`.  On KA_OK *size gets the stored
   * byte count and *attribute (when not null) its attribute; the value is
   * copied into buffer only when buffer is not null and capacity >= *size,
   * otherwise buffer is left untouched.  KA_E_END when there is no such
   * object, KA_E_NOT_STORED when it lacks the property, KA_E_STORAGE. */
  int (*get_property)(KeelBackend* self, int64_t object, int32_t number,
                      void* buffer, size_t capacity, size_t* size,
                      int32_t* attribute);

  /* Stores `size` bytes at `value` (null only when size is 0) with
   * `attribute` as property `number` of `object`, replacing any earlier
   * value.  KA_OK, KA_E_END when there is no such object, KA_E_STORAGE. */
  int (*set_property)(KeelBackend* self, int64_t object, int32_t number,
                      int32_t attribute, const void* value, size_t size);

  /* The first live object of `filter` whose id is greater than `after`
   * (after 0: the first of all).  A persistent backend answers this from an
   * index, never by rescanning.  On KA_OK *id gets it.  KA_E_END when there
   * is none, KA_E_BAD_ARGUMENT for a filter that lacks its domain or region,
   * KA_E_STORAGE. */
  int (*next_object)(KeelBackend* self, const KeelFilter* filter,
                     int64_t after, int64_t* id);

  /* The live card of a reference number.  KA_OK with *id, KA_E_END when no
   * card has it, KA_E_STORAGE. */
  int (*find_card_by_ref)(KeelBackend* self, int64_t ref_num, int64_t* id);

  /* The ids of the live objects of `kind` in creation order: *count gets
   * how many there are, and the first min(count, capacity) are copied into
   * ids (which may be null when capacity is 0).  KA_OK or KA_E_STORAGE. */
  int (*list_objects)(KeelBackend* self, KeelObjectKind kind, int64_t* ids,
                      size_t capacity, size_t* count);

  /* The smallest property number of `object` greater than `after` (pass
   * INT64_MIN for the first).  On KA_OK *number gets it.  KA_E_END when there
   * is none or no such object, KA_E_STORAGE. */
  int (*next_property)(KeelBackend* self, int64_t object, int64_t after,
                       int32_t* number);

  /* The file the backend keeps its data in, NUL-terminated, or "" when it
   * keeps none.  Valid until destroy. */
  const char* (*location)(KeelBackend* self);

  /* Checks that the stored data is sound: the storage's own structure and
   * every secret's seal.  Each problem found is one line through `sink`;
   * values are never written.  KA_OK when nothing was found, KA_E_STORAGE
   * when something was (or the check itself failed).  Outside a
   * transaction. */
  int (*verify)(KeelBackend* self, KeelLineSink sink, void* user);

  /* Releases everything the backend holds, `self` included.  A persistent
   * backend closes its files; the data stays where it is. */
  void (*destroy)(KeelBackend* self);
};

#ifdef __cplusplus
}
#endif

#endif /* KEEL_BACKEND_H */
