// DataManagerTest.h - the fixture of the DataManager suites.
//
// Each test gets a fresh process state as far as DataManager can tell: a
// store folder of its own (through CommonProgramFiles) holding our store
// library, an empty store on the backend the suite is instantiated with,
// the store handles and the binding's table forgotten, and KSLog's lines
// captured.  Tests script the store through StoreScript and override single
// platform calls through an EnvWrapper.
#ifndef DM_TESTS_DATA_MANAGER_TEST_H
#define DM_TESTS_DATA_MANAGER_TEST_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "KeelAPITest.h"
#include "StoreHandles.h"
#include "binding/ModuleTable.h"
#include "platform/Env.h"
#include "support/LogCapture.h"
#include "support/StoreScript.h"

namespace dm::test {

using Names = std::vector<std::string>;

// Sets an environment variable of this process, as the store reads them.
inline void SetVariable(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  ::setenv(name, value.c_str(), 1);
#endif
}

class DataManagerTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    static const std::string run = std::to_string(std::random_device{}());
    static int serial = 0;
    root_ = std::filesystem::temp_directory_path() /
            ("dm-test-" + run + "-" + std::to_string(++serial));
    std::filesystem::create_directories(StoreFolder());
#ifndef _WIN32
    // A link, not a copy: the store loaded by DataManager must be the very
    // library this program talks to through the store's test interface,
    // the development store (KeelAPIDev) under the store's name.  (On
    // Windows that store is installed under Common Files, where DataManager
    // finds it, and this program imports it from there.)
    std::filesystem::create_symlink(KEELAPI_LIBRARY_PATH, StoreFolder() / "libKeelAPI.so");
    ::setenv("CommonProgramFiles", root_.c_str(), 1);
#endif
    // The SQLite backend ("sqlite") opens the store's own file, which this
    // names: a new database for every test, removed with the test's folder.
    SetVariable("KEELAPI_DB", (root_ / "keel.db").string());

    ASSERT_EQ(KeelTest_Reset(GetParam()), KA_OK);
    ResetStoreHandlesForTesting();
    binding::ResetModuleTableForTesting();
    log_ = std::make_unique<LogCapture>();
  }

  void TearDown() override {
    SetEnv(nullptr);
    log_.reset();
    KeelTest_SetInterceptor(nullptr, nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  // Goes on with an empty store on the same backend (a new database for
  // "sqlite") and the store handles forgotten, for tables whose cases each
  // need a store of their own.
  void FreshStore() {
    SetVariable("KEELAPI_DB", (root_ / ("keel-" + std::to_string(++stores_) + ".db")).string());
    ASSERT_EQ(KeelTest_Reset(GetParam()), KA_OK);
    ResetStoreHandlesForTesting();
  }

  std::filesystem::path StoreFolder() const { return root_ / "Halvorn"; }
  LogCapture& log() { return *log_; }

 private:
  std::filesystem::path root_;
  int stores_ = 0;
  std::unique_ptr<LogCapture> log_;
};

// What DataManager's store context answers for a context property of at
// most 8 bytes (little-endian), read straight from the store: the values the
// store keeps per process included.  Nothing when the read fails.
inline std::optional<uint64_t> ContextValue(int32_t property) {
  uint64_t value = 0;
  if (KA_GetProperty(&Handles().context, property, sizeof value, &value, nullptr) != KA_OK) {
    return std::nullopt;
  }
  return value;
}

// Instantiates a suite on every store backend: for suites whose cases
// depend on what the store keeps (writes, deletions, walks over them).
#define DM_ON_EVERY_BACKEND(Suite) \
  INSTANTIATE_TEST_SUITE_P(Store, Suite, ::testing::Values("memory", "sqlite"))

// Instantiates a suite on the memory backend only: for suites whose faults
// come through the interceptor, the log or the platform, which do not
// depend on the backend.
#define DM_IN_MEMORY(Suite) INSTANTIATE_TEST_SUITE_P(Store, Suite, ::testing::Values("memory"))

}  // namespace dm::test

#endif  // DM_TESTS_DATA_MANAGER_TEST_H
