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
};

std::vector<WrapperCase> ObjectWrappers() {
  static uint32_t object = 0;
  static char buffer[16];
  static uint32_t size = 0;
  return {
      {"SetAppProperty", KF_App_SetProperty, [](KeelAPIUtils& s) { return s.SetAppProperty(3001, "x", -1); }},
      {"GetAppProperty", KF_App_GetProperty, [](KeelAPIUtils& s) { return s.GetAppProperty(3001, 16, buffer, &size); }},
      {"GetIdentityProperty", KF_Id_GetProperty, [](KeelAPIUtils& s) { return s.GetIdentityProperty(1, 16, buffer, &size); }},
      {"CreateShortcut", KF_CreateShortcut, [](KeelAPIUtils& s) { return s.CreateShortcut(&object); }},
      {"DeleteShortcut", KF_Shortcut_Delete, [](KeelAPIUtils& s) { return s.DeleteShortcut(&object); }},
      {"ReleaseShortcut", KF_Shortcut_Release, [](KeelAPIUtils& s) { return s.ReleaseShortcut(&object); }},
      {"SetShortcutProperty", KF_Shortcut_SetProperty, [](KeelAPIUtils& s) { return s.SetShortcutProperty(&object, 1000, "x", -1); }},
      {"GetShortcutProperty", KF_Shortcut_GetProperty, [](KeelAPIUtils& s) { return s.GetShortcutProperty(&object, 1000, 16, buffer, &size); }},
      {"CreateCard", KF_Id_CreateCard, [](KeelAPIUtils& s) { return s.CreateCard("example.com", 999, &object); }},
      {"GetCard", KF_Id_GetCardByRefNum, [](KeelAPIUtils& s) { return s.GetCard(77, &object); }},
      {"DeleteCard", KF_Card_Delete, [](KeelAPIUtils& s) { return s.DeleteCard(&object); }},
      {"ReleaseCard", KF_Card_Release, [](KeelAPIUtils& s) { return s.ReleaseCard(&object); }},
      {"SetCardProperty", KF_Card_SetProperty, [](KeelAPIUtils& s) { return s.SetCardProperty(&object, -20, 103, "x", -1); }},
      {"GetCardProperty", KF_Card_GetProperty, [](KeelAPIUtils& s) { return s.GetCardProperty(&object, 103, 16, buffer, &size); }},
      {"CreateMacro", KF_Id_CreateMacro, [](KeelAPIUtils& s) { return s.CreateMacro(1, &object); }},
      {"DeleteMacro", KF_Macro_Delete, [](KeelAPIUtils& s) { return s.DeleteMacro(&object); }},
      {"ReleaseMacro", KF_Macro_Release, [](KeelAPIUtils& s) { return s.ReleaseMacro(&object); }},
      {"SetMacroProperty", KF_Macro_SetProperty, [](KeelAPIUtils& s) { return s.SetMacroProperty(&object, 100, "x", -1); }},
      {"GetMacroProperty", KF_Macro_GetProperty, [](KeelAPIUtils& s) { return s.GetMacroProperty(&object, 100, 16, buffer, &size); }},
  };
}

