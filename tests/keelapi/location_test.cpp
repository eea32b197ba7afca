// Where the store lives when no test chose (KEELAPI_DB, else the per-user
// data folder of $XDG_DATA_HOME, else ~/.local/share), and how it is made.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "common/scoped_env.h"
#include "store_fixture.h"

namespace keeltest {
namespace {

class KeelLocation : public StoreTest {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.ok()); }
  void TearDown() override { KeelTest_Reset("memory"); }

  // Starts on the store's own file as a new process would, and opens it.
  static KA_STATUS StartAndOpen() {
    EXPECT_EQ(KeelTest_Reset("sqlite"), KA_OK);
    uint32_t context = 0;
    return InitAs("location", &context);
  }

  static unsigned ModeOf(const std::filesystem::path& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 01000;
  }

  static constexpr const char* kVariables[] = {"KEELAPI_DB", "XDG_DATA_HOME", "HOME"};
  // Unset for each test, and put back after it.
  testenv::ScopedEnv db_{kVariables[0], std::nullopt};
  testenv::ScopedEnv data_home_{kVariables[1], std::nullopt};
  testenv::ScopedEnv home_{kVariables[2], std::nullopt};
  TempFolder folder_;
};

TEST_F(KeelLocation, AStoreThatCannotBeMadeFailsUntilItCan) {
  const std::filesystem::path blocker = folder_.path() / "blocker";
  std::ofstream(blocker).close();  // a file where a folder must go
  setenv("KEELAPI_DB", (blocker / "keel.db").c_str(), 1);
  EXPECT_EQ(StartAndOpen(), KA_E_STORAGE);
  EXPECT_EQ(KeelTest_SeedCard("a.com", 1), KA_E_STORAGE);
  std::filesystem::remove(blocker);
  uint32_t context = 0;
  EXPECT_EQ(InitAs("location", &context), KA_OK) << "each call tries again";
  EXPECT_TRUE(std::filesystem::exists(blocker / "keel.db"));
}

