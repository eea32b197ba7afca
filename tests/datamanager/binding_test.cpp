// The store binding: finding and loading the store library, looking
// functions up by name, and holding the library while the store is
// initialised.
#include <fstream>

#include "DataManager.h"
#include "StoreHandles.h"
#include "binding/KeelAPIBinding.h"
#include "support/DataManagerTest.h"
#include "support/RecordingEnv.h"

#ifndef _WIN32
#include <dlfcn.h>

#include "platform/ElfFileVersion.h"
#endif

namespace dm::test {
namespace {

using Binding = DataManagerTest;

binding::ModuleState StoreModule(bool* present = nullptr) {
  binding::ModuleState state;
  const bool found = binding::InspectModule(binding::kStoreLibraryName, &state);
  if (present != nullptr) *present = found;
  return state;
}

TEST_P(Binding, WithNoStoreLibraryEveryCallAnswersFunctionMissing) {
  RecordingEnv env;
  env.noLibraryAnywhere = true;
  DWORD index = 5;
  EXPECT_EQ(::GetSkinIndex(&index), 0);
  EXPECT_EQ(::GetSkinIndex(&index), 0);
  EXPECT_EQ(index, 5u);
  EXPECT_EQ(log().Count("Initialize KeelAPI Failed With Error = -8"), 2u);
  EXPECT_EQ(log().Count("Get App"), 0u) << "the opening must stop before the App";
  // The load is tried again on every call: store folder first, then bare name.
  EXPECT_EQ(env.loads.size(), 4u);
  EXPECT_EQ(binding::KA_Id_Release(&Handles().identity), -8);
}

#ifndef _WIN32
// Where the store is found: the POSIX stand-in of the suite's folder, and
// the dynamic loader (on Windows: tests/windows/binding_windows_test.cpp).
TEST_P(Binding, LoadsFromTheStoreFolderFirst) {
  RecordingEnv env;
  DWORD index = 0;
  ::GetSkinIndex(&index);
  ASSERT_FALSE(env.loads.empty());
  EXPECT_EQ(env.loads.front(), (StoreFolder() / "libKeelAPI.so").string());
  EXPECT_EQ(env.loads.size(), 1u) << "loaded once, then kept";
}

TEST_P(Binding, FallsBackToTheBareNameWhenTheFolderHasNoLibrary) {
  std::filesystem::remove(StoreFolder() / "libKeelAPI.so");
  // The bare name finds the production store through the search path, or,
  // as here, as a library the process has loaded already (a load made from
  // a sanitizer's runtime does not see the program's own search path).
  void* production = dlopen(KEELAPI_PRODUCTION_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(production, nullptr) << dlerror();
  RecordingEnv env;
  EXPECT_EQ(::SetSkinIndex(1), 1);
  EXPECT_EQ(env.loads, (std::vector<std::string>{(StoreFolder() / "libKeelAPI.so").string(),
                                                 "libKeelAPI.so"}));
  dlclose(production);
}
#endif

TEST_P(Binding, AMissingFunctionAnswersMinusEightAndCallsNothing) {
  RecordingEnv env;
  env.missingFunctions = {"KA_GetApp"};
  DWORD index = 0;
  EXPECT_EQ(::GetSkinIndex(&index), 0);
  EXPECT_EQ(log().Count("Get App Failed With Error = -8"), 1u);
  EXPECT_EQ(StoreCallNames(), (std::vector<std::string>{"KA_Init"}));
}

TEST_P(Binding, AlreadyInitialisedCountsAsSuccessAndTakesAReference) {
  StoreScript script;
  script.Answer(KF_Init, KA_E_ALREADY_INIT);
  uint32_t context = 0;
  const uint8_t zeros[30] = {};
  EXPECT_EQ(binding::KA_Init(zeros, "KSTouchControl", 0, &context), 0);
  EXPECT_EQ(StoreModule().references, 1u);
}

TEST_P(Binding, TheLastSuccessfulFreeUnloadsTheLibrary) {
  RecordingEnv env;
  ASSERT_EQ(::SetSkinIndex(1), 1);
  EXPECT_EQ(StoreModule().references, 1u);
  EXPECT_NE(StoreModule().handle, nullptr);

  RunUnloadHandler();
  EXPECT_EQ(env.frees, 1);
  bool present = true;
  StoreModule(&present);
  EXPECT_FALSE(present) << "the record and the table go with the last reference";
}

TEST_P(Binding, AFailedFreeChangesNothing) {
  RecordingEnv env;
  ASSERT_EQ(::SetSkinIndex(1), 1);
  StoreScript script;
  script.Answer(KF_Free, KA_E_BAD_HANDLE);
  RunUnloadHandler();
  EXPECT_EQ(env.frees, 0);
  EXPECT_EQ(StoreModule().references, 1u);
}

TEST_P(Binding, OnAnOldSystemAnOldLibraryIsNotLoadedAtAll) {
  RecordingEnv env;
  env.systemIsRecent = false;
  env.libraryVersion = 0x00010005;  // 1.5
  EXPECT_EQ(binding::KA_Free(&Handles().context), -8);
  EXPECT_TRUE(env.loads.empty()) << "not even by bare name";
}

TEST_P(Binding, OnAnOldSystemALibraryOfVersionTwoIsLoaded) {
  RecordingEnv env;
  env.systemIsRecent = false;
  env.libraryVersion = 0x00020000;
  EXPECT_EQ(::SetSkinIndex(1), 1);
  EXPECT_EQ(env.loads.size(), 1u);
}

TEST_P(Binding, OnAnOldSystemOurOwnLibraryIsLoadedByItsRealVersion) {
  RecordingEnv env;
  env.systemIsRecent = false;  // the version comes from the library file itself
  EXPECT_EQ(::SetSkinIndex(1), 1);
}

TEST_P(Binding, TheSystemIsCheckedOncePerProcess) {
  RecordingEnv env;
  env.noLibraryAnywhere = true;  // so every call runs the load procedure
  DWORD index = 0;
  ::GetSkinIndex(&index);
  ::GetSkinIndex(&index);
  EXPECT_EQ(env.systemChecks, 1);
}

#ifndef _WIN32
TEST_P(Binding, TheLibraryCarriesItsFileVersion) {
  EXPECT_EQ(platform::ReadElfFileVersionMS(KEELAPI_LIBRARY_PATH) >> 16, 2u);
  const auto notElf = StoreFolder() / "not-a-library.so";
  std::ofstream(notElf) << "plain text, no ELF header here";
  EXPECT_EQ(platform::ReadElfFileVersionMS(notElf.string()), 0u);
  EXPECT_EQ(platform::ReadElfFileVersionMS((StoreFolder() / "absent.so").string()), 0u);
  // An ELF file without the section (this test program) has no version.
  EXPECT_EQ(platform::ReadElfFileVersionMS("/proc/self/exe"), 0u);
}
#endif

DM_ON_EVERY_BACKEND(Binding);

}  // namespace
}  // namespace dm::test
