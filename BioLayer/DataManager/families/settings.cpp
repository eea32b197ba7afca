// The feature switches of the two applications and the ten hotkey slots,
// all properties of the store's application object.
//
// The application addressed is the one the process's store context was
// opened for: the first opening in the process fixes it, so a later call
// with the other selector works on the first one's application.  The line
// with the application's name shows which one it is.
#include <optional>
#include <span>

#include "DataManagerUtils.h"
#include "KeelAPIUtils.h"
#include "families/HotkeyText.h"
#include "log/Log.h"
#include "log/MethodFrame.h"
#include "platform/TextCodec.h"
#include "text/Fields.h"

DM_LOG_SOURCE(".\\DataManagerUtils");

namespace dm {
namespace {

constexpr DWORD kTouchControl = 1;   // the selector of the application with four switches
constexpr int32_t kAppNameProperty = 1;
constexpr int32_t kAppNameReadCapacity = 4096;
constexpr int32_t kFirstHotkeySlotProperty = 3010;  // slot n is 3010 + n
constexpr DWORD kHotkeySlots = 10;
constexpr DWORD kSwitchNotStored = 1;  // what a switch the store does not hold reads as

// One switch: its application property, the record field that carries it
// and the line that shows its value.
struct Switch {
  int32_t property;
  DWORD KS_SETTING::*field;
  const WCHAR* shown;
};

constexpr Switch kTouchControlSwitches[] = {
    {3001, &KS_SETTING::Fus, KS_TEXT("Fus = %i")},
    {3002, &KS_SETTING::QL, KS_TEXT("QL = %i")},
    {3003, &KS_SETTING::Nav, KS_TEXT("Nav = %i")},
    {3004, &KS_SETTING::TTL, KS_TEXT("TTL = %i")},
};
// The other application has one switch, carried in the record's third field.
constexpr Switch kAppControlSwitches[] = {
    {3005, &KS_SETTING::QL, KS_TEXT("WLOEnabled = %i")},
};

std::span<const Switch> SwitchesOf(DWORD selector) {
  if (selector == kTouchControl) return kTouchControlSwitches;
  return kAppControlSwitches;
}

void ShowSwitches(const WCHAR* function, DWORD selector, const KS_SETTING& setting) {
  for (const Switch& s : SwitchesOf(selector)) {
    log::Write(kLogSource, function, __LINE__, 1, s.shown, setting.*s.field);
  }
}

// Logs the name of the application addressed, with `format` ("... Get
// Setting" or "... Set Setting"), under `function`.  A failed read is
// logged by the wrapper and a name that is not UTF-8 shows as empty; either
// way the caller goes on.
void ShowApplicationName(const WCHAR* function, const WCHAR* format) {
  char buffer[kAppNameReadCapacity] = {};
  uint32_t size = 0;
  KeelAPIUtils().GetAppProperty(kAppNameProperty, sizeof buffer, buffer, &size);
  WString name;
  platform::Utf8ToWide(ks::text::BufferText(buffer, sizeof buffer), &name);
  log::Write(kLogSource, function, __LINE__, 1, format, name.c_str());
}

constexpr const WCHAR* kGetSettingName = KS_TEXT("KA_App_Name Is %s And Get Setting");
constexpr const WCHAR* kSetSettingName = KS_TEXT("KA_App_Name Is %s And Set Setting");

bool IsHotkeySlot(DWORD slot) { return slot >= 1 && slot <= kHotkeySlots; }
int32_t HotkeySlotProperty(DWORD slot) {
  return kFirstHotkeySlotProperty + static_cast<int32_t>(slot);
}

}  // namespace

BOOL DataManagerUtils::GetSetting(DWORD selector, PKS_SETTING setting) {
  DM_LOG_FUNCTION("DataManagerUtils::GetSetting");
  return RunMethod(DM_METHOD_LINES("GetSetting()"), __LINE__, [&]() -> BOOL {
    if (setting == nullptr || !InitializeSetting(selector)) return FALSE;
    ShowApplicationName(kLogFunction, kGetSettingName);
    setting->Type = selector;
    KeelAPIUtils store;
    for (const Switch& s : SwitchesOf(selector)) {
      // The wrapper logs every refusal, "not stored" included.
      DWORD value = 0;
      uint32_t size = 0;
      const KA_STATUS status = store.GetAppProperty(s.property, sizeof value, &value, &size);
      if (status == KA_E_NOT_STORED) {
        value = kSwitchNotStored;
      } else if (status < 0) {
        return FALSE;  // the switches read so far keep their new values
      }
      setting->*s.field = value;
    }
    ShowSwitches(kLogFunction, selector, *setting);
    return TRUE;
  });
}

BOOL DataManagerUtils::SetSetting(DWORD selector, PKS_SETTING setting) {
  DM_LOG_FUNCTION("DataManagerUtils::SetSetting");
  return RunMethod(DM_METHOD_LINES("SetSetting()"), __LINE__, [&]() -> BOOL {
    if (setting == nullptr || !InitializeSetting(selector)) return FALSE;
    ShowApplicationName(kLogFunction, kSetSettingName);
    ShowSwitches(kLogFunction, selector, *setting);
    KeelAPIUtils store;
    for (const Switch& s : SwitchesOf(selector)) {
      // No rollback: the switches written before a refusal stay written.
      if (store.SetAppProperty(s.property, &(setting->*s.field), sizeof(DWORD)) < 0) return FALSE;
    }
    return TRUE;
  });
}

BOOL DataManagerUtils::GetHotkeyState(DWORD slot, PDWORD value1, PDWORD value2, PDWORD value3) {
  DM_LOG_FUNCTION("DataManagerUtils::GetHotkeyState");
  return RunMethod(DM_METHOD_LINES("GetHotkeyState()"), __LINE__, [&]() -> std::optional<BOOL> {
    if (!IsHotkeySlot(slot)) return kLeaveSilently;
    if (value1 == nullptr || value2 == nullptr || value3 == nullptr) return FALSE;
    if (!InitializeSetting(kTouchControl)) return FALSE;
    ShowApplicationName(kLogFunction, kGetSettingName);
    hotkey::SlotText text = {};
    uint32_t size = 0;
    const KA_STATUS status =
        KeelAPIUtils().GetAppProperty(HotkeySlotProperty(slot), sizeof text, text, &size);
    if (status == KA_E_NOT_STORED) {  // an empty slot: no hotkey, the state as it was
      *value1 = 0;
      *value2 = 0;
      return TRUE;
    }
    if (status < 0) return FALSE;
    const hotkey::SlotValues values = hotkey::ParseSlotText(text::FieldText(text));
    *value1 = values.first;
    *value2 = values.second;
    *value3 = values.state;
    return TRUE;
  });
}

BOOL DataManagerUtils::SetHotkeyState(DWORD slot, DWORD value1, DWORD value2, DWORD value3) {
  DM_LOG_FUNCTION("DataManagerUtils::SetHotkeyState");
  return RunMethod(DM_METHOD_LINES("SetHotkeyState()"), __LINE__, [&]() -> std::optional<BOOL> {
    if (!IsHotkeySlot(slot)) return kLeaveSilently;
    if (!InitializeSetting(kTouchControl)) return FALSE;
    ShowApplicationName(kLogFunction, kSetSettingName);
    hotkey::SlotText text;
    hotkey::FormatSlotText(static_cast<int32_t>(value1), static_cast<int32_t>(value2),
                           value3 != 0, text);
    return KeelAPIUtils().SetAppProperty(HotkeySlotProperty(slot), text, sizeof text) >= 0;
  });
}

}  // namespace dm
