// Where the store lives when no test chose: KEELAPI_DB, else the per-user
// data folder of $XDG_DATA_HOME, else ~/.local/share; created on first use,
// the folders for the owner only (0700), the file too (0600).
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "KeelAPIAdmin.h"
#include "store_fixture.h"
#include "support/temp_folder.h"

namespace keeltest {
namespace {

class KeelLocation : public StoreTest {
 protected:
  void SetUp() override {
    for (const char* name : kVariables) {
      const char* value = std::getenv(name);
      saved_.push_back(value != nullptr ? std::optional<std::string>(value) : std::nullopt);
      unsetenv(name);
    }
    ASSERT_TRUE(folder_.ok());
  }
  void TearDown() override {
    KeelTest_Reset("memory");
    for (size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i]) {
        setenv(kVariables[i], saved_[i]->c_str(), 1);
      } else {
        unsetenv(kVariables[i]);
      }
    }
  }

  // The file the store reports, before it has opened anything.
  static std::string ReportedFile() {
    char buffer[4096] = {};
    int32_t size = 0;
    EXPECT_EQ(KeelAdmin_StoreFile(buffer, sizeof buffer, &size), KA_OK);
    return buffer;
  }

  // Starts on the store's own file as a new process would, and opens it.
  static KA_STATUS StartAndOpen() {
    EXPECT_EQ(KeelTest_Reset("sqlite"), KA_OK);
    const uint8_t zeros[30] = {};
    uint32_t context = 0;
    return KA_Init(zeros, "location", 0, &context);
  }

  static unsigned ModeOf(const std::filesystem::path& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 01000;
  }

  static constexpr const char* kVariables[] = {"KEELAPI_DB", "XDG_DATA_HOME", "HOME"};
  std::vector<std::optional<std::string>> saved_;
  TempFolder folder_;
};

TEST_F(KeelLocation, EachSettingNamesItsFileWhichIsCreatedPrivateOnFirstUse) {
  const std::filesystem::path root = folder_.path();
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, std::string>> environment;
    std::filesystem::path file;
    std::filesystem::path first_new_folder;
  } cases[] = {
      {"KEELAPI_DB",
       {{"KEELAPI_DB", (root / "a/b/store.db").string()},
        {"XDG_DATA_HOME", (root / "xdg").string()}},
       root / "a/b/store.db",
       root / "a"},
      {"XDG_DATA_HOME",
       {{"XDG_DATA_HOME", (root / "xdg").string()}, {"HOME", (root / "home").string()}},
       root / "xdg/Halvorn/keel.db",
       root / "xdg"},
      {"HOME",
       {{"HOME", (root / "home").string()}},
       root / "home/.local/share/Halvorn/keel.db",
       root / "home"},
      {"a relative XDG_DATA_HOME is ignored",
       {{"XDG_DATA_HOME", "relative/xdg"}, {"HOME", (root / "home2").string()}},
       root / "home2/.local/share/Halvorn/keel.db",
       root / "home2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* name : kVariables) unsetenv(name);
    for (const auto& [name, value] : c.environment) setenv(name, value.c_str(), 1);
    ASSERT_EQ(KeelTest_Reset("sqlite"), KA_OK);
    EXPECT_EQ(ReportedFile(), c.file.string());
    EXPECT_FALSE(std::filesystem::exists(c.file)) << "nothing is made before it is needed";
    EXPECT_EQ(StartAndOpen(), KA_OK);
    EXPECT_EQ(ModeOf(c.file), 0600u);
    for (std::filesystem::path folder = c.file.parent_path(); folder != root;
         folder = folder.parent_path()) {
      EXPECT_EQ(ModeOf(folder), 0700u) << folder;
    }
    EXPECT_TRUE(std::filesystem::exists(c.first_new_folder));
  }
}

TEST_F(KeelLocation, AStoreThatCannotBeMadeFailsUntilItCan) {
  const std::filesystem::path blocker = folder_.path() / "blocker";
  std::ofstream(blocker).close();  // a file where a folder must go
  setenv("KEELAPI_DB", (blocker / "keel.db").c_str(), 1);
  EXPECT_EQ(StartAndOpen(), KA_E_STORAGE);
  EXPECT_EQ(KeelTest_SeedCard("a.com", 1), KA_E_STORAGE);
  std::filesystem::remove(blocker);
  const uint8_t zeros[30] = {};
  uint32_t context = 0;
  EXPECT_EQ(KA_Init(zeros, "location", 0, &context), KA_OK) << "each call tries again";
  EXPECT_TRUE(std::filesystem::exists(blocker / "keel.db"));
}

}  // namespace
}  // namespace keeltest
