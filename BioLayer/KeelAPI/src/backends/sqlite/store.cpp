// store.cpp - the SQLite backend's operations.
#include "backends/sqlite/store.h"

#include <cstring>
#include <optional>
#include <set>
#include <vector>

#include "KeelAPI.h"
#include "backends/sqlite/schema.h"
#include "platform/store_location.h"
#include "secrets/secret_box.h"

namespace keel::sqlite {
namespace {

// Draws for a card's reference number before giving up on collisions.
constexpr int kRefDraws = 8;

// How many steps a walk reads ahead when it has to read the database.
constexpr int kWalkAhead = 128;

// Look-ups of the backend's own, cached beside the walk steps (whose `by`
// is a KeelFilterBy).
constexpr int32_t kByAppName = 100;
constexpr int32_t kByRefNum = 101;

// What a kind is filed under: objects.number and objects.label.
struct Filed {
  int64_t number = 0;
  const char* label = nullptr;
};

std::optional<Filed> FiledUnder(const KeelObjectFiling& f) {
  switch (f.kind) {
    case KEEL_CARD:
      if (f.domain == nullptr) return std::nullopt;
      return Filed{f.category, f.domain};
    case KEEL_MACRO:
      return Filed{f.finger, nullptr};
    case KEEL_SHORTCUT:
      if (f.region == nullptr) return std::nullopt;
      return Filed{0, f.region};
    case KEEL_APP:
      if (f.name == nullptr) return std::nullopt;
      return Filed{0, f.name};
    case KEEL_CONTEXT:
    case KEEL_IDENTITY:
      return Filed{};
  }
  return std::nullopt;
}

// A walk filter as the statement that serves it, with its number and label.
struct Seek {
  Sql sql;
  int64_t number = 0;
  const char* label = nullptr;
};

std::optional<Seek> SeekOf(const KeelFilter& f) {
  switch (f.by) {
    case KEEL_BY_KIND:
      return Seek{Sql::kNextOfKind};
    case KEEL_BY_CATEGORY:
      return Seek{Sql::kNextOfNumber, f.category};
    case KEEL_BY_CATEGORY_DOMAIN:
      if (f.domain == nullptr) return std::nullopt;
      return Seek{Sql::kNextOfNumberAndLabel, f.category, f.domain};
    case KEEL_BY_DOMAIN:
      if (f.domain == nullptr) return std::nullopt;
      return Seek{Sql::kNextOfLabel, 0, f.domain};
    case KEEL_BY_FINGER:
      return Seek{Sql::kNextOfNumber, f.finger};
    case KEEL_BY_REGION:
      if (f.region == nullptr) return std::nullopt;
      return Seek{Sql::kNextOfLabel, 0, f.region};
  }
  return std::nullopt;
}

// Runs an ad-hoc query (not worth caching) and hands each row to `row`.
template <typename Row>
int ForEachRow(Connection& db, const char* sql, Row&& row) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db.handle(), sql, -1, &stmt, nullptr);
  while (rc == SQLITE_OK || rc == SQLITE_ROW) {
    rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) row(stmt);
  }
  sqlite3_finalize(stmt);
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

}  // namespace

Store::Store(std::string path) : path_(std::move(path)), key_(path_ + ".key") {
  std::random_device seed;
  refs_.seed((static_cast<uint64_t>(seed()) << 32) ^ seed());
}

std::unique_ptr<Store> Store::Open(const std::string& path, std::string* why) {
  if (path.empty()) {
    *why = "no database file was named";
    return nullptr;
  }
  if (!MakePrivateFolderFor(path, why) || !MakePrivateFile(path, why)) return nullptr;
  std::unique_ptr<Store> store(new Store(path));
  if (!store->db_.Open(path, why) || !PrepareSchema(store->db_, why)) return nullptr;
  if (!store->mark_.Take(path, store->refs_, why)) return nullptr;
  store->RemoveEndedOwners();
  // Without the watch there is no telling other processes' commits: the
  // store then reads the database on every call.
  store->watch_.Attach(store->db_.handle());
  return store;
}

int Store::Begin() {
  if (in_transaction_) return KA_E_STORAGE;
  in_transaction_ = true;
  database_begun_ = false;
  wrote_ = false;
  return KA_OK;
}

