/*
 * KeelAPIAdmin.h - the store's administration interface.
 *
 * What a support tool needs to look at a user's store without going through
 * handles: which file it is, how many objects of each kind it holds, whether
 * it is sound, and its contents for a support request.  Every function works
 * on the store this process uses (the store's own database unless a test
 * chose another backend through KeelTest_Reset), opens it when that has not
 * happened yet, and runs under the store's lock.  None is traced or seen by
 * the interceptor, and none ever hands out a secret value unless asked to
 * in so many words (KEEL_EXPORT_SECRETS).
 */
#ifndef KEEL_API_ADMIN_H
#define KEEL_API_ADMIN_H

#include <stddef.h>
#include <stdint.h>

#include "KeelAPI.h"
#include "KeelAPITest.h" /* KeelObjectKind */

#ifdef __cplusplus
extern "C" {
#endif

/* Receives one piece of text, NUL-terminated.  It is called under the
 * store's lock: it must not call the store or this interface. */
typedef void (*KeelAdminSink)(void* user, const char* text);

/* The database file of the store this process uses, as a NUL-terminated
 * text: *size gets its length with the NUL, and the text is copied when
 * capacity is at least that.  The text is empty for a store kept in memory,
 * and for the store's own file when no home folder is known.  Opens and
 * creates nothing.  KA_OK; KA_E_BUFFER_TOO_SMALL (*size set, buffer
 * untouched); KA_E_BAD_ARGUMENT for a null size, a negative capacity, or a
 * null buffer with a positive capacity. */
KEEL_API KA_STATUS KeelAdmin_StoreFile(char* buffer, int32_t capacity, int32_t* size);

/* How many objects of `kind` the store holds, into *count.  KA_OK;
 * KA_E_BAD_ARGUMENT for a null count or a value that is not a kind;
 * KA_E_STORAGE when the store cannot be opened or read. */
KEEL_API KA_STATUS KeelAdmin_CountObjects(KeelObjectKind kind, int64_t* count);

/* Checks the store: that it opens, the database's own integrity check, that
 * every property belongs to an object, that its key file is there and is
 * the key its secrets were sealed with, and that every secret's seal opens.
 * Each problem found is one line (without a line end) through sink, naming
 * objects and properties but never a value.  KA_OK when nothing was found;
 * KA_E_STORAGE when something was; KA_E_BAD_ARGUMENT for a null sink. */
KEEL_API KA_STATUS KeelAdmin_Check(KeelAdminSink sink, void* user);

/* KeelAdmin_Export's flags. */
#define KEEL_EXPORT_SECRETS 1 /* write secret values too */

/* Writes the store's contents as one JSON document, in pieces through sink
 * (their concatenation is the document), from one consistent view of the
 * store:
 *   {"format": "keel-export", "version": 1, "objects": [
 *     {"id": 3, "kind": "card", "parent": 2, "category": 999,
 *      "ref_num": 812..., "properties": [
 *        {"number": 1, "attribute": -20, "size": 12, "text": "example.com"},
 *        {"number": 104, "attribute": 10, "size": 9, "secret": "withheld"}]},
 *     ...]}
 * Objects come kind by kind (context, App, identity, card, macro, shortcut),
 * each kind in creation order, their properties by number.  A value that is
 * NUL-terminated UTF-8 text with no other NUL is written as "text" (without
 * its NUL), any other value as "hex".  A value stored with attribute 10
 * (KA_ATTR_SECRET) is withheld unless flags has KEEL_EXPORT_SECRETS.
 * KA_OK; KA_E_BAD_ARGUMENT for a null sink or an unknown flag; KA_E_STORAGE
 * when the store cannot be opened or read (the document is then cut
 * short), including a secret asked for whose seal does not open. */
KEEL_API KA_STATUS KeelAdmin_Export(int32_t flags, KeelAdminSink sink, void* user);

#ifdef __cplusplus
}
#endif

#endif /* KEEL_API_ADMIN_H */
