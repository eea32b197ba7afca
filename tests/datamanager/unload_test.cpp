// The unload handler of the real shared library: it runs when dlclose drops
// the last reference (and the library really goes away), and when the
// process exits.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "KeelAPITest.h"
#include "common/child_process.h"
#include "datamanager/support/StoreScript.h"

namespace {

using SetSkinIndexFn = int32_t (*)(uint32_t);

class UnloadHandler : public ::testing::Test {
 protected:
  void SetUp() override {
    // DataManager's store folder, holding a link to the development store
    // this program is linked with, under the store's name.
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

  // Loads the library, opens the store through one export, and answers the
  // library's handle.
  static void* LoadAndOpenStore() {
    void* library = dlopen(DATAMANAGER_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    auto setSkinIndex = reinterpret_cast<SetSkinIndexFn>(dlsym(library, "SetSkinIndex"));
    if (setSkinIndex == nullptr || setSkinIndex(1) != 1) return nullptr;
    return library;
  }

  std::filesystem::path root_;
};

TEST_F(UnloadHandler, RunsWhenTheLastReferenceIsClosed) {
  void* library = LoadAndOpenStore();
  ASSERT_NE(library, nullptr) << dlerror();
  KeelTest_TraceClear();

  ASSERT_EQ(dlclose(library), 0);

  EXPECT_EQ(dm::test::StoreCallNames(),
            (std::vector<std::string>{"KA_Id_Release", "KA_App_Release", "KA_Free"}));
  EXPECT_EQ(dlopen(DATAMANAGER_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr)
      << "the library is still mapped after its last dlclose";
}

// Writes the name of every store call to a pipe, as the child exits.
int32_t ReportToPipe(void* user, const KeelCall* call) {
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(user));
  const std::string line = std::string(KeelTest_FunctionName(call->function)) + "\n";
  (void)!write(fd, line.data(), line.size());
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
  EXPECT_EQ(reported, "KA_Id_Release\nKA_App_Release\nKA_Free\n");
}

}  // namespace