int Store::Commit() {
  in_transaction_ = false;
  if (!database_begun_) return KA_OK;  // nothing was read or written
  database_begun_ = false;
  const int rc = Statement(db_, Sql::kCommit).Run();
  if (rc == SQLITE_DONE) return KA_OK;
  if (sqlite3_get_autocommit(db_.handle()) == 0) Statement(db_, Sql::kRollback).Run();
  return StatusOf(rc);
}

void Store::Rollback() {
  // After some errors SQLite has rolled back by itself already.
  if (database_begun_ && sqlite3_get_autocommit(db_.handle()) == 0) {
    Statement(db_, Sql::kRollback).Run();
  }
  in_transaction_ = false;
  database_begun_ = false;
}

int Store::UseDatabase() {
  if (!in_transaction_ || database_begun_) return KA_OK;
  const int rc = Statement(db_, Sql::kBegin).Run();
  if (rc != SQLITE_DONE) return StatusOf(rc);
  database_begun_ = true;
  return KA_OK;
}

int Store::UseDatabaseToWrite() {
  if (const int status = UseDatabase(); status != KA_OK) return status;
  if (wrote_ && in_transaction_) return KA_OK;  // checked at this transaction's first write
  // A database file removed or renamed while open takes the writes with it.
  // Windows' file system answers no such question (SQLITE_NOTFOUND): there
  // SQLite's open file cannot be removed or renamed at all.
  int moved = 0;
  const int asked = sqlite3_file_control(db_.handle(), "main", SQLITE_FCNTL_HAS_MOVED, &moved);
  if ((asked != SQLITE_OK && asked != SQLITE_NOTFOUND) || moved != 0) return KA_E_STORAGE;
  wrote_ = true;
  return KA_OK;
}

ReadCache* Store::Answering() {
  if ((database_begun_ && wrote_) || UseDatabase() != KA_OK) return nullptr;
  const std::optional<DataStamp> now = watch_.Now();
  if (!now) return nullptr;
  cache_.Follow(*now);
  return &cache_;
}

ReadCache* Store::Filling() {
  if (!database_begun_ || wrote_) return nullptr;
  return Answering();
}

template <typename Query>
int Store::Step(StepKey key, int64_t* id, Query&& query) {
  if (ReadCache* cache = Answering()) {
    if (const ReadCache::Step* hit = cache->FindStep(key)) {
      if (hit->status == KA_OK) *id = hit->id;
      return hit->status;
    }
  }
  if (const int status = UseDatabase(); status != KA_OK) return status;
  int64_t found = 0;
  const int status = query(&found);
  if (status != KA_OK && status != KA_E_END) return status;
  if (ReadCache* cache = Filling()) cache->PutStep(std::move(key), {status, found});
  if (status == KA_OK) *id = found;
  return status;
}

int Store::InsertObject(const KeelObjectFiling& filing, int64_t* id, int64_t* ref_num) {
  const std::optional<Filed> filed = FiledUnder(filing);
  if (!filed) return KA_E_BAD_ARGUMENT;
  for (int draw = 0; draw < kRefDraws; ++draw) {
    Statement insert(db_, Sql::kInsertObject);
    int64_t ref = 0;
    insert.Bind(1, filing.kind).Bind(2, filing.parent).Bind(4, filed->number);
    if (filing.kind == KEEL_CARD) {
      ref = static_cast<int64_t>(refs_() >> 1);
      if (ref == 0) continue;
      insert.Bind(3, ref);
    } else {
      insert.BindNull(3);
    }
    if (filed->label != nullptr) {
      insert.BindBlob(5, filed->label, std::strlen(filed->label));
    } else {
      insert.BindNull(5);
    }
    if (filing.pending != 0) {
      insert.Bind(6, mark_.token());
    } else {
      insert.BindNull(6);
    }
    const int rc = insert.Run();
    if (rc == SQLITE_CONSTRAINT_UNIQUE) continue;  // the reference number is taken
    if (rc != SQLITE_DONE) return StatusOf(rc);
    *id = sqlite3_last_insert_rowid(db_.handle());
    if (ref_num != nullptr) *ref_num = ref;
    return KA_OK;
  }
  return KA_E_STORAGE;
}

