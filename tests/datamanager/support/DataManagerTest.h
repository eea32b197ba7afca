// DataManagerTest.h - the fixture of the DataManager suites: each test has
// a store folder of its own (through CommonProgramFiles), an empty store on
// the suite's backend, the store handles and the binding's table forgotten,
// and KSLog's lines captured.
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

class DataManagerTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    static const std::string run = std::to_string(std::random_device{}());
    static int serial = 0;
    root_ = std::filesystem::temp_directory_path() /
            ("dm-test-" + run + "-" + std::to_string(++serial));
    std::filesystem::create_directories(StoreFolder());
#ifndef _WIN32
    // A link, not a copy: DataManager must load the very store this program
    // talks to through its test interface.  (Windows installs that store
    // under Common Files, where both find it.)
    std::filesystem::create_symlink(KEELAPI_LIBRARY_PATH, StoreFolder() / "libKeelAPI.so");
    ::setenv("CommonProgramFiles", root_.c_str(), 1);
#endif
    FreshStore();
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

  // An empty store on the same backend ("sqlite": a new database file of
  // the test's folder) with the store handles forgotten.
  void FreshStore() {
    const std::string db = (root_ / ("keel-" + std::to_string(++stores_) + ".db")).string();
#ifdef _WIN32
    _putenv_s("KEELAPI_DB", db.c_str());
#else
    ::setenv("KEELAPI_DB", db.c_str(), 1);
#endif
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

// A context property of at most 8 bytes (little-endian) as DataManager's
// store context answers it; nothing when the read fails.
inline std::optional<uint64_t> ContextValue(int32_t property) {
  uint64_t value = 0;
  if (KA_GetProperty(&Handles().context, property, sizeof value, &value, nullptr) != KA_OK) {
    return std::nullopt;
  }
  return value;
}

// For suites whose cases depend on what the store keeps.
#define DM_ON_EVERY_BACKEND(Suite) \
  INSTANTIATE_TEST_SUITE_P(Store, Suite, ::testing::Values("memory", "sqlite"))

// For suites whose faults come through the interceptor, the log or the platform.
#define DM_IN_MEMORY(Suite) INSTANTIATE_TEST_SUITE_P(Store, Suite, ::testing::Values("memory"))

}  // namespace dm::test

#endif  // DM_TESTS_DATA_MANAGER_TEST_H
