// schema.cpp - the schema and its migrations.
#include "backends/sqlite/schema.h"

#include <chrono>
#include <string_view>
#include <thread>

namespace keel::sqlite {
namespace {

// Version 1: every object in one table, every property in another.
// objects.number is a card's category or a macro's finger; objects.label a
// card's domain, a shortcut's region or an App's name (bytes, compared
// exactly).  Ids are never reused (AUTOINCREMENT).  `meta` keeps facts about
// the store itself, such as the fingerprint of the key its secrets are
// sealed with.
constexpr char kVersion1[] = R"sql(
CREATE TABLE objects(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  kind INTEGER NOT NULL,
  parent INTEGER NOT NULL,
  ref_num INTEGER,
  number INTEGER NOT NULL,
  label BLOB);
CREATE UNIQUE INDEX objects_by_ref ON objects(ref_num) WHERE ref_num IS NOT NULL;
CREATE INDEX objects_by_kind ON objects(kind, id);
CREATE INDEX objects_by_number ON objects(kind, number, id);
CREATE INDEX objects_by_number_label ON objects(kind, number, label, id);
CREATE INDEX objects_by_label ON objects(kind, label, id);
CREATE TABLE properties(
  object INTEGER NOT NULL,
  number INTEGER NOT NULL,
  attribute INTEGER NOT NULL,
  value BLOB NOT NULL,
  PRIMARY KEY(object, number)) WITHOUT ROWID;
CREATE TABLE meta(name TEXT PRIMARY KEY, value BLOB NOT NULL) WITHOUT ROWID;
)sql";

// Version 2: pending objects.  objects.owner is the token of the open store
// that created the object and has not published it yet (owners.h), NULL for
// every object of version 1.
constexpr char kVersion2[] = R"sql(
ALTER TABLE objects ADD COLUMN owner INTEGER;
CREATE INDEX objects_pending ON objects(owner) WHERE owner IS NOT NULL;
)sql";

// kMigrations[v] brings a database of version v to version v + 1.
constexpr const char* kMigrations[] = {kVersion1, kVersion2};
static_assert(sizeof kMigrations / sizeof kMigrations[0] == kSchemaVersion);

// Opening may meet another process that is switching the journal mode or
// migrating: wait for it a while.
constexpr auto kOpenPatience = std::chrono::seconds(5);

// Runs `step` again while it answers SQLITE_BUSY, until the patience is used.
template <typename Step>
int UntilNotBusy(Step&& step) {
  const auto deadline = std::chrono::steady_clock::now() + kOpenPatience;
  for (;;) {
    const int rc = step();
    if ((rc & 0xFF) != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline) return rc;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::string NewerBuild(int64_t version) {
  return "the database was written by a newer build (schema " + std::to_string(version) +
         "; this build knows up to " + std::to_string(kSchemaVersion) + ")";
}

bool Fail(Connection& c, const std::string& what, std::string* why) {
  *why = what + ": " + c.LastError();
  return false;
}

int SwitchToWriteAheadLog(Connection& c) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(c.handle(), "PRAGMA journal_mode=WAL", -1, &stmt, nullptr);
  if (rc == SQLITE_OK) {
    rc = sqlite3_step(stmt);
    const auto* mode = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    if (rc == SQLITE_ROW) rc = mode != nullptr && std::string_view(mode) == "wal" ? SQLITE_OK
                                                                                : SQLITE_ERROR;
  }
  sqlite3_finalize(stmt);
  return rc;
}

// Refuses a database this build must not touch: one of a newer build, or
// one of version 0 that holds tables (another program's).  Reads only.
bool Acceptable(Connection& c, int64_t version, std::string* why) {
  if (version > kSchemaVersion) {
    *why = NewerBuild(version);
    return false;
  }
  if (version != 0) return true;
  int64_t tables = 0;
  if (c.QueryInteger("SELECT count(*) FROM sqlite_schema", &tables) != SQLITE_OK) {
    return Fail(c, "cannot read the tables", why);
  }
  if (tables != 0) {
    *why = "the database holds tables of another program";
    return false;
  }
  return true;
}

// Inside the exclusive transaction: creates or migrates, after reading the
// version again (another process may have been first).
bool Migrate(Connection& c, std::string* why) {
  int64_t version = 0;
  if (c.QueryInteger("PRAGMA user_version", &version) != SQLITE_OK) {
    return Fail(c, "cannot read the schema version", why);
  }
  if (!Acceptable(c, version, why)) return false;
  for (int64_t v = version; v < kSchemaVersion; ++v) {
    if (c.Execute(kMigrations[v]) != SQLITE_OK) {
      return Fail(c, "cannot bring the schema to version " + std::to_string(v + 1), why);
    }
  }
  const std::string set = "PRAGMA user_version=" + std::to_string(kSchemaVersion);
  if (c.Execute(set.c_str()) != SQLITE_OK) return Fail(c, "cannot set the schema version", why);
  return true;
}

}  // namespace

bool PrepareSchema(Connection& c, std::string* why) {
  // The first read: fails for a file that is not a database, before
  // anything is written to it.
  int64_t version = 0;
  if (UntilNotBusy([&] { return c.QueryInteger("PRAGMA user_version", &version); }) !=
      SQLITE_OK) {
    return Fail(c, "not a readable store database", why);
  }
  if (!Acceptable(c, version, why)) return false;
  if (UntilNotBusy([&] { return SwitchToWriteAheadLog(c); }) != SQLITE_OK) {
    return Fail(c, "cannot switch to write-ahead logging", why);
  }
  // Every commit reaches the disk before the call answers: an acknowledged
  // write survives a power cut, not only a crash of the process.
  if (c.Execute("PRAGMA synchronous=FULL") != SQLITE_OK) {
    return Fail(c, "cannot set synchronous commits", why);
  }
  if (version == kSchemaVersion) return true;

  if (UntilNotBusy([&] { return c.Execute("BEGIN IMMEDIATE"); }) != SQLITE_OK) {
    return Fail(c, "cannot lock the database to prepare it", why);
  }
  if (!Migrate(c, why)) {
    c.Execute("ROLLBACK");
    return false;
  }
  if (UntilNotBusy([&] { return c.Execute("COMMIT"); }) != SQLITE_OK) {
    const bool failed = Fail(c, "cannot commit the schema", why);
    c.Execute("ROLLBACK");
    return failed;
  }
  return true;
}

}  // namespace keel::sqlite
