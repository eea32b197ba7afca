// The unload handler of the real shared library: it runs when dlclose drops
// the last reference (and the library really goes away), and when the
// process exits.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "KeelAPITest.h"

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

  std::vector<std::string> names;
  for (size_t i = 0; i < KeelTest_TraceSize(); ++i) {
    KeelCall call;
    KeelTest_TraceGet(i, &call);
    names.push_back(KeelTest_FunctionName(call.function));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"KA_Id_Release", "KA_App_Release", "KA_Free"}));
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
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(fds[0]);
    if (LoadAndOpenStore() == nullptr) _exit(2);
    KeelTest_SetInterceptor(&ReportToPipe, reinterpret_cast<void*>(static_cast<intptr_t>(fds[1])));
    std::exit(0);  // the library stays loaded: only process exit unloads it
  }
  close(fds[1]);
  std::string reported;
  char buffer[256];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) reported.append(buffer, n);
  close(fds[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(reported, "KA_Id_Release\nKA_App_Release\nKA_Free\n");
}

}  // namespace
