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

constexpr char kTouchControl[] = "KSTouchControl";
constexpr char kAppControl[] = "KSAPPControl";

void SetAppValue(const char* app, int32_t property, DWORD value) {
  ASSERT_EQ(KeelTest_SetProperty(KeelTest_AppObject(app), property, KA_ATTR_PLAIN, &value, 4),
            KA_OK);
}

std::optional<DWORD> AppValue(const char* app, int32_t property) {
  DWORD value = 0;
  int32_t size = 0;
  if (KeelTest_GetProperty(KeelTest_AppObject(app), property, &value, 4, &size, nullptr) !=
      KA_OK) {
    return std::nullopt;
  }
  return value;
}

// Stores a hotkey slot's text as the library does: the whole 520-byte buffer.
void SetSlotText(int32_t slot, const std::string& text) {
  WCHAR buffer[260] = {};
  const std::u16string wide = U16(text);
  std::memcpy(buffer, wide.data(), wide.size() * sizeof(WCHAR));
  ASSERT_EQ(KeelTest_SetProperty(KeelTest_AppObject(kTouchControl), 3010 + slot, KA_ATTR_PLAIN,
                                 buffer, sizeof buffer),
            KA_OK);
}

// The slot's stored text up to its terminator, and the stored size.
std::pair<std::string, int32_t> SlotText(int32_t slot) {
  WCHAR buffer[300] = {};
  int32_t size = 0;
  KeelTest_GetProperty(KeelTest_AppObject(kTouchControl), 3010 + slot, buffer, sizeof buffer,
                       &size, nullptr);
  return {Utf8(buffer), size};
}

KS_SETTING Untouched() { return {0xA1, 0xA2, 0xA3, 0xA4, 0xA5}; }

TEST_P(Settings, AFreshStoreReadsEverySwitchAsOne) {
  KS_SETTING s = Untouched();
  EXPECT_EQ(::GetSetting(1, &s), 1);
  EXPECT_EQ(s.Type, 1u);
  EXPECT_EQ((std::vector<DWORD>{s.Fus, s.QL, s.Nav, s.TTL}), (std::vector<DWORD>{1, 1, 1, 1}));
  EXPECT_EQ(PropertiesOf(KF_App_GetProperty), (std::vector<int32_t>{1, 3001, 3002, 3003, 3004}));
  EXPECT_EQ(LinesOf(log(), "KeelAPIUtils::GetAppProperty"),
            "KA_App_GetProperty Failed With Error = -17 | KA_App_GetProperty Failed With Error = "
            "-17 | KA_App_GetProperty Failed With Error = -17 | KA_App_GetProperty Failed With "
            "Error = -17");
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::GetSetting"),
            "Entering GetSetting() | KA_App_Name Is KSTouchControl And Get Setting | Fus = 1 | "
            "QL = 1 | Nav = 1 | TTL = 1 | Exiting GetSetting() With bRet = 1");
}

TEST_P(Settings, EachApplicationTouchesOnlyItsOwnFields) {
  struct Case {
    DWORD selector;
    const char* app;
    std::vector<int32_t> properties;
    KS_SETTING read;  // what GetSetting leaves in Untouched() when 3001.. hold 11..15
    std::string shown;
  };
  const std::vector<Case> cases = {
      {1, kTouchControl, {3001, 3002, 3003, 3004}, {1, 11, 12, 13, 14},
       "Fus = 11 | QL = 12 | Nav = 13 | TTL = 14"},
      {2, kAppControl, {3005}, {2, 0xA2, 15, 0xA4, 0xA5}, "WLOEnabled = 15"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.app);
    FreshStore();
    for (int32_t p = 3001; p <= 3005; ++p) SetAppValue(c.app, p, static_cast<DWORD>(p - 2990));
    log().Clear();

    KS_SETTING s = Untouched();
    EXPECT_EQ(::GetSetting(c.selector, &s), 1);
    EXPECT_EQ(std::memcmp(&s, &c.read, sizeof s), 0);
    EXPECT_NE(LinesOf(log(), "DataManagerUtils::GetSetting").find(c.shown), std::string::npos);

    KeelTest_TraceClear();
    const KS_SETTING written = {99, 21, 22, 23, 24};
    KS_SETTING in = written;
    EXPECT_EQ(::SetSetting(c.selector, &in), 1);
    EXPECT_EQ(PropertiesOf(KF_App_SetProperty), c.properties);
    for (const KeelCall& call : CallsOf(KF_App_SetProperty)) EXPECT_EQ(call.size, 4);
    EXPECT_EQ(std::memcmp(&in, &written, sizeof in), 0) << "the record is only read";
    // The second field goes to the first property of either application.
    EXPECT_EQ(AppValue(c.app, c.properties[0]), c.selector == 1 ? 21u : 22u);
  }
}

