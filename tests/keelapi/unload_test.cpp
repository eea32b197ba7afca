// Unloading the store closes its database and frees its state: when the
// last reference of the library is closed, and when the process exits.
// Under the asan preset, LeakSanitizer checks that nothing is left.
#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>

#include "support/disk_fixture.h"

namespace keeltest {
namespace {

using KeelUnload = DiskTest;

using ResetFn = KA_STATUS (*)(const char*);
using SeedFn = int64_t (*)(const char*, int32_t);
using SetFn = KA_STATUS (*)(int64_t, int32_t, int32_t, const void*, int32_t);

TEST_F(KeelUnload, ClosingTheLastReferenceClosesTheDatabase) {
  Close();
  // A copy of the library is a second store of its own, which this process
  // does not otherwise hold: closing it really unloads it.
  const std::string copy = folder_.File("libKeelAPI-copy.so");
  std::filesystem::copy_file(KEELAPI_LIBRARY_PATH, copy);
  void* library = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto reset = reinterpret_cast<ResetFn>(dlsym(library, "KeelTest_Reset"));
  auto seed = reinterpret_cast<SeedFn>(dlsym(library, "KeelTest_SeedCard"));
  auto set = reinterpret_cast<SetFn>(dlsym(library, "KeelTest_SetProperty"));
  ASSERT_TRUE(reset != nullptr && seed != nullptr && set != nullptr);
  ASSERT_EQ(reset(("sqlite:" + db_).c_str()), KA_OK);
  const int64_t card = seed("unload.example.com", 999);
  ASSERT_GT(card, 0);
  ASSERT_EQ(set(card, 104, KA_ATTR_SECRET, "pw", -1), KA_OK);
  ASSERT_TRUE(std::filesystem::exists(db_ + "-wal")) << "the database is open";

  ASSERT_EQ(dlclose(library), 0);
  EXPECT_EQ(dlopen(copy.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "still mapped";
  EXPECT_FALSE(std::filesystem::exists(db_ + "-wal")) << "the last connection closed";
  ASSERT_EQ(Reopen(), KA_OK);
  char value[8] = {};
  EXPECT_EQ(KeelTest_GetProperty(card, 104, value, sizeof value, nullptr, nullptr), KA_OK);
  EXPECT_STREQ(value, "pw");
}

TEST_F(KeelUnload, ProcessExitClosesTheDatabase) {
  Close();
  const pid_t child = Spawn([&] {
    if (Reopen() != KA_OK || KeelTest_SeedCard("exit.example.com", 999) <= 0) return 2;
    std::exit(0);  // runs the library's unload handler, unlike _exit
  });
  EXPECT_EQ(WaitFor(child), 0);
  EXPECT_FALSE(std::filesystem::exists(db_ + "-wal"));
  ASSERT_EQ(Reopen(), KA_OK);
  EXPECT_EQ(KeelTest_ListObjects(KEEL_CARD, nullptr, 0), 1u);
}

}  // namespace
}  // namespace keeltest