int Store::Create(const KeelObjectFiling& filing, int64_t* id, int64_t* ref_num) {
  if (!FiledUnder(filing)) return KA_E_BAD_ARGUMENT;
  if (const int status = UseDatabaseToWrite(); status != KA_OK) return status;
  return InsertObject(filing, id, ref_num);
}

int Store::FindOrCreate(const KeelObjectFiling& filing, int64_t* id, int* created) {
  const bool app = filing.kind == KEEL_APP;
  if (!(filing.kind == KEEL_CONTEXT || filing.kind == KEEL_IDENTITY || app) ||
      (app && filing.name == nullptr)) {
    return KA_E_BAD_ARGUMENT;
  }
  StepKey key{filing.kind, app ? kByAppName : KEEL_BY_KIND, 0, app ? filing.name : "", 0};
  // Only a cached find may skip the database: "missing" is looked up again
  // inside the transaction that creates, so that two processes do not both
  // create the one object.
  if (ReadCache* cache = Answering()) {
    const ReadCache::Step* hit = cache->FindStep(key);
    if (hit != nullptr && hit->status == KA_OK) {
      *id = hit->id;
      if (created != nullptr) *created = 0;
      return KA_OK;
    }
  }
  if (const int status = UseDatabase(); status != KA_OK) return status;
  const int found = Step(std::move(key), id, [&](int64_t* out) {
    Statement find(db_, app ? Sql::kFirstAppNamed : Sql::kFirstOfKind);
    find.Bind(1, filing.kind);
    if (app) find.BindBlob(2, filing.name, std::strlen(filing.name));
    const int rc = find.Step();
    if (rc == SQLITE_ROW) *out = find.Integer(0);
    return rc == SQLITE_ROW ? KA_OK : rc == SQLITE_DONE ? KA_E_END : StatusOf(rc);
  });
  if (found != KA_E_END) {
    if (found == KA_OK && created != nullptr) *created = 0;
    return found;
  }
  const int status = Create(filing, id, nullptr);
  if (status == KA_OK && created != nullptr) *created = 1;
  return status;
}

int Store::Delete(int64_t id) {
  if (const int status = UseDatabaseToWrite(); status != KA_OK) return status;
  int rc = Statement(db_, Sql::kDeleteObject).Bind(1, id).Run();
  if (rc != SQLITE_DONE) return StatusOf(rc);
  if (sqlite3_changes(db_.handle()) == 0) return KA_E_END;
  rc = Statement(db_, Sql::kDeleteProperties).Bind(1, id).Run();
  return rc == SQLITE_DONE ? KA_OK : StatusOf(rc);
}

int Store::Publish(int64_t id) {
  if (const int status = UseDatabaseToWrite(); status != KA_OK) return status;
  const int rc = Statement(db_, Sql::kPublishObject).Bind(1, id).Run();
  if (rc != SQLITE_DONE) return StatusOf(rc);
  return sqlite3_changes(db_.handle()) == 0 ? KA_E_END : KA_OK;
}

int Store::Describe(int64_t id, KeelObjectInfo* info) {
  if (const int status = UseDatabase(); status != KA_OK) return status;
  Statement describe(db_, Sql::kDescribeObject);
  const int rc = describe.Bind(1, id).Step();
  if (rc == SQLITE_DONE) return KA_E_END;
  if (rc != SQLITE_ROW) return StatusOf(rc);
  KeelObjectInfo found{};
  found.kind = static_cast<KeelObjectKind>(describe.Integer(0));
  found.parent = describe.Integer(1);
  found.ref_num = describe.IsNull(2) ? 0 : describe.Integer(2);
  if (found.kind == KEEL_CARD) found.category = static_cast<int32_t>(describe.Integer(3));
  if (found.kind == KEEL_MACRO) found.finger = static_cast<uint32_t>(describe.Integer(3));
  *info = found;
  return KA_OK;
}

int Store::GetProperty(int64_t id, int32_t number, void* buffer, size_t capacity, size_t* size,
                       int32_t* attribute) {
  if (ReadCache* cache = Answering()) {
    if (const ReadCache::Property* hit = cache->FindProperty(id, number)) {
      return Answer(*hit, id, number, buffer, capacity, size, attribute);
    }
  }
  ReadCache::Property stored;
  if (const int status = ReadProperty(id, number, &stored); status != KA_OK) return status;
  const int status = Answer(stored, id, number, buffer, capacity, size, attribute);
  if (ReadCache* cache = Filling()) cache->PutProperty(id, number, std::move(stored));
  return status;
}

