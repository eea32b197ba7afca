// store_key.cpp - loading, creating and recognising the store's key.
#include "backends/sqlite/store_key.h"

#include <cstring>

#include "KeelAPI.h"
#include "platform/key_file.h"
#include "platform/store_location.h"

namespace keel::sqlite {
namespace {

constexpr char kKeyIdName[] = "key_id";

std::string NotTheKey(const std::string& path) {
  return "the key file " + path + " is not the key this store's secrets are sealed with";
}

}  // namespace

int StoreKey::ForOpening(Connection& db, const SecretKey** key) {
  if (!loaded_) {
    if (const int status = Load(db, false); status != KA_OK) return status;
  }
  *key = &key_;
  return KA_OK;
}

int StoreKey::ForSealing(Connection& db, const SecretKey** key) {
  if (!loaded_) {
    if (const int status = Load(db, true); status != KA_OK) return status;
  }
  // Checked on every seal, not remembered: the transaction that recorded it
  // may have been rolled back since.
  bool found = false;
  KeyId recorded{};
  if (const int status = RecordedId(db, &found, &recorded); status != KA_OK) return status;
  if (!found) {
    const int rc = Statement(db, Sql::kWriteMeta)
                       .BindText(1, kKeyIdName)
                       .BindBlob(2, id_.data(), id_.size())
                       .Run();
    if (rc != SQLITE_DONE) return StatusOf(rc);
  } else if (recorded != id_) {
    return Refuse(NotTheKey(path_));
  }
  *key = &key_;
  return KA_OK;
}

std::string StoreKey::Problem(Connection& db) {
  if (loaded_) return "";
  bool found = false;
  KeyId recorded{};
  if (RecordedId(db, &found, &recorded) != KA_OK) return "cannot read the key's fingerprint";
  if (!found && !FileExists(path_)) return "";  // no secret was ever sealed
  return Load(db, false) == KA_OK ? "" : problem_;
}

int StoreKey::Load(Connection& db, bool may_create) {
  bool found = false;
  KeyId recorded{};
  if (const int status = RecordedId(db, &found, &recorded); status != KA_OK) return status;
  SecretKey key{};
  std::string why;
  KeyFileStatus read = ReadKeyFile(path_, key.data(), key.size(), &why);
  if (read == KeyFileStatus::kMissing) {
    if (found) {
      return Refuse("the key file " + path_ +
                    " is missing, and this store holds secrets sealed with it");
    }
    if (!may_create) return Refuse("the store has no key file " + path_);
    if (!NewSecretKey(&key)) return Refuse("the system's random source failed");
    read = CreateKeyFile(path_, key.data(), key.size(), &why);
    if (read == KeyFileStatus::kExists) {  // another process was first: take its key
      read = ReadKeyFile(path_, key.data(), key.size(), &why);
    }
  }
  if (read != KeyFileStatus::kDone) {
    Scrub(key.data(), key.size());
    return Refuse(why);
  }
  const std::optional<KeyId> id = KeyIdOf(key);
  if (!id || (found && recorded != *id)) {
    Scrub(key.data(), key.size());
    return Refuse(NotTheKey(path_));
  }
  key_ = key;
  Scrub(key.data(), key.size());
  id_ = *id;
  loaded_ = true;
  problem_.clear();
  return KA_OK;
}

int StoreKey::RecordedId(Connection& db, bool* found, KeyId* id) {
  Statement read(db, Sql::kReadMeta);
  const int rc = read.BindText(1, kKeyIdName).Step();
  if (rc == SQLITE_DONE) {
    *found = false;
    return KA_OK;
  }
  if (rc != SQLITE_ROW) return StatusOf(rc);
  *found = true;
  if (read.ByteCount(0) != id->size()) {
    id->fill(0);  // a damaged fingerprint matches no key
    return KA_OK;
  }
  std::memcpy(id->data(), read.Bytes(0), id->size());
  return KA_OK;
}

int StoreKey::Refuse(std::string problem) {
  problem_ = std::move(problem);
  return KA_E_STORAGE;
}

}  // namespace keel::sqlite
