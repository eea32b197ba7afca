// sqlite_backend.h - the store's persistent backend: one SQLite database per
// user, written ahead to a log, every store call one durable transaction,
// secrets sealed under a key kept beside the database.
#ifndef KEEL_SQLITE_BACKEND_H
#define KEEL_SQLITE_BACKEND_H

#include <string>

#include "sys/KeelBackend.h"

namespace keel {

// Opens the store database at `path` (creating it, its folder and later its
// key file as needed).  KA_OK with *out set; KA_E_STORAGE with *why when the
// database cannot serve (not a database, written by a newer build, a folder
// that cannot be written, ...): nothing of the file is changed then.
int NewSqliteBackend(const std::string& path, KeelBackend** out, std::string* why);

}  // namespace keel

#endif  // KEEL_SQLITE_BACKEND_H
