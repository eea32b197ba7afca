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
  ASSERT_EQ(env.loads.size(), 4u);
  EXPECT_EQ(env.loads[0], env.loads[2]);
  EXPECT_EQ(env.loads[1], env.loads[3]);
#ifndef _WIN32  // on Windows the store folder is the system's (see tests/windows)
  EXPECT_EQ(env.loads[0], (StoreFolder() / "libKeelAPI.so").string());
  EXPECT_EQ(env.loads[1], "libKeelAPI.so");
#endif
  EXPECT_EQ(env.systemChecks, 1) << "the system is checked once per process";
  EXPECT_EQ(binding::KA_Id_Release(&Handles().identity), -8);
}

#ifndef _WIN32
// Where the store is found: the POSIX stand-in of the suite's folder, and
// the dynamic loader (on Windows: tests/windows/binding_windows_test.cpp).
TEST_P(Binding, LoadsFromTheStoreFolderOnceAndKeepsIt) {
  RecordingEnv env;
  DWORD index = 0;
  ::GetSkinIndex(&index);
  ::GetSkinIndex(&index);
  EXPECT_EQ(env.loads, (Names{(StoreFolder() / "libKeelAPI.so").string()}));
}

TEST_P(Binding, FallsBackToTheBareNameWhenTheFolderHasNoLibrary) {
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizer's runtime makes the load, without the search path of
  // DataManager (its RUNPATH), and the store's SONAME (libKeelAPI.so.2) is
  // not the bare name: nothing there can find the store by bare name.
  GTEST_SKIP() << "the bare-name search is DataManager's own only without the sanitizer";
#endif
  std::filesystem::remove(StoreFolder() / "libKeelAPI.so");
  // The bare name finds the production store through DataManager's search
  // path, beside it.
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

// On an old system only a library of version 2 or later is loaded, even by
// bare name; ours is, by the version its file carries.
TEST_P(Binding, OnAnOldSystemOnlyALibraryOfVersionTwoIsLoaded) {
  for (const uint32_t version : {0x00010005u, 0x00020000u, 0u}) {
    SCOPED_TRACE(version);
    FreshStore();
    binding::ResetModuleTableForTesting();
    RecordingEnv env;
    env.systemIsRecent = false;
    if (version != 0) env.libraryVersion = version;  // 0: the file's own
    const bool old = version == 0x00010005u;
    EXPECT_EQ(::SetSkinIndex(1), old ? 0 : 1);
    EXPECT_EQ(env.loads.size(), old ? 0u : 1u);
    RunUnloadHandler();
  }
}

#ifndef _WIN32
TEST_P(Binding, TheLibraryCarriesItsFileVersion) {
  EXPECT_EQ(platform::ReadElfFileVersionMS(KEELAPI_LIBRARY_PATH), 0x00020000u);  // 2.0
  const auto notElf = StoreFolder() / "not-a-library.so";
  std::ofstream(notElf) << "plain text, no ELF header here";
  EXPECT_EQ(platform::ReadElfFileVersionMS(notElf.string()), 0u);
  EXPECT_EQ(platform::ReadElfFileVersionMS((StoreFolder() / "absent.so").string()), 0u);
  // An ELF file without the section (this test program) has no version.
  EXPECT_EQ(platform::ReadElfFileVersionMS("/proc/self/exe"), 0u);
}
#endif

DM_IN_MEMORY(Binding);

}  // namespace
}  // namespace dm::test
