// disk_fixture.h - the persistent backend's tests: a database of the test's
// own in a fresh folder, reopened as a new process would, read or damaged
// directly, and child processes.
#ifndef KEELAPI_TEST_DISK_FIXTURE_H
#define KEELAPI_TEST_DISK_FIXTURE_H

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>

#include "KeelAPIAdmin.h"
#ifndef _WIN32
#include "common/child_process.h"
#endif
#include "store_fixture.h"
#include "support/temp_folder.h"

namespace keeltest {

class DiskTest : public StoreTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    ASSERT_EQ(Reopen(), KA_OK);
  }
  void TearDown() override { KeelTest_Reset("memory"); }

  // Closes the store and opens its database again, with no handle, no
  // context and no cache left from before: what a new process sees.
  KA_STATUS Reopen() {
    KeelTest_Reset("memory");
    return KeelTest_Reset(("sqlite:" + db_).c_str());
  }

  // Closes the store, so that the files can be read or changed directly.
  static void Close() { KeelTest_Reset("memory"); }

  // Runs SQL on the database directly: SQLITE_OK or the error.
  int Sql(const std::string& sql) const {
    sqlite3* db = nullptr;
    int rc = sqlite3_open(db_.c_str(), &db);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rc;
  }

  TempFolder folder_;
  const std::string db_ = folder_.File("keel.db");
};

// The first value a query answers on the database at `db`, as its bytes.
inline std::optional<std::string> Query(const std::string& db, const std::string& sql) {
  sqlite3* handle = nullptr;
  sqlite3_stmt* stmt = nullptr;
  std::optional<std::string> value;
  if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(handle, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW) {
    const void* bytes = sqlite3_column_blob(stmt, 0);
    value.emplace(bytes ? static_cast<const char*>(bytes) : "",
                  static_cast<size_t>(sqlite3_column_bytes(stmt, 0)));
  }
  sqlite3_finalize(stmt);
  sqlite3_close(handle);
  return value;
}

// The same for a query that answers an integer; -1 when it cannot be read.
inline int64_t QueryInt(const std::string& db, const std::string& sql) {
  const std::optional<std::string> value = Query(db, sql);
  return value ? std::stoll(*value) : -1;
}

// Opens a context and the identity on the database at `db`, as a client
// process starting up would.
inline bool OpenStoreAt(const std::string& db, uint32_t* context, uint32_t* identity) {
  const uint8_t zeros[30] = {};
  return KeelTest_Reset(("sqlite:" + db).c_str()) == KA_OK &&
         KA_Init(zeros, "disk-test", 0, context) == KA_OK &&
         KA_GetIdentity(context, 0, identity) == KA_OK;
}

#ifndef _WIN32
using testchild::Pipe;
using testchild::Spawn;
using testchild::WaitFor;
#endif

}  // namespace keeltest

#endif  // KEELAPI_TEST_DISK_FIXTURE_H