// Each setting names its file, made on first use for the owner only.  A
// relative home or data folder is refused (the store would move with the
// working folder); what lets other users into the store's own folder, its
// database and its key file is repaired, each repair told by the check.
// Modes are compared, not access: root passes every access check.
TEST_F(KeelLocation, EachSettingNamesAPrivateFileAndWhatLetsOthersInIsRepaired) {
  const std::filesystem::path root = folder_.path();
  const bool as_root = geteuid() == 0;
  auto folder_of = [&](const char* home) {
    return (root / home / ".local/share/Halvorn").string();
  };
  auto repaired = [](const std::string& what, const std::string& path, const char* before,
                     const char* after) {
    return std::string(KEEL_CHECK_REPAIRED) + what + " " + path + " let other users in (mode " +
           before + "): now " + after;
  };
  // A new file's mode, and its new folders', up to the test's own folder.
  auto made_private = [&](const std::filesystem::path& file) {
    std::vector<std::pair<std::string, unsigned>> modes = {{file.string(), 0600}};
    for (auto folder = file.parent_path(); folder != root; folder = folder.parent_path()) {
      modes.emplace_back(folder.string(), 0700);
    }
    return modes;
  };
  struct Loosen {
    std::string path;
    unsigned mode;
    bool other_owner = false;  // given to another user first (only as root)
  };
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, std::string>> environment;
    std::vector<Loosen> loosen;  // done to a store made first, before it is opened again
    KA_STATUS opened;
    std::vector<std::string> said;  // in the check's lines, whole or in part
    std::vector<std::pair<std::string, unsigned>> modes;  // afterwards
    std::filesystem::path file = {};  // reported, and made only when opened
  } cases[] = {
      {"KEELAPI_DB",
       {{"KEELAPI_DB", (root / "a/b/store.db").string()},
        {"XDG_DATA_HOME", (root / "xdg").string()}}, {}, KA_OK, {},
       made_private(root / "a/b/store.db"), root / "a/b/store.db"},
      {"XDG_DATA_HOME",
       {{"XDG_DATA_HOME", (root / "xdg").string()}, {"HOME", (root / "home").string()}}, {},
       KA_OK, {}, made_private(root / "xdg/Halvorn/keel.db"), root / "xdg/Halvorn/keel.db"},
      {"HOME", {{"HOME", (root / "home").string()}}, {}, KA_OK, {},
       made_private(root / "home/.local/share/Halvorn/keel.db"),
       root / "home/.local/share/Halvorn/keel.db"},
      {"a relative HOME", {{"HOME", "relative/home"}}, {}, KA_E_STORAGE,
       {"cannot open the store: the home folder is a relative path (HOME=relative/home)"}, {}},
      {"a relative XDG_DATA_HOME",
       {{"XDG_DATA_HOME", "relative/xdg"}, {"HOME", (root / "h1").string()}}, {}, KA_E_STORAGE,
       {"cannot open the store: XDG_DATA_HOME is a relative path (relative/xdg)"}, {}},
      {"the store's folder open to others", {{"HOME", (root / "h2").string()}},
       {{folder_of("h2"), 0755}}, KA_OK, {repaired("the folder", folder_of("h2"), "0755", "0700")},
       {{folder_of("h2"), 0700}}},
      {"the database and its key file open to others", {{"HOME", (root / "h3").string()}},
       {{folder_of("h3") + "/keel.db", 0644}, {folder_of("h3") + "/keel.db.key", 0640}}, KA_OK,
       {repaired("the file", folder_of("h3") + "/keel.db", "0644", "0600"),
        repaired("the file", folder_of("h3") + "/keel.db.key", "0640", "0600")},
       {{folder_of("h3") + "/keel.db", 0600}, {folder_of("h3") + "/keel.db.key", 0600}}},
      {"a folder named through KEELAPI_DB is its chooser's, its files are not",
       {{"KEELAPI_DB", (root / "chosen/keel.db").string()}},
       {{(root / "chosen").string(), 0755}, {(root / "chosen/keel.db").string(), 0666}}, KA_OK,
       {repaired("the file", (root / "chosen/keel.db").string(), "0666", "0600")},
       {{(root / "chosen").string(), 0755}, {(root / "chosen/keel.db").string(), 0600}}},
  };
  std::vector<Case> all(std::begin(cases), std::end(cases));
  if (as_root) {
    all.push_back({"another user's database open to others", {{"HOME", (root / "h4").string()}},
                   {{folder_of("h4") + "/keel.db", 0644, true}}, KA_E_STORAGE,
                   {"the file " + folder_of("h4") +
                    "/keel.db lets other users in (mode 0644) and belongs to another user"},
                   {{folder_of("h4") + "/keel.db", 0644}}});
  }
  for (const Case& c : all) {
    SCOPED_TRACE(c.what);
    for (const char* name : kVariables) unsetenv(name);
    for (const auto& [name, value] : c.environment) setenv(name, value.c_str(), 1);
    if (!c.file.empty()) {
      ASSERT_EQ(KeelTest_Reset("sqlite"), KA_OK);
      char reported[4096] = {};
      int32_t size = 0;
      EXPECT_EQ(KeelAdmin_StoreFile(reported, sizeof reported, &size), KA_OK);
      EXPECT_EQ(reported, c.file.string());
      EXPECT_FALSE(std::filesystem::exists(c.file)) << "nothing is made before it is needed";
    }
    if (!c.loosen.empty()) {
      ASSERT_EQ(StartAndOpen(), KA_OK);
      const int64_t card = KeelTest_SeedCard("a.example.com", 1);
      ASSERT_EQ(KeelTest_SetProperty(card, 104, KA_ATTR_SECRET, "pw", -1), KA_OK);  // the key
      KeelTest_Reset("memory");
      for (const Loosen& l : c.loosen) {
        if (l.other_owner) {
          ASSERT_EQ(chown(l.path.c_str(), 65534, 65534), 0) << l.path;
        }
        ASSERT_EQ(chmod(l.path.c_str(), l.mode), 0) << l.path;
      }
    }
    EXPECT_EQ(StartAndOpen(), c.opened);
    KA_STATUS checked = KA_OK;
    const std::vector<std::string> lines = Problems(&checked);
    EXPECT_EQ(checked, c.opened == KA_OK ? KA_OK : KA_E_STORAGE);
    for (const std::string& expected : c.said) {
      bool found = false;
      for (const std::string& line : lines) found = found || line.find(expected) != std::string::npos;
      EXPECT_TRUE(found) << expected << "\nnot among\n" << testing::PrintToString(lines);
    }
    auto repairs = [](const std::vector<std::string>& texts) {
      return std::count_if(texts.begin(), texts.end(), [](const std::string& text) {
        return text.rfind(KEEL_CHECK_REPAIRED, 0) == 0;
      });
    };
    EXPECT_EQ(repairs(lines), repairs(c.said)) << "the repairs of this store's files only";
    for (const auto& [path, mode] : c.modes) EXPECT_EQ(ModeOf(path), mode) << path;
  }
  EXPECT_FALSE(std::filesystem::exists("relative")) << "nothing made under the working folder";
}

}  // namespace
}  // namespace keeltest
