// store_key.h - the key a store's secrets are sealed with.
//
// The key lives in a file beside the database (mode 0600), never in it, so
// that a copy of the database alone reveals no secret.  The database records
// the key's fingerprint when it seals its first secret; from then on a
// missing key file, or a key file with another key, is an error and never
// the occasion to make a new key: the secrets sealed with the old one would
// be lost without a word.
#ifndef KEEL_SQLITE_STORE_KEY_H
#define KEEL_SQLITE_STORE_KEY_H

#include <string>

#include "backends/sqlite/connection.h"
#include "secrets/secret_box.h"

namespace keel::sqlite {

class StoreKey {
 public:
  explicit StoreKey(std::string path) : path_(std::move(path)) {}
  ~StoreKey() { Scrub(key_.data(), key_.size()); }
  StoreKey(const StoreKey&) = delete;
  StoreKey& operator=(const StoreKey&) = delete;

  // The key to open seals with, read from its file on first need.  KA_OK
  // with *key set; KA_E_STORAGE when the file is missing, unreadable, or not
  // the key the database records.
  int ForOpening(Connection& db, const SecretKey** key);

  // The key to seal a new value with, inside the caller's write
  // transaction: as ForOpening, except that a store that has neither a key
  // file nor a recorded fingerprint gets a new key (its file created
  // atomically: when two processes race, both end up with the first one's
  // key).  Records the key's fingerprint in the database when it has none.
  int ForSealing(Connection& db, const SecretKey** key);

  // What is wrong with the key, or "" when nothing is (also when the store
  // has no key because it never sealed a secret).
  std::string Problem(Connection& db);

  const std::string& path() const { return path_; }

 private:
  // Loads the key file into key_, checking it against the recorded
  // fingerprint; creates it when `may_create` and the store has neither.
  int Load(Connection& db, bool may_create);

  // Reads the recorded fingerprint: KA_OK with *found (and *id when found).
  static int RecordedId(Connection& db, bool* found, KeyId* id);

  int Refuse(std::string problem);

  std::string path_;
  SecretKey key_{};
  KeyId id_{};
  bool loaded_ = false;
  std::string problem_;
};

}  // namespace keel::sqlite

#endif  // KEEL_SQLITE_STORE_KEY_H
