// schema.h - the store's tables, their version, and bringing a database up
// to this build's version.
#ifndef KEEL_SQLITE_SCHEMA_H
#define KEEL_SQLITE_SCHEMA_H

#include <string>

#include "backends/sqlite/connection.h"

namespace keel::sqlite {

// The schema version this build writes, kept in PRAGMA user_version.
inline constexpr int kSchemaVersion = 2;

// Makes the freshly opened database ready for the store:
//   - refuses a file that is not a database, a database written by a newer
//     build (user_version above kSchemaVersion), and a database of version
//     0 that already holds tables (someone else's database);
//   - switches it to write-ahead logging and full synchronous commits;
//   - creates the tables of an empty database, or migrates an older one
//     step by step, in one exclusive transaction that re-reads the version
//     first (so that two processes opening it at once migrate it once).
// Nothing is written to a database that is refused.  False with *why.
bool PrepareSchema(Connection& connection, std::string* why);

}  // namespace keel::sqlite

#endif  // KEEL_SQLITE_SCHEMA_H
