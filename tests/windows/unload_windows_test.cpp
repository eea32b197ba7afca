// DataManager.dll unloaded by FreeLibrary and loaded again: its DllMain
// releases the identity and the application object and frees the context,
// and the reloaded library opens the store anew.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KeelAPITest.h"

namespace {

std::vector<std::string> StoreCalls() {
  std::vector<std::string> names;
  for (size_t i = 0; i < KeelTest_TraceSize(); ++i) {
    KeelCall call;
    KeelTest_TraceGet(i, &call);
    names.push_back(KeelTest_FunctionName(call.function));
  }
  return names;
}

TEST(UnloadWindows, FreeLibraryReleasesTheStoreHandlesAndAReloadOpensItAgain) {
  ASSERT_EQ(KeelTest_Reset("memory"), KA_OK);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    HMODULE library = LoadLibraryW(L"DataManager.dll");
    ASSERT_NE(library, nullptr);
    const auto set_skin_index = reinterpret_cast<int32_t(WINAPI*)(uint32_t)>(
        reinterpret_cast<void*>(GetProcAddress(library, "SetSkinIndex")));
    ASSERT_NE(set_skin_index, nullptr);
    EXPECT_EQ(set_skin_index(1), 1);  // opens the store
    EXPECT_GT(KeelTest_OpenHandles(), 0u);
    KeelTest_TraceClear();
    ASSERT_TRUE(FreeLibrary(library));
    EXPECT_EQ(StoreCalls(),
              (std::vector<std::string>{"KA_Id_Release", "KA_App_Release", "KA_Free"}));
    EXPECT_EQ(KeelTest_OpenHandles(), 0u);
    EXPECT_EQ(GetModuleHandleW(L"DataManager.dll"), nullptr) << "still loaded";
  }
}

}  // namespace
