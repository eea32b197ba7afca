// change_watch.h - tells whether the database has changed, by any process,
// since an earlier moment, through SQLite's documented data version.
//
// SQLITE_FCNTL_DATA_VERSION is a counter of the connection's pager that
// grows with every commit the connection makes, and with every commit of
// other connections (other processes included) that the connection has
// noticed.  The connection notices them only when it begins a read
// transaction; so outside one, Now() first begins and ends one (a prepared
// "PRAGMA data_version": SQLite's two lock system calls, no page read),
// and inside one it reads the counter alone, which then describes the
// state that transaction reads.  Two equal stamps mean that nothing was
// committed in between.
#ifndef KEEL_SQLITE_CHANGE_WATCH_H
#define KEEL_SQLITE_CHANGE_WATCH_H

#include <sqlite3.h>

#include <cstdint>
#include <optional>

namespace keel::sqlite {

// The data version of the database: the state it was in.
using DataStamp = uint32_t;

class ChangeWatch {
 public:
  ChangeWatch() = default;
  ~ChangeWatch() { Detach(); }
  ChangeWatch(const ChangeWatch&) = delete;
  ChangeWatch& operator=(const ChangeWatch&) = delete;

  // Watches `db`'s main database.  False when it cannot (the statement
  // cannot be prepared): then Now() answers nothing.
  bool Attach(sqlite3* db);

  // Lets go of the connection, before it closes.
  void Detach();

  // The stamp of the state the connection reads now: inside a read
  // transaction, the state that transaction reads; outside one, the
  // database's latest.  Nothing when it cannot be told (another process
  // holds the database in a way that keeps readers out, or not attached).
  std::optional<DataStamp> Now();

 private:
  sqlite3* db_ = nullptr;
  sqlite3_stmt* refresh_ = nullptr;  // PRAGMA data_version
};

}  // namespace keel::sqlite

#endif  // KEEL_SQLITE_CHANGE_WATCH_H
