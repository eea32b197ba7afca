// disk_fixture.h - the fixture of the persistent backend's tests: a store
// database of the test's own in a fresh folder, a way to open it again as a
// new process would, direct access to the file for damaging it, and child
// processes.
#ifndef KEELAPI_TEST_DISK_FIXTURE_H
#define KEELAPI_TEST_DISK_FIXTURE_H

#include <sqlite3.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <functional>
#include <string>

#include "KeelAPIAdmin.h"
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

  // Runs SQL on the database directly, bypassing the store: SQLITE_OK or
  // the error.
  int Sql(const std::string& sql) const {
    sqlite3* db = nullptr;
    int rc = sqlite3_open(db_.c_str(), &db);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rc;
  }

  // The problems KeelAdmin_Check reports, and its status in *status.
  static std::vector<std::string> Problems(KA_STATUS* status) {
    std::vector<std::string> lines;
    *status = KeelAdmin_Check(
        [](void* user, const char* line) {
          static_cast<std::vector<std::string>*>(user)->push_back(line);
        },
        &lines);
    return lines;
  }

  TempFolder folder_;
  const std::string db_ = folder_.File("keel.db");
};

// An integer a query answers on the database at `db`, read directly; -1
// when it cannot be read.
inline int64_t QueryInt(const std::string& db, const char* sql) {
  sqlite3* handle = nullptr;
  sqlite3_stmt* stmt = nullptr;
  int64_t value = -1;
  if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(handle, sql, -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW) {
    value = sqlite3_column_int64(stmt, 0);
  }
  sqlite3_finalize(stmt);
  sqlite3_close(handle);
  return value;
}

#ifndef _WIN32
// Runs `body` in a child process, which exits with its answer (without
// running this process's exit handlers).
inline pid_t Spawn(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) _exit(body());
  return child;
}

// The child's exit code, or 128 + the signal that ended it.
inline int WaitFor(pid_t child) {
  int status = 0;
  if (waitpid(child, &status, 0) != child) return -1;
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

}  // namespace keeltest

#endif  // KEELAPI_TEST_DISK_FIXTURE_H