int Store::ReadProperty(int64_t id, int32_t number, ReadCache::Property* out) {
  if (const int status = UseDatabase(); status != KA_OK) return status;
  Statement read(db_, Sql::kReadProperty);
  const int rc = read.Bind(1, id).Bind(2, number).Step();
  if (rc == SQLITE_ROW) {
    out->status = KA_OK;
    out->attribute = static_cast<int32_t>(read.Integer(0));
    out->bytes.assign(reinterpret_cast<const char*>(read.Bytes(1)), read.ByteCount(1));
    return KA_OK;
  }
  if (rc != SQLITE_DONE) return StatusOf(rc);
  const int exists = Statement(db_, Sql::kObjectExists).Bind(1, id).Step();
  if (exists != SQLITE_ROW && exists != SQLITE_DONE) return StatusOf(exists);
  out->status = exists == SQLITE_ROW ? KA_E_NOT_STORED : KA_E_END;
  return KA_OK;
}

int Store::Answer(const ReadCache::Property& stored, int64_t id, int32_t number, void* buffer,
                  size_t capacity, size_t* size, int32_t* attribute) {
  if (stored.status != KA_OK) return stored.status;
  const auto* bytes = reinterpret_cast<const uint8_t*>(stored.bytes.data());
  const size_t count = stored.bytes.size();
  size_t value_size = count;
  if (stored.attribute == KA_ATTR_SECRET) {
    const std::optional<size_t> inside = SealedValueSize(count, count > 0 ? bytes[0] : 0);
    if (!inside) return KA_E_STORAGE;
    value_size = *inside;
    if (buffer != nullptr && capacity >= value_size) {
      // Opened into scratch memory first: a seal that fails leaves the
      // caller's buffer untouched.
      std::vector<uint8_t> plain(value_size);
      const int status = Unseal(id, number, bytes, count, plain.data());
      if (status == KA_OK && value_size > 0) std::memcpy(buffer, plain.data(), value_size);
      Scrub(plain.data(), plain.size());
      if (status != KA_OK) return status;
    }
  } else if (buffer != nullptr && capacity >= value_size && value_size > 0) {
    std::memcpy(buffer, bytes, value_size);
  }
  *size = value_size;
  if (attribute != nullptr) *attribute = stored.attribute;
  return KA_OK;
}

int Store::Unseal(int64_t id, int32_t number, const uint8_t* sealed, size_t size,
                  uint8_t* plain) {
  const SecretKey* key = nullptr;
  if (const int status = key_.ForOpening(db_, &key); status != KA_OK) return status;
  return keel::Unseal(*key, id, number, sealed, size, plain) ? KA_OK : KA_E_STORAGE;
}

int Store::SetProperty(int64_t id, int32_t number, int32_t attribute, const void* value,
                       size_t size) {
  if (const int status = UseDatabaseToWrite(); status != KA_OK) return status;
  const int exists = Statement(db_, Sql::kObjectExists).Bind(1, id).Step();
  if (exists == SQLITE_DONE) return KA_E_END;
  if (exists != SQLITE_ROW) return StatusOf(exists);

  std::vector<uint8_t> sealed;
  if (attribute == KA_ATTR_SECRET) {
    const SecretKey* key = nullptr;
    if (const int status = key_.ForSealing(db_, &key); status != KA_OK) return status;
    if (!Seal(*key, id, number, static_cast<const uint8_t*>(value), size, &sealed)) {
      return KA_E_STORAGE;
    }
    value = sealed.data();
    size = sealed.size();
  }
  const int rc = Statement(db_, Sql::kWriteProperty)
                     .Bind(1, id)
                     .Bind(2, number)
                     .Bind(3, attribute)
                     .BindBlob(4, value, size)
                     .Run();
  return rc == SQLITE_DONE ? KA_OK : StatusOf(rc);
}

