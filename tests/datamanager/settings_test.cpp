// The feature switches of both applications, the hotkey slots and the skin
// index, through the exports.
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "DataManager.h"
#include "support/DataManagerTest.h"
#include "support/ProfileCards.h"

namespace dm::test {
namespace {

using Settings = DataManagerTest;
using Values = std::vector<DWORD>;

constexpr char kTouchControl[] = "KSTouchControl";

std::optional<DWORD> AppValue(const char* app, int32_t property) {
  DWORD value = 0;
  const int64_t object = KeelTest_AppObject(app);
  if (KeelTest_GetProperty(object, property, &value, 4, nullptr, nullptr) != KA_OK) return {};
  return value;
}

Values Hotkey(DWORD slot, BOOL expected = 0) {
  DWORD first = 0xEE, second = 0xEE, state = 0xEE;
  EXPECT_EQ(::GetHotkeyState(slot, &first, &second, &state), expected);
  return {first, second, state};
}

Values Fields(const KS_SETTING& s) { return {s.Type, s.Fus, s.QL, s.Nav, s.TTL}; }

TEST_P(Settings, EachApplicationTouchesOnlyItsOwnFields) {
  struct Case {
    DWORD selector;
    const char* app;
    std::vector<int32_t> switches;
    Values fresh, read;  // from {0xA1 .. 0xA5}: fresh, then with 3001 .. 3005 holding 11 .. 15
    std::string shown;   // the lines that show the values read
  };
  const std::vector<Case> cases = {
      {1, kTouchControl, {3001, 3002, 3003, 3004}, {1, 1, 1, 1, 1}, {1, 11, 12, 13, 14},
       "Fus = 11 | QL = 12 | Nav = 13 | TTL = 14"},
      {2, "KSAPPControl", {3005}, {2, 0xA2, 1, 0xA4, 0xA5}, {2, 0xA2, 15, 0xA4, 0xA5},
       "WLOEnabled = 15"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.app);
    FreshStore();
    KS_SETTING s = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
    EXPECT_EQ(::GetSetting(c.selector, &s), 1);
    EXPECT_EQ(Fields(s), c.fresh) << "a switch not stored reads as 1";
    for (DWORD n = 11; n <= 15; ++n) {
      KeelTest_SetProperty(KeelTest_AppObject(c.app), static_cast<int32_t>(2990 + n),
                           KA_ATTR_PLAIN, &n, 4);
    }
    s = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
    KeelTest_TraceClear();
    log().Clear();
    EXPECT_EQ(::GetSetting(c.selector, &s), 1);
    EXPECT_EQ(Fields(s), c.read);
    std::vector<int32_t> read = c.switches;
    read.insert(read.begin(), 1);  // the application's name first
    EXPECT_EQ(PropertiesOf(KF_App_GetProperty), read);
    EXPECT_EQ(LinesOf(log(), "DataManagerUtils::GetSetting"),
              "Entering GetSetting() | KA_App_Name Is " + std::string(c.app) +
                  " And Get Setting | " + c.shown + " | Exiting GetSetting() With bRet = 1");

    KeelTest_TraceClear();
    KS_SETTING in = {99, 21, 22, 23, 24};
    EXPECT_EQ(::SetSetting(c.selector, &in), 1);
    EXPECT_EQ(PropertiesOf(KF_App_SetProperty), c.switches);
    EXPECT_EQ(AppValue(c.app, c.switches[0]), c.selector == 1 ? 21u : 22u);
  }
}

TEST_P(Settings, TheSkinIndexIsAContextProperty) {
  EXPECT_EQ(::SetSkinIndex(7), 1);
  log().Clear();
  DWORD index = 0;
  EXPECT_EQ(::GetSkinIndex(&index), 1);
  EXPECT_EQ(index, 7u);
  EXPECT_EQ(PropertiesOf(KF_GetProperty), (std::vector<int32_t>{108}));
  EXPECT_EQ(FunctionOrder(log()), "GetSkinIndex > DataManagerUtils::GetSkinIndex > GetSkinIndex");
  StoreScript script;
  script.Answer(KF_GetProperty, KA_E_NOT_STORED).ForProperty(108);
  EXPECT_EQ(::GetSkinIndex(&index), 0);
  EXPECT_EQ(index, 7u) << "a failed read leaves the caller's value";
}

// A slot holds "first++second**state" in a 520-byte buffer, read back as
// strtol reads each part; a state above 0 is 1.
TEST_P(Settings, AHotkeyIsItsSlotsTextAsStringToLongReadsIt) {
  struct Case {
    DWORD slot;
    std::string text;
    Values values;             // what the slot reads as
    std::optional<DWORD> set;  // the state SetHotkeyState writes the text from, with the values
  };
  const std::vector<Case> cases = {
      {3, "17++65**1", {17, 65, 1}, 1},
      {10, "0++0**1", {0, 0, 1}, 5},
      {1, "-5++2147483647**0", {static_cast<DWORD>(-5), 2147483647, 0}, 0},
      {4, "12++34", {12, 34, 0}},
      {4, "12**1", {0, 0, 0}},
      {4, " \t-7++ +8**2", {static_cast<DWORD>(-7), 8, 1}},
      {4, "1++2**-1", {1, 2, 0}},
      {4, "1++2**0x5", {1, 2, 0}},
      {4, "3x++4y**1z", {3, 4, 1}},
      {4, "a++b**c", {0, 0, 0}},
      {4, "5**1++6", {0, 0, 0}},  // the "++" after the "**" is cut away with it
      {4, "1++2++3**1**0", {1, 2, 1}},
      {4, "99999999999++-99999999999**99999999999", {0x7FFFFFFF, 0x80000000, 1}},
      {4, "", {0, 0, 0}},
  };
  const int64_t app = KeelTest_AppObject(kTouchControl);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const int32_t property = 3010 + static_cast<int32_t>(c.slot);
    WCHAR stored[260] = {};
    int32_t size = 0;
    if (c.set) {
      EXPECT_EQ(::SetHotkeyState(c.slot, c.values[0], c.values[1], *c.set), 0);
      KeelTest_GetProperty(app, property, stored, sizeof stored, &size, nullptr);
      EXPECT_EQ(Utf8(stored), c.text);
      EXPECT_EQ(size, 520);
    } else {
      const std::u16string wide = U16(c.text);
      std::memcpy(stored, wide.data(), wide.size() * sizeof(WCHAR));
      ASSERT_EQ(KeelTest_SetProperty(app, property, KA_ATTR_PLAIN, stored, sizeof stored), KA_OK);
    }
    EXPECT_EQ(Hotkey(c.slot), c.values);
  }
  EXPECT_EQ(log().Texts().back(), "Exiting GetHotkeyState() With bRet = 1")
      << "the export's exit line shows the worker's result, not the inverted one";
}

// The first failure other than "not stored" ends a read or a write, and
// keeps what was done before it.
TEST_P(Settings, TheFirstOtherFailureStopsAndKeepsWhatWasDone) {
  EXPECT_EQ(Hotkey(2), (Values{0, 0, 0xEE})) << "an empty slot reads as zero";
  StoreScript script;
  for (const int32_t property : {3002, 3012}) {
    script.Answer(KF_App_GetProperty, KA_E_STORAGE).ForProperty(property);
    script.Answer(KF_App_SetProperty, KA_E_STORAGE).ForProperty(property);
  }
  script.Answer(KF_App_GetProperty, KA_E_STORAGE).ForProperty(1);  // the name: logged only
  KS_SETTING s = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
  EXPECT_EQ(::GetSetting(1, &s), 0);
  EXPECT_EQ(Fields(s), (Values{1, 1, 0xA3, 0xA4, 0xA5}));
  EXPECT_EQ(log().Count("Fus = 1"), 0u) << "the values are shown only after every read";

  KS_SETTING in = {1, 7, 8, 9, 10};
  EXPECT_EQ(::SetSetting(1, &in), 0);
  EXPECT_EQ(AppValue(kTouchControl, 3001), 7u);
  EXPECT_EQ(AppValue(kTouchControl, 3003), std::nullopt);
  EXPECT_EQ(log().Count("KA_App_Name Is  And Set Setting"), 1u);
  EXPECT_EQ(log().Texts().back(), "Exiting SetSetting() With bRet = 0");

  EXPECT_EQ(Hotkey(2, 256), (Values{0xEE, 0xEE, 0xEE})) << "a failed read writes nothing";
  EXPECT_EQ(::SetHotkeyState(2, 1, 2, 1), 256);
  EXPECT_EQ(log().Texts().back(), "Exiting SetHotkeyState() With bRet = 0");
}

TEST_P(Settings, SlotsOutOfRangeAreRefusedAfterTheWorkersEntryLine) {
  DWORD value = 0;
  for (const DWORD slot : {0u, 11u}) {
    for (const std::string name : {"GetHotkeyState", "SetHotkeyState"}) {
      SCOPED_TRACE(name + " " + std::to_string(slot));
      log().Clear();
      KeelTest_TraceClear();
      EXPECT_EQ(name == "GetHotkeyState" ? ::GetHotkeyState(slot, &value, &value, &value)
                                         : ::SetHotkeyState(slot, 1, 2, 1),
                256);
      EXPECT_EQ(LinesOf(log(), "DataManagerUtils::" + name), "Entering " + name + "()");
      EXPECT_EQ(LinesOf(log(), name),
                "Entering " + name + "() | Exiting " + name + "() With bRet = 0");
      EXPECT_EQ(KeelTest_TraceSize(), 0u);
    }
  }
}

DM_ON_EVERY_BACKEND(Settings);

}  // namespace
}  // namespace dm::test
