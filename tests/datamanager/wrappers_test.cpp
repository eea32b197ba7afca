// The store wrappers: one store call each, and one failure line, under the
// wrapper's own name, when the store refuses.
#include <functional>

#include "DataManagerUtils.h"
#include "KeelAPIUtils.h"
#include "StoreHandles.h"
#include "support/DataManagerTest.h"

namespace dm::test {
namespace {

using Wrappers = DataManagerTest;

struct WrapperCase {
  const char* wrapper;       // KeelAPIUtils::<wrapper>
  KeelFunction function;     // the store function it calls
  std::function<int(KeelAPIUtils&)> call;
  int result;                // the store's -5 for object wrappers, 0 (FALSE) for the others
};

DWORD g_value = 9;  // what the failing reads must leave alone

std::vector<WrapperCase> AllWrappers() {
  static uint32_t object = 0;
  static char buffer[16];
  static uint32_t size = 0;
  static uint64_t window = 0x1234;
  return {
      {"SetAppProperty", KF_App_SetProperty, [](KeelAPIUtils& s) { return s.SetAppProperty(3001, "x", -1); }, -5},
      {"GetAppProperty", KF_App_GetProperty, [](KeelAPIUtils& s) { return s.GetAppProperty(3001, 16, buffer, &size); }, -5},
      {"GetIdentityProperty", KF_Id_GetProperty, [](KeelAPIUtils& s) { return s.GetIdentityProperty(1, 16, buffer, &size); }, -5},
      {"CreateShortcut", KF_CreateShortcut, [](KeelAPIUtils& s) { return s.CreateShortcut(&object); }, -5},
      {"DeleteShortcut", KF_Shortcut_Delete, [](KeelAPIUtils& s) { return s.DeleteShortcut(&object); }, -5},
      {"ReleaseShortcut", KF_Shortcut_Release, [](KeelAPIUtils& s) { return s.ReleaseShortcut(&object); }, -5},
      {"SetShortcutProperty", KF_Shortcut_SetProperty, [](KeelAPIUtils& s) { return s.SetShortcutProperty(&object, 1000, "x", -1); }, -5},
      {"GetShortcutProperty", KF_Shortcut_GetProperty, [](KeelAPIUtils& s) { return s.GetShortcutProperty(&object, 1000, 16, buffer, &size); }, -5},
      {"CreateCard", KF_Id_CreateCard, [](KeelAPIUtils& s) { return s.CreateCard("example.com", 999, &object); }, -5},
      {"GetCard", KF_Id_GetCardByRefNum, [](KeelAPIUtils& s) { return s.GetCard(77, &object); }, -5},
      {"DeleteCard", KF_Card_Delete, [](KeelAPIUtils& s) { return s.DeleteCard(&object); }, -5},
      {"ReleaseCard", KF_Card_Release, [](KeelAPIUtils& s) { return s.ReleaseCard(&object); }, -5},
      {"SetCardProperty", KF_Card_SetProperty, [](KeelAPIUtils& s) { return s.SetCardProperty(&object, -20, 103, "x", -1); }, -5},
      {"GetCardProperty", KF_Card_GetProperty, [](KeelAPIUtils& s) { return s.GetCardProperty(&object, 103, 16, buffer, &size); }, -5},
      {"CreateMacro", KF_Id_CreateMacro, [](KeelAPIUtils& s) { return s.CreateMacro(1, &object); }, -5},
      {"DeleteMacro", KF_Macro_Delete, [](KeelAPIUtils& s) { return s.DeleteMacro(&object); }, -5},
      {"ReleaseMacro", KF_Macro_Release, [](KeelAPIUtils& s) { return s.ReleaseMacro(&object); }, -5},
      {"SetMacroProperty", KF_Macro_SetProperty, [](KeelAPIUtils& s) { return s.SetMacroProperty(&object, 100, "x", -1); }, -5},
      {"GetMacroProperty", KF_Macro_GetProperty, [](KeelAPIUtils& s) { return s.GetMacroProperty(&object, 100, 16, buffer, &size); }, -5},
      {"SetTimestamp", KF_SetProperty, [](KeelAPIUtils& s) { return s.SetTimestamp(); }, 0},
      {"SetSkinIndex", KF_SetProperty, [](KeelAPIUtils& s) { return s.SetSkinIndex(1); }, 0},
      {"SetBiometricAttemptLimit", KF_SetProperty, [](KeelAPIUtils& s) { return s.SetBiometricAttemptLimit(3); }, 0},
      {"SetBioModuleParent", KF_SetProperty, [](KeelAPIUtils& s) { return s.SetBioModuleParent(&window); }, 0},
      {"GetSkinIndex", KF_GetProperty, [](KeelAPIUtils& s) { return s.GetSkinIndex(&g_value); }, 0},
      {"GetBiometricAttemptLimit", KF_GetProperty, [](KeelAPIUtils& s) { return s.GetBiometricAttemptLimit(&g_value); }, 0},
      {"EnumEnrollments", KF_GetProperty, [](KeelAPIUtils& s) { return s.EnumEnrollments(&g_value); }, 0},
      {"StartAuthentication", KF_Execute, [](KeelAPIUtils& s) { return s.StartAuthentication(); }, 0},
  };
}

// The failure line names the store function and its status, under the
// wrapper's own name, so two callers of one store function are told apart.
TEST_P(Wrappers, EachWrapperLogsTheStoresRefusalOnceUnderItsOwnName) {
  ASSERT_EQ(DataManagerUtils().InitializeQL(), 1);
  for (const WrapperCase& c : AllWrappers()) {
    SCOPED_TRACE(c.wrapper);
    StoreScript script;
    script.Answer(c.function, -5);
    KeelTest_TraceClear();
    log().Clear();
    KeelAPIUtils store;

    EXPECT_EQ(c.call(store), c.result);

    EXPECT_EQ(StoreCallNames(), (Names{KeelTest_FunctionName(c.function)}));
    ASSERT_EQ(log().lines().size(), 1u);
    const LogLine& line = log().lines()[0];
    EXPECT_EQ(line.text, std::string(KeelTest_FunctionName(c.function)) + " Failed With Error = -5");
    EXPECT_EQ(line.function, std::string("KeelAPIUtils::") + c.wrapper);
    EXPECT_EQ(line.file, ".\\KeelAPIUtils");
    EXPECT_EQ(line.level, 1);
  }
  EXPECT_EQ(g_value, 9u) << "a failed read leaves the caller's value alone";
}

TEST_P(Wrappers, EnumeratorsLogNothingWhenTheWalkEnds) {
  ASSERT_EQ(DataManagerUtils().InitializeQL(), 1);
  log().Clear();
  KeelTest_TraceClear();
  KeelAPIUtils store;
  uint32_t object = 0;
  EXPECT_LT(store.EnumCards(nullptr, 999, 1, &object), 0);
  EXPECT_LT(store.EnumMacros(1, 1, &object), 0);
  EXPECT_LT(store.EnumShortcuts(1, &object), 0);
  EXPECT_TRUE(log().lines().empty());
  const std::vector<KeelCall> calls = StoreCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[2].function, KF_GetShortcut);
  EXPECT_STREQ(calls[2].text, "US");
}

// The timestamp is eight bytes with every bit set; identity texts are
// stored with their terminator, under the attribute given.
TEST_P(Wrappers, WritesKeepTheStoredFormat) {
  ASSERT_EQ(DataManagerUtils().InitializeQL(), 1);
  KeelTest_TraceClear();
  EXPECT_EQ(KeelAPIUtils().SetTimestamp(), 1);
  ASSERT_EQ(StoreCalls().size(), 1u);
  EXPECT_EQ(StoreCalls()[0].size, 8);
  EXPECT_EQ(ContextValue(2001), ~uint64_t{0});

  EXPECT_EQ(KeelAPIUtils().SetIdentityProperty(KA_ATTR_PLAIN, 1, "Nick"), 1);
  char value[16] = {};
  int32_t size = 0, attribute = 0;
  ASSERT_EQ(KeelTest_GetProperty(KeelTest_IdentityObject(), 1, value, sizeof value, &size,
                                 &attribute),
            KA_OK);
  EXPECT_EQ(std::string(value, static_cast<size_t>(size)), std::string("Nick", 5));
  EXPECT_EQ(attribute, KA_ATTR_PLAIN);
}

DM_IN_MEMORY(Wrappers);

}  // namespace
}  // namespace dm::test
