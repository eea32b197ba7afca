// change_watch.cpp - the data version, refreshed by a read transaction.
#include "backends/sqlite/change_watch.h"

namespace keel::sqlite {

bool ChangeWatch::Attach(sqlite3* db) {
  Detach();
  if (sqlite3_prepare_v3(db, "PRAGMA data_version", -1, SQLITE_PREPARE_PERSISTENT, &refresh_,
                         nullptr) != SQLITE_OK) {
    sqlite3_finalize(refresh_);
    refresh_ = nullptr;
    return false;
  }
  db_ = db;
  return true;
}

void ChangeWatch::Detach() {
  sqlite3_finalize(refresh_);
  refresh_ = nullptr;
  db_ = nullptr;
}

std::optional<DataStamp> ChangeWatch::Now() {
  if (refresh_ == nullptr) return std::nullopt;
  if (sqlite3_txn_state(db_, "main") == SQLITE_TXN_NONE) {
    // Begins a read transaction, which notices other connections' commits;
    // inside an explicit transaction it stays open until that one ends.
    const int rc = sqlite3_step(refresh_);
    sqlite3_reset(refresh_);
    if (rc != SQLITE_ROW) return std::nullopt;
  }
  unsigned int version = 0;
  if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_DATA_VERSION, &version) != SQLITE_OK) {
    return std::nullopt;
  }
  return DataStamp{version};
}

}  // namespace keel::sqlite
