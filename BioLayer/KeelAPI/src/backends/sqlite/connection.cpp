// connection.cpp - the SQLite connection, its statement cache and the
// scoped statement.
#include "backends/sqlite/connection.h"

#include "KeelAPI.h"
#include "sys/KeelBackend.h"

namespace keel::sqlite {

int StatusOf(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
      return KA_OK;
    case SQLITE_BUSY:
      return KEEL_BACKEND_BUSY;
    default:
      return KA_E_STORAGE;
  }
}

bool Connection::Open(const std::string& path, std::string* why) {
  Close();
  // The engine serialises every call under the store's lock, so the
  // connection needs no mutex of its own.
  const int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                                 nullptr);
  if (rc != SQLITE_OK) {
    *why = "cannot open " + path + ": " + (db_ != nullptr ? LastError() : sqlite3_errstr(rc));
    Close();
    return false;
  }
  if (sqlite3_db_readonly(db_, "main") == 1) {
    *why = "cannot open " + path + " for writing";
    Close();
    return false;
  }
  sqlite3_extended_result_codes(db_, 1);
  // No busy timeout: SQLite answers busy at once when another process holds
  // the database, and the call gate waits for it (call_gate.h) without the
  // store's lock, which SQLite's own wait would hold all along.
  sqlite3_busy_timeout(db_, 0);
  return true;
}

void Connection::Close() {
  for (sqlite3_stmt*& stmt : statements_) {
    sqlite3_finalize(stmt);
    stmt = nullptr;
  }
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

int Connection::Execute(const char* sql) {
  return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
}

int Connection::QueryInteger(const char* sql, int64_t* value) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr);
  if (rc == SQLITE_OK) {
    rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
      *value = sqlite3_column_int64(stmt, 0);
      rc = SQLITE_OK;
    } else if (rc == SQLITE_DONE) {
      rc = SQLITE_ERROR;  // no row where one was due
    }
  }
  sqlite3_finalize(stmt);
  return rc;
}

sqlite3_stmt* Connection::Prepared(Sql which) {
  sqlite3_stmt*& stmt = statements_[static_cast<size_t>(which)];
  if (stmt == nullptr && db_ != nullptr) {
    sqlite3_prepare_v3(db_, kSqlText[static_cast<size_t>(which)], -1, SQLITE_PREPARE_PERSISTENT,
                       &stmt, nullptr);
  }
  return stmt;
}

std::string Connection::LastError() const {
  return db_ != nullptr ? sqlite3_errmsg(db_) : "no connection";
}

Statement::~Statement() {
  if (stmt_ == nullptr) return;
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

Statement& Statement::Bind(int index, int64_t value) {
  if (stmt_ != nullptr && bind_error_ == SQLITE_OK) {
    bind_error_ = sqlite3_bind_int64(stmt_, index, value);
  }
  return *this;
}

Statement& Statement::BindNull(int index) {
  if (stmt_ != nullptr && bind_error_ == SQLITE_OK) bind_error_ = sqlite3_bind_null(stmt_, index);
  return *this;
}

Statement& Statement::BindBlob(int index, const void* data, size_t size) {
  static const char kEmpty = 0;  // a null pointer would bind NULL, not an empty blob
  if (stmt_ != nullptr && bind_error_ == SQLITE_OK) {
    bind_error_ = sqlite3_bind_blob64(stmt_, index, size == 0 ? &kEmpty : data,
                                      static_cast<sqlite3_uint64>(size), SQLITE_STATIC);
  }
  return *this;
}

Statement& Statement::BindText(int index, const char* text) {
  if (stmt_ != nullptr && bind_error_ == SQLITE_OK) {
    bind_error_ = sqlite3_bind_text(stmt_, index, text, -1, SQLITE_STATIC);
  }
  return *this;
}

int Statement::Step() {
  if (stmt_ == nullptr) return SQLITE_ERROR;
  if (bind_error_ != SQLITE_OK) return bind_error_;
  return sqlite3_step(stmt_);
}

int Statement::Run() {
  int rc = Step();
  while (rc == SQLITE_ROW) rc = sqlite3_step(stmt_);
  return rc;
}

}  // namespace keel::sqlite
