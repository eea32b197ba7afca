/*
 * KeelAPIAdmin.h - the store's administration interface.
 *
 * What a support tool needs to look at a user's store without going through
 * handles: which file it is, how many objects of each kind it holds, whether
 * it is sound, its contents for a support request, and the identity's
 * texts.  Both builds of the store export it (the production libKeelAPI.so
 * / KeelAPI.dll and the development one).  Every function works on the
 * store this process uses (the store's own database unless a test chose
 * another backend through KeelTest_Reset), opens it when that has not
 * happened yet, and runs under the store's lock.  None is traced or seen by
 * the interceptor.  None ever hands out a value stored with attribute 10
 * (KA_ATTR_SECRET), and a read that hands out a value passes the
 * authentication policy as every store read does.
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
 * and for the store's own file when no usable home folder is known (none,
 * or a relative one: KeelAdmin_Check says why).  Opens and
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
 * KA_E_STORAGE when something was; KA_E_BAD_ARGUMENT for a null sink.
 *
 * When this process opened the store's files it repaired what let other
 * users in (a folder or file of the user's own with group or other
 * permissions, made 0700 or 0600): each repair is one more line, beginning
 * with KEEL_CHECK_REPAIRED, which does not count as a problem. */
KEEL_API KA_STATUS KeelAdmin_Check(KeelAdminSink sink, void* user);

/* The beginning of a KeelAdmin_Check line that tells a repair. */
#define KEEL_CHECK_REPAIRED "repaired: "

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
 * (KA_ATTR_SECRET) is always withheld: only its size is written.  flags is
 * reserved and must be 0.  KA_OK; KA_E_BAD_ARGUMENT for a null sink or any
 * other flags; KA_E_STORAGE when the store cannot be opened or read (the
 * document is then cut short). */
KEEL_API KA_STATUS KeelAdmin_Export(int32_t flags, KeelAdminSink sink, void* user);

/* Reads property `property` of the identity, for a support tool that shows
 * what a registration would send (the identity's properties are texts,
 * stored with their NUL).  *size gets the stored size; the value is copied,
 * as stored, when capacity is at least that, else the answer is
 * KA_E_BUFFER_TOO_SMALL with the buffer untouched; a null buffer with
 * capacity 0 only asks for the size.  A value stored with attribute 10
 * (KA_ATTR_SECRET) is never handed out, whatever the authentication policy
 * allows: KA_E_AUTH_REFUSED, with neither the buffer nor *size written.
 * Any other value passes the authentication policy as KA_Id_GetProperty's
 * does.  Creates nothing: KA_E_NOT_STORED when the property, or the
 * identity itself, is absent.  KA_E_BAD_ARGUMENT for a null size, a
 * negative capacity, or a null buffer with a positive capacity;
 * KA_E_STORAGE when the store cannot be opened or read. */
KEEL_API KA_STATUS KeelAdmin_GetIdentityText(int32_t property, char* buffer, int32_t capacity,
                                             int32_t* size);

#ifdef __cplusplus
}
#endif

#endif /* KEEL_API_ADMIN_H */
