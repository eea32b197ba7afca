// The unload handler of the real shared library runs when dlclose drops the
// last reference (and the library really goes away), and when the process
// exits: it releases the identity and the application, then frees the context.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "KeelAPITest.h"
#include "common/child_process.h"
#include "datamanager/support/StoreScript.h"

namespace {

const std::vector<std::string> kReleases = {"KA_Id_Release", "KA_App_Release", "KA_Free"};

class UnloadHandler : public ::testing::Test {
 protected:
  // DataManager's store folder links to the development store this program
  // is linked with, under the store's name.
  void SetUp() override {
    std::string folder = (std::filesystem::temp_directory_path() / "dm-unload-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    root_ = folder;
    std::filesystem::create_directories(root_ / "Halvorn");
    std::filesystem::create_symlink(KEELAPI_LIBRARY_PATH, root_ / "Halvorn" / "libKeelAPI.so");
    ::setenv("CommonProgramFiles", root_.c_str(), 1);
    ASSERT_EQ(KeelTest_Reset("memory"), KA_OK);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  // Loads the library and opens the store through one export.
  static void* LoadAndOpenStore() {
    void* library = dlopen(DATAMANAGER_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    auto setSkinIndex = reinterpret_cast<int32_t (*)(uint32_t)>(
        library == nullptr ? nullptr : dlsym(library, "SetSkinIndex"));
    return setSkinIndex != nullptr && setSkinIndex(1) == 1 ? library : nullptr;
  }

  std::filesystem::path root_;
};

TEST_F(UnloadHandler, RunsWhenTheLastReferenceIsClosed) {
  void* library = LoadAndOpenStore();
  ASSERT_NE(library, nullptr) << dlerror();
  KeelTest_TraceClear();
  ASSERT_EQ(dlclose(library), 0);
  EXPECT_EQ(dm::test::StoreCallNames(), kReleases);
  EXPECT_EQ(dlopen(DATAMANAGER_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr)
      << "the library is still mapped after its last dlclose";
}

// Writes the name of every store call to a pipe, as the child exits.
int32_t ReportToPipe(void* user, const KeelCall* call) {
  const std::string line = std::string(KeelTest_FunctionName(call->function)) + " ";
  (void)!write(static_cast<int>(reinterpret_cast<intptr_t>(user)), line.data(), line.size());
  return KEEL_PASS;
}

TEST_F(UnloadHandler, RunsWhenTheProcessExits) {
  testchild::Pipe report;
  const pid_t child = testchild::Spawn([&]() -> int {
    if (LoadAndOpenStore() == nullptr) return 2;
    KeelTest_SetInterceptor(&ReportToPipe,
                            reinterpret_cast<void*>(static_cast<intptr_t>(report.write_end())));
    std::exit(0);  // the library stays loaded: only process exit unloads it
  });
  report.CloseWriteEnd();
  std::string reported;
  char buffer[256];
  for (ssize_t n; (n = read(report.read_end(), buffer, sizeof buffer)) > 0;) {
    reported.append(buffer, n);
  }
  ASSERT_EQ(testchild::WaitFor(child), 0);
  EXPECT_EQ(reported, "KA_Id_Release KA_App_Release KA_Free ");
}

}  // namespace
