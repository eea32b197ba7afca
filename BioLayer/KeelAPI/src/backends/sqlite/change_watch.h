// change_watch.h - tells, without a system call, whether any process has
// committed to the database since an earlier moment.
//
// Every commit to a database in write-ahead-log mode rewrites the header of
// the log's shared index (its "-shm" file, mapped by every connection): a
// counter that grows with each transaction, the log's last frame, its salts
// and checksums.  The header is written twice, second copy first, so that a
// reader that finds both copies equal has read a whole one.  Its layout is
// part of SQLite's documented file format, which every version of SQLite
// sharing a database with another must keep.  Two equal stamps therefore
// mean that nothing was committed in between: what was read at the first is
// still what the database holds.
#ifndef KEEL_SQLITE_CHANGE_WATCH_H
#define KEEL_SQLITE_CHANGE_WATCH_H

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <optional>

namespace keel::sqlite {

// A copy of the index header: the state of the database it describes.
using WalStamp = std::array<uint8_t, 48>;

class ChangeWatch {
 public:
  // Finds the index of `db`'s main database, through the VFS's own mapping
  // of it (valid while the connection is open).  False when the connection
  // has none (not in write-ahead-log mode, or a VFS without shared memory):
  // then Now() answers nothing.
  bool Attach(sqlite3* db);

  // Forgets the index, before the connection closes.
  void Detach() { header_ = nullptr; }

  // The stamp of the database's state now, or nothing while a commit is
  // rewriting the header (or when not attached).
  std::optional<WalStamp> Now() const;

 private:
  const volatile uint8_t* header_ = nullptr;
};

}  // namespace keel::sqlite

#endif  // KEEL_SQLITE_CHANGE_WATCH_H