TEST_P(Wrappers, EachObjectWrapperLogsTheStoresRefusalOnceAndHandsItBack) {
  ASSERT_EQ(DataManagerUtils().InitializeQL(), 1);
  for (const WrapperCase& c : ObjectWrappers()) {
    SCOPED_TRACE(c.wrapper);
    StoreScript script;
    script.Answer(c.function, -5);
    KeelTest_TraceClear();
    log().Clear();
    KeelAPIUtils store;

    EXPECT_EQ(c.call(store), -5);

    EXPECT_EQ(StoreCallNames(), (Names{KeelTest_FunctionName(c.function)}));
    ASSERT_EQ(log().lines().size(), 1u);
    const LogLine& line = log().lines()[0];
    EXPECT_EQ(line.text, std::string(KeelTest_FunctionName(c.function)) + " Failed With Error = -5");
    EXPECT_EQ(line.function, std::string("KeelAPIUtils::") + c.wrapper);
    EXPECT_EQ(line.file, ".\\KeelAPIUtils");
    EXPECT_EQ(line.level, 1);
  }
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

TEST_P(Wrappers, ContextFailuresAreToldApartByTheirFunctionField) {
  ASSERT_EQ(DataManagerUtils().InitializeQL(), 1);
  StoreScript script;
  script.Answer(KF_SetProperty, KA_E_STORAGE);
  script.Answer(KF_GetProperty, KA_E_STORAGE);
  script.Answer(KF_Execute, KA_E_STORAGE);
  log().Clear();
  KeelAPIUtils store;
  DWORD value = 9;
  uint64_t window = 0x1234;
  EXPECT_EQ(store.SetTimestamp(), 0);
  EXPECT_EQ(store.SetSkinIndex(1), 0);
  EXPECT_EQ(store.SetBiometricAttemptLimit(3), 0);
  EXPECT_EQ(store.SetBioModuleParent(&window), 0);
  EXPECT_EQ(store.GetSkinIndex(&value), 0);
  EXPECT_EQ(store.GetBiometricAttemptLimit(&value), 0);
  EXPECT_EQ(store.EnumEnrollments(&value), 0);
  EXPECT_EQ(store.StartAuthentication(), 0);
  EXPECT_EQ(value, 9u) << "failed reads leave the caller's value alone";
  EXPECT_EQ(log().FunctionTexts(),
            (Names{"KeelAPIUtils::SetTimestamp: KA_SetProperty Failed With Error = -7",
                   "KeelAPIUtils::SetSkinIndex: KA_SetProperty Failed With Error = -7",
                   "KeelAPIUtils::SetBiometricAttemptLimit: KA_SetProperty Failed With Error = -7",
                   "KeelAPIUtils::SetBioModuleParent: KA_SetProperty Failed With Error = -7",
                   "KeelAPIUtils::GetSkinIndex: KA_GetProperty Failed With Error = -7",
                   "KeelAPIUtils::GetBiometricAttemptLimit: KA_GetProperty Failed With Error = -7",
                   "KeelAPIUtils::EnumEnrollments: KA_GetProperty Failed With Error = -7",
                   "KeelAPIUtils::StartAuthentication: KA_Execute Failed With Error = -7"}));
}

TEST_P(Wrappers, TheTimestampIsEightBytesWithEveryBitSet) {
  ASSERT_EQ(DataManagerUtils().InitializeQL(), 1);
  KeelTest_TraceClear();
  EXPECT_EQ(KeelAPIUtils().SetTimestamp(), 1);
  const std::vector<KeelCall> calls = StoreCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].property, 2001);
  EXPECT_EQ(calls[0].size, 8);
  uint64_t stamp = 0;
  ASSERT_EQ(KeelTest_GetProperty(KeelTest_ContextObject(), 2001, &stamp, 8, nullptr, nullptr),
            KA_OK);
  EXPECT_EQ(stamp, ~uint64_t{0});
}

TEST_P(Wrappers, SetIdentityPropertyWritesNulTerminatedText) {
  ASSERT_EQ(DataManagerUtils().InitializeSetting(1), 1);
  EXPECT_EQ(KeelAPIUtils().SetIdentityProperty(-20, 1, "Nick"), 1);
  char value[16] = {};
  int32_t size = 0, attribute = 0;
  ASSERT_EQ(KeelTest_GetProperty(KeelTest_IdentityObject(), 1, value, sizeof value, &size,
                                 &attribute),
            KA_OK);
  EXPECT_EQ(size, 5);
  EXPECT_STREQ(value, "Nick");
  EXPECT_EQ(attribute, -20);
}

DM_IN_MEMORY(Wrappers);

}  // namespace
}  // namespace dm::test