TEST_P(Settings, TheFirstOtherFailureStopsAndKeepsWhatWasDone) {
  StoreScript script;
  script.Answer(KF_App_GetProperty, KA_E_STORAGE).ForProperty(3002);
  script.Answer(KF_App_SetProperty, KA_E_STORAGE).ForProperty(3002);
  SetAppValue(kTouchControl, 3001, 5);

  KS_SETTING s = Untouched();
  EXPECT_EQ(::GetSetting(1, &s), 0);
  const KS_SETTING afterRead = {1, 5, 0xA3, 0xA4, 0xA5};
  EXPECT_EQ(std::memcmp(&s, &afterRead, sizeof s), 0);
  EXPECT_EQ(log().Count("Fus = 5"), 0u) << "the values are shown only after every read";

  KS_SETTING in = {1, 7, 8, 9, 10};
  EXPECT_EQ(::SetSetting(1, &in), 0);
  EXPECT_EQ(AppValue(kTouchControl, 3001), 7u);
  EXPECT_EQ(AppValue(kTouchControl, 3003), std::nullopt);
  EXPECT_EQ(AppValue(kTouchControl, 3004), std::nullopt);
  EXPECT_EQ(log().Count("KA_App_SetProperty Failed With Error = -7"), 1u);
  EXPECT_EQ(log().Texts().back(), "Exiting SetSetting() With bRet = 0");
}

TEST_P(Settings, AnUnknownSelectorOrANullRecordTouchesNothing) {
  const KS_SETTING untouched = Untouched();
  KS_SETTING s = untouched;
  EXPECT_EQ(::GetSetting(3, &s), 0);
  EXPECT_EQ(::SetSetting(3, &s), 0);
  EXPECT_EQ(std::memcmp(&s, &untouched, sizeof s), 0);
  EXPECT_EQ(::GetSetting(1, nullptr), 0);
  EXPECT_EQ(::SetSetting(1, nullptr), 0);
  DWORD* none = nullptr;
  EXPECT_EQ(::GetSkinIndex(none), 0);
  EXPECT_EQ(KeelTest_TraceSize(), 0u);
}

TEST_P(Settings, AnApplicationNameThatCannotBeReadIsShownEmpty) {
  StoreScript script;
  script.Answer(KF_App_GetProperty, KA_E_STORAGE).ForProperty(1);
  KS_SETTING s = {1, 0, 0, 0, 0};
  EXPECT_EQ(::SetSetting(1, &s), 1);
  EXPECT_EQ(log().Count("KA_App_Name Is  And Set Setting"), 1u);
}

