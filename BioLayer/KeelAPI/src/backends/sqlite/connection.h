// connection.h - one SQLite connection with its prepared statements, and
// the scoped use of one statement.
#ifndef KEEL_SQLITE_CONNECTION_H
#define KEEL_SQLITE_CONNECTION_H

#include <sqlite3.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "backends/sqlite/statements.h"

namespace keel::sqlite {

// The store status of an SQLite result code: KA_OK for SQLITE_OK, _ROW and
// _DONE; KEEL_BACKEND_BUSY for every kind of SQLITE_BUSY (another process
// holds the database, or a read snapshot went stale before a write);
// KA_E_STORAGE for everything else.
int StatusOf(int rc);

class Connection {
 public:
  Connection() = default;
  ~Connection() { Close(); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Opens the existing database file at `path` for reading and writing, in
  // the connection settings the store relies on (extended result codes; no
  // busy timeout, so that busy is answered at once).  Creates nothing.
  // False with *why.
  bool Open(const std::string& path, std::string* why);

  // Finalizes every statement and closes the connection.
  void Close();

  // Runs SQL text that takes no parameters and discards its rows.  An
  // SQLite result code.
  int Execute(const char* sql);

  // Runs a query that yields one integer (a PRAGMA), into *value.
  int QueryInteger(const char* sql, int64_t* value);

  // The cached statement `which`, prepared on first use; null when it
  // cannot be prepared.
  sqlite3_stmt* Prepared(Sql which);

  sqlite3* handle() const { return db_; }

  // The connection's last error message, for reports.
  std::string LastError() const;

 private:
  sqlite3* db_ = nullptr;
  std::array<sqlite3_stmt*, static_cast<size_t>(Sql::kCount)> statements_{};
};

// One use of a cached statement: bind, step, read columns; the statement is
// reset and its bindings cleared when the scope ends, so that it holds no
// read lock and no value past its use.
class Statement {
 public:
  Statement(Connection& connection, Sql which) : stmt_(connection.Prepared(which)) {}
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, int64_t value);
  Statement& BindNull(int index);
  // Binds `size` bytes as a blob (never NULL, also when size is 0).  The
  // bytes must outlive the statement's use.
  Statement& BindBlob(int index, const void* data, size_t size);
  Statement& BindText(int index, const char* text);

  // SQLITE_ROW, SQLITE_DONE, or the error (also SQLITE_ERROR when a bind
  // failed or the statement could not be prepared).
  int Step();
  // Steps to the end: SQLITE_DONE or the error.
  int Run();

  int64_t Integer(int column) const { return sqlite3_column_int64(stmt_, column); }
  bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  // The bytes of a blob or text column (null when empty) and their count.
  const uint8_t* Bytes(int column) const {
    return static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
  }
  size_t ByteCount(int column) const {
    return static_cast<size_t>(sqlite3_column_bytes(stmt_, column));
  }

 private:
  sqlite3_stmt* stmt_;
  int bind_error_ = SQLITE_OK;
};

}  // namespace keel::sqlite

#endif  // KEEL_SQLITE_CONNECTION_H