int Store::Next(const KeelFilter& filter, int64_t after, int64_t* id) {
  const std::optional<Seek> seek = SeekOf(filter);
  if (!seek) return KA_E_BAD_ARGUMENT;
  StepKey key{filter.kind, filter.by, seek->number, seek->label != nullptr ? seek->label : "",
              after};
  if (ReadCache* cache = Answering()) {
    if (const ReadCache::Step* hit = cache->FindStep(key)) {
      if (hit->status == KA_OK) *id = hit->id;
      return hit->status;
    }
  }
  if (const int status = UseDatabase(); status != KA_OK) return status;
  // A walk goes on: when what is read may be kept, read the next steps and
  // the properties of their objects too, in this one read transaction.
  const bool ahead = database_begun_ && !wrote_;
  std::vector<int64_t> ids;
  {
    Statement next(db_, seek->sql);
    next.Bind(1, filter.kind).Bind(2, after).Bind(5, ahead ? kWalkAhead : 1);
    next.Bind(6, mark_.token());
    if (seek->sql == Sql::kNextOfNumber || seek->sql == Sql::kNextOfNumberAndLabel) {
      next.Bind(3, seek->number);
    }
    if (seek->label != nullptr) next.BindBlob(4, seek->label, std::strlen(seek->label));
    int rc = SQLITE_OK;
    while ((rc = next.Step()) == SQLITE_ROW) ids.push_back(next.Integer(0));
    if (rc != SQLITE_DONE) return StatusOf(rc);
  }
  if (ReadCache* cache = Filling()) {
    for (size_t i = 0; i < ids.size(); ++i) {
      key.after = i == 0 ? after : ids[i - 1];
      cache->PutStep(key, {KA_OK, ids[i]});
      if (const int status = ReadWhole(ids[i], cache); status != KA_OK) return status;
    }
    if (ids.size() < static_cast<size_t>(ahead ? kWalkAhead : 1)) {  // the filter's end
      key.after = ids.empty() ? after : ids.back();
      cache->PutStep(std::move(key), {KA_E_END, 0});
    }
  }
  if (ids.empty()) return KA_E_END;
  *id = ids.front();
  return KA_OK;
}

int Store::ReadWhole(int64_t id, ReadCache* cache) {
  Statement read(db_, Sql::kPropertiesOf);
  read.Bind(1, id);
  bool whole = true;
  int rc = SQLITE_OK;
  while ((rc = read.Step()) == SQLITE_ROW) {
    ReadCache::Property property;
    property.status = KA_OK;
    property.attribute = static_cast<int32_t>(read.Integer(1));
    property.bytes.assign(reinterpret_cast<const char*>(read.Bytes(2)), read.ByteCount(2));
    whole = cache->PutProperty(id, static_cast<int32_t>(read.Integer(0)), std::move(property)) &&
            whole;
  }
  if (rc != SQLITE_DONE) return StatusOf(rc);
  if (whole) cache->PutWhole(id);
  return KA_OK;
}

int Store::FindCard(int64_t ref_num, int64_t* id) {
  return Step(StepKey{KEEL_CARD, kByRefNum, ref_num, "", 0}, id, [&](int64_t* out) {
    Statement find(db_, Sql::kCardOfRef);
    const int rc = find.Bind(1, ref_num).Bind(2, mark_.token()).Step();
    if (rc == SQLITE_ROW) *out = find.Integer(0);
    return rc == SQLITE_ROW ? KA_OK : rc == SQLITE_DONE ? KA_E_END : StatusOf(rc);
  });
}

int Store::List(KeelObjectKind kind, int64_t* ids, size_t capacity, size_t* count) {
  if (const int status = UseDatabase(); status != KA_OK) return status;
  if (ids == nullptr || capacity == 0) {
    Statement counting(db_, Sql::kCountKind);
    const int rc = counting.Bind(1, kind).Bind(2, mark_.token()).Step();
    if (rc != SQLITE_ROW) return StatusOf(rc == SQLITE_DONE ? SQLITE_ERROR : rc);
    *count = static_cast<size_t>(counting.Integer(0));
    return KA_OK;
  }
  Statement list(db_, Sql::kListKind);
  list.Bind(1, kind).Bind(2, mark_.token());
  size_t n = 0;
  int rc = SQLITE_OK;
  while ((rc = list.Step()) == SQLITE_ROW) {
    if (n < capacity) ids[n] = list.Integer(0);
    ++n;
  }
  if (rc != SQLITE_DONE) return StatusOf(rc);
  *count = n;
  return KA_OK;
}