TEST_P(Settings, AHotkeyRoundTripsAsTheSlotsText) {
  struct Case {
    DWORD slot, first, second, flag;
    std::string stored;
    DWORD state;
  };
  const std::vector<Case> cases = {
      {3, 17, 65, 1, "17++65**1", 1},
      {10, 0, 0, 5, "0++0**1", 1},
      {1, static_cast<DWORD>(-5), 2147483647, 0, "-5++2147483647**0", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    KeelTest_TraceClear();
    EXPECT_EQ(::SetHotkeyState(c.slot, c.first, c.second, c.flag), 0);
    EXPECT_EQ(SlotText(static_cast<int32_t>(c.slot)),
              (std::pair<std::string, int32_t>{c.stored, 520}));
    DWORD first = 1, second = 1, state = 9;
    EXPECT_EQ(::GetHotkeyState(c.slot, &first, &second, &state), 0);
    EXPECT_EQ((std::vector<DWORD>{first, second, state}),
              (std::vector<DWORD>{c.first, c.second, c.state}));
    EXPECT_EQ(PropertiesOf(KF_App_SetProperty),
              (std::vector<int32_t>{3010 + static_cast<int32_t>(c.slot)}));
  }
  EXPECT_EQ(log().Texts().back(), "Exiting GetHotkeyState() With bRet = 1")
      << "the export's exit line shows the worker's result, not the inverted one";
}

TEST_P(Settings, StoredSlotTextsAreParsedAsStringToLongReadsThem) {
  struct Case {
    std::string text;
    DWORD first, second, state;
  };
  const std::vector<Case> cases = {
      {"12++34", 12, 34, 0},
      {"12**1", 0, 0, 0},
      {" \t-7++ +8**2", static_cast<DWORD>(-7), 8, 1},
      {"1++2**-1", 1, 2, 0},
      {"1++2**0x5", 1, 2, 0},
      {"3x++4y**1z", 3, 4, 1},
      {"++**", 0, 0, 0},
      {"a++b**c", 0, 0, 0},
      {"5**1++6", 0, 0, 0},  // the "++" after the "**" is cut away with it
      {"1++2++3**1**0", 1, 2, 1},
      {"99999999999++-99999999999**99999999999", 0x7FFFFFFF, 0x80000000, 1},
      {"", 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SetSlotText(4, c.text);
    DWORD first = 0xEE, second = 0xEE, state = 0xEE;
    EXPECT_EQ(::GetHotkeyState(4, &first, &second, &state), 0);
    EXPECT_EQ((std::vector<DWORD>{first, second, state}),
              (std::vector<DWORD>{c.first, c.second, c.state}));
  }
}

TEST_P(Settings, AnEmptySlotReadsAsZeroAndAFailedReadWritesNothing) {
  DWORD first = 7, second = 7, state = 7;
  EXPECT_EQ(::GetHotkeyState(2, &first, &second, &state), 0);
  EXPECT_EQ((std::vector<DWORD>{first, second, state}), (std::vector<DWORD>{0, 0, 7}));
  EXPECT_EQ(log().Count("KA_App_GetProperty Failed With Error = -17"), 1u);

  SetSlotText(2, "1++2**1");
  StoreScript script;
  script.Answer(KF_App_GetProperty, KA_E_STORAGE).ForProperty(3012);
  first = second = state = 7;
  EXPECT_EQ(::GetHotkeyState(2, &first, &second, &state), 256);
  EXPECT_EQ((std::vector<DWORD>{first, second, state}), (std::vector<DWORD>{7, 7, 7}));
  script.Answer(KF_App_SetProperty, KA_E_STORAGE);
  EXPECT_EQ(::SetHotkeyState(2, 1, 2, 1), 256);
  EXPECT_EQ(log().Texts().back(), "Exiting SetHotkeyState() With bRet = 0");
}

TEST_P(Settings, SlotsOutOfRangeAreRefusedAfterTheWorkersEntryLine) {
  DWORD value = 0;
  for (const DWORD slot : {0u, 11u}) {
    SCOPED_TRACE(slot);
    for (const std::string name : {"GetHotkeyState", "SetHotkeyState"}) {
      log().Clear();
      const BOOL result = name == "GetHotkeyState" ? ::GetHotkeyState(slot, &value, &value, &value)
                                                   : ::SetHotkeyState(slot, 1, 2, 1);
      EXPECT_EQ(result, 256);
      EXPECT_EQ(log().FunctionTexts(),
                (Names{name + ": Entering " + name + "()",
                       "DataManagerUtils::" + name + ": Entering " + name + "()",
                       name + ": Exiting " + name + "() With bRet = 0"}));
    }
  }
  EXPECT_EQ(::GetHotkeyState(1, &value, nullptr, &value), 256);
  EXPECT_EQ(log().Texts().back(), "Exiting GetHotkeyState() With bRet = 0");
  EXPECT_EQ(KeelTest_TraceSize(), 0u);
}

DM_ON_EVERY_BACKEND(Settings);

}  // namespace
}  // namespace dm::test
