// store.h - the SQLite backend's operations, one method per entry of the
// backend table (sys/KeelBackend.h), with the same contracts.
//
// Transactions.  The engine's begin only marks a transaction; SQLite's own
// begins with the first operation that needs the database or the read
// cache (read_cache.h).  Every operation of the call then sees the state
// that SQLite's transaction reads, whether the cache answers it (while the
// cache holds that state) or the database does, so that the call sees one
// consistent state; a call the cache answers whole costs a read
// transaction but no statement's work.  Writes go into that transaction,
// which the engine commits (synchronously, to the disk) once per store
// call.
#ifndef KEEL_SQLITE_STORE_H
#define KEEL_SQLITE_STORE_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "backends/sqlite/change_watch.h"
#include "backends/sqlite/connection.h"
#include "backends/sqlite/owners.h"
#include "backends/sqlite/read_cache.h"
#include "backends/sqlite/store_key.h"
#include "sys/KeelBackend.h"

namespace keel::sqlite {

class Store {
 public:
  // Opens the store database at `path`: creates its folder (0700) and the
  // file (0600) when missing, and prepares the schema.  Its key file is
  // `path` + ".key".  Null with *why when the database cannot serve.
  static std::unique_ptr<Store> Open(const std::string& path, std::string* why);

  int Begin();
  int Commit();
  void Rollback();
  int Create(const KeelObjectFiling& filing, int64_t* id, int64_t* ref_num);
  int FindOrCreate(const KeelObjectFiling& filing, int64_t* id, int* created);
  int Delete(int64_t id);
  int Publish(int64_t id);
  int Describe(int64_t id, KeelObjectInfo* info);
  int GetProperty(int64_t id, int32_t number, void* buffer, size_t capacity, size_t* size,
                  int32_t* attribute);
  int SetProperty(int64_t id, int32_t number, int32_t attribute, const void* value, size_t size);
  int Next(const KeelFilter& filter, int64_t after, int64_t* id);
  int FindCard(int64_t ref_num, int64_t* id);
  int List(KeelObjectKind kind, int64_t* ids, size_t capacity, size_t* count);
  int NextProperty(int64_t id, int64_t after, int32_t* number);
  const char* Location() const { return path_.c_str(); }
  int Verify(KeelLineSink sink, void* user);

 private:
  explicit Store(std::string path);

  // Before an operation that reads the database: begins SQLite's
  // transaction when the engine's is open and SQLite's has not begun.
  int UseDatabase();

  // Before an operation that writes: as UseDatabase, and refuses to write
  // into a database file that was deleted or replaced since it was opened
  // (its folder vanished, say), where the write would be lost without a
  // word.
  int UseDatabaseToWrite();

  // The read cache when it may answer: SQLite's transaction has not
  // written, and the cache holds the state that it reads.  In a transaction
  // this begins SQLite's (and its read transaction), so that whatever the
  // cache does not answer is read from that same state: a call sees one
  // state of the database, wherever each of its answers comes from.
  ReadCache* Answering();

  // The read cache when what was just read from the database may go in:
  // SQLite's transaction has not written (so the read saw the state that
  // the transaction reads, which the cache then follows).
  ReadCache* Filling();

  // A walk step or look-up: from the cache, or by `query` (which answers
  // KA_OK with the id, KA_E_END, or a failure) and then into the cache.
  template <typename Query>
  int Step(StepKey key, int64_t* id, Query&& query);

  // Puts every property of `id` into the cache (and the object as whole
  // when none was too large to keep), from the database.
  int ReadWhole(int64_t id, ReadCache* cache);

  // A property as stored, from the database.
  int ReadProperty(int64_t id, int32_t number, ReadCache::Property* out);

  // The answer of get_property from a property as stored.
  int Answer(const ReadCache::Property& stored, int64_t id, int32_t number, void* buffer,
             size_t capacity, size_t* size, int32_t* attribute);

  // Inserts the object row; draws another reference number when a card's
  // collides with an existing one.
  int InsertObject(const KeelObjectFiling& filing, int64_t* id, int64_t* ref_num);

  // A secret's stored bytes opened into `plain` (SealedValueSize bytes).
  int Unseal(int64_t id, int32_t number, const uint8_t* sealed, size_t size, uint8_t* plain);

  // Removes the pending objects of the owners that ended (owners.h) and
  // their files.  Best effort: what another process keeps it from removing
  // now is seen by nobody, and goes at a later opening.
  void RemoveEndedOwners();

  // Verify's steps; each reports its problems through `report`.
  using Report = std::function<void(const std::string&)>;
  void CheckStructure(const Report& report);
  void CheckSecrets(const Report& report);

  std::string path_;
  Connection db_;
  ChangeWatch watch_;
  ReadCache cache_;
  StoreKey key_;
  OwnerMark mark_;  // this store's token: its pending objects carry it
  std::mt19937_64 refs_;
  bool in_transaction_ = false;        // the engine's transaction is open
  bool database_begun_ = false;        // ... and SQLite's has begun
  bool wrote_ = false;                 // ... and has written
};

}  // namespace keel::sqlite

#endif  // KEEL_SQLITE_STORE_H
