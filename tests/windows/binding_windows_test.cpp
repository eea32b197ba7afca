// The store binding on Windows: DataManager finds the store where an
// installation puts it, in the suite's folder under Common Files (the
// shell's folder, not an environment variable), checks its version
// resource, and falls back to the bare name, which finds a store the
// process has loaded already.
#include <windows.h>
#include <shlobj.h>

#include "DataManager.h"
#include "binding/ModuleTable.h"
#include "platform/TextCodec.h"
#include "support/DataManagerTest.h"
#include "support/RecordingEnv.h"

namespace dm::test {
namespace {

using WindowsBinding = DataManagerTest;

std::string InstalledStore() {
  wchar_t common[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES_COMMON, nullptr, SHGFP_TYPE_CURRENT, common);
  return platform::WideToUtf8(std::wstring(common) + L"\\Halvorn\\KeelAPI.dll");
}

// Where the store DataManager has bound was loaded from.
std::string BoundStorePath() {
  binding::ModuleState state;
  if (!binding::InspectModule(binding::kStoreLibraryName, &state)) return "(no store bound)";
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(static_cast<HMODULE>(state.handle), path, MAX_PATH);
  return platform::WideToUtf8(path);
}

class NoSuiteFolder : public RecordingEnv {
 public:
  WString CommonProgramFilesFolder() override { return L"C:\\no such folder"; }
};

TEST_P(WindowsBinding, LoadsTheStoreInstalledUnderCommonFilesAndReadsItsVersion) {
  RecordingEnv env;
  EXPECT_EQ(::SetSkinIndex(1), 1);
  EXPECT_EQ(env.loads, (std::vector<std::string>{InstalledStore()}));
  EXPECT_EQ(BoundStorePath(), InstalledStore());
  WString path;
  ASSERT_TRUE(platform::Utf8ToWide(InstalledStore(), &path));
  EXPECT_GE(DefaultEnv()->FileVersionMS(path) >> 16, 2u);
}

TEST_P(WindowsBinding, FallsBackToTheBareNameWhenTheSuiteFolderHasNoStore) {
  NoSuiteFolder env;
  EXPECT_EQ(::SetSkinIndex(1), 1);
  EXPECT_EQ(env.loads,
            (std::vector<std::string>{"C:\\no such folder\\Halvorn\\KeelAPI.dll", "KeelAPI.dll"}));
  EXPECT_EQ(BoundStorePath(), InstalledStore()) << "the store already loaded";
}

DM_ON_EVERY_BACKEND(WindowsBinding);

}  // namespace
}  // namespace dm::test