int Store::NextProperty(int64_t id, int64_t after, int32_t* number) {
  if (const int status = UseDatabase(); status != KA_OK) return status;
  Statement next(db_, Sql::kNextProperty);
  const int rc = next.Bind(1, id).Bind(2, after).Step();
  if (rc == SQLITE_DONE) return KA_E_END;
  if (rc != SQLITE_ROW) return StatusOf(rc);
  *number = static_cast<int32_t>(next.Integer(0));
  return KA_OK;
}

void Store::RemoveEndedOwners() {
  std::set<int64_t> tokens;
  ForEachRow(db_, "SELECT DISTINCT owner FROM objects WHERE owner IS NOT NULL",
             [&](sqlite3_stmt* row) { tokens.insert(sqlite3_column_int64(row, 0)); });
  const std::vector<EndedOwner> ended = FindEndedOwners(mark_.folder(), tokens, mark_.token());
  if (ended.empty()) return;
  bool removed = db_.Execute("BEGIN IMMEDIATE") == SQLITE_OK;
  for (const EndedOwner& owner : ended) {
    const std::string owned = "owner = " + std::to_string(owner.token());
    const std::string properties =
        "DELETE FROM properties WHERE object IN (SELECT id FROM objects WHERE " + owned + ")";
    removed = removed && db_.Execute(properties.c_str()) == SQLITE_OK &&
              db_.Execute(("DELETE FROM objects WHERE " + owned).c_str()) == SQLITE_OK;
  }
  removed = removed && db_.Execute("COMMIT") == SQLITE_OK;
  if (!removed) {
    if (sqlite3_get_autocommit(db_.handle()) == 0) db_.Execute("ROLLBACK");
    return;
  }
  for (const EndedOwner& owner : ended) owner.Forget();
}

int Store::Verify(KeelLineSink sink, void* user) {
  bool sound = true;
  const Report report = [&](const std::string& line) {
    sound = false;
    sink(user, line.c_str());
  };
  if (Begin() != KA_OK || UseDatabase() != KA_OK) {
    Rollback();
    report("cannot read the database: " + db_.LastError());
    return KA_E_STORAGE;
  }
  CheckStructure(report);
  CheckSecrets(report);
  Commit();
  return sound ? KA_OK : KA_E_STORAGE;
}

void Store::CheckStructure(const Report& report) {
  const int rc = ForEachRow(db_, "PRAGMA integrity_check", [&](sqlite3_stmt* row) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, 0));
    const std::string line = text != nullptr ? text : "";
    if (line != "ok") report("integrity: " + line);
  });
  if (rc != SQLITE_OK) report("integrity check failed: " + db_.LastError());
  ForEachRow(db_,
             "SELECT count(*) FROM properties WHERE object NOT IN (SELECT id FROM objects)",
             [&](sqlite3_stmt* row) {
               const int64_t orphans = sqlite3_column_int64(row, 0);
               if (orphans > 0) {
                 report(std::to_string(orphans) + " properties belong to no object");
               }
             });
}

void Store::CheckSecrets(const Report& report) {
  const std::string problem = key_.Problem(db_);
  if (!problem.empty()) {
    report("key: " + problem);
    return;  // without the key no seal can be checked
  }
  const std::string secrets = "SELECT object, number, value FROM properties WHERE attribute = " +
                              std::to_string(KA_ATTR_SECRET);
  const int rc = ForEachRow(
      db_, secrets.c_str(),
      [&](sqlite3_stmt* row) {
        const int64_t id = sqlite3_column_int64(row, 0);
        const auto number = static_cast<int32_t>(sqlite3_column_int64(row, 1));
        const auto* sealed = static_cast<const uint8_t*>(sqlite3_column_blob(row, 2));
        const auto size = static_cast<size_t>(sqlite3_column_bytes(row, 2));
        const std::optional<size_t> inside = SealedValueSize(size, size > 0 ? sealed[0] : 0);
        std::vector<uint8_t> plain(inside.value_or(0));
        if (!inside || Unseal(id, number, sealed, size, plain.data()) != KA_OK) {
          report("object " + std::to_string(id) + " property " + std::to_string(number) +
                 ": the secret's seal does not open");
        }
        Scrub(plain.data(), plain.size());
      });
  if (rc != SQLITE_OK) report("cannot read the secrets: " + db_.LastError());
}

}  // namespace keel::sqlite
