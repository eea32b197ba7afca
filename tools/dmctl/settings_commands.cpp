// dmctl settings ... and hotkey ...: the skin index, the switches of the two
// applications, and the hotkeys.
//
// The store context of a process is fixed by the first opening in it, and
// each application has its own: one dmctl process addresses exactly one
// application, so `settings get` and `settings set` name it and call
// GetSetting (and SetSetting) for that one only.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "Command.h"
#include "DataManager.h"

namespace dmctl {
namespace {

int SkinGet(const Invocation& in) {
  if (!in.args.empty()) return kExitUsage;
  DWORD index = 0;
  if (!GetSkinIndex(&index)) return kExitFailed;
  in.out->Number("skin_index", index);
  return kExitSucceeded;
}

int SkinSet(const Invocation& in) {
  unsigned long index = 0;
  if (in.args.size() != 1 || !ParseDword(in.args[0], &index)) return kExitUsage;
  if (!SetSkinIndex(static_cast<DWORD>(index))) return kExitFailed;
  in.out->Number("skin_index", static_cast<int64_t>(index));
  return kExitSucceeded;
}

// A switch of an application, and the field of KS_SETTING that carries it.
struct Switch {
  const char* name;
  DWORD KS_SETTING::*field;
};

struct Application {
  const char* word;
  DWORD selector;
  std::vector<Switch> switches;
};

// The touch control application (selector 1) and the application control
// application (selector 2), whose one switch travels in the QL field.
const std::vector<Application>& Applications() {
  static const std::vector<Application> kApplications = {
      {"touch",
       1,
       {{"fus", &KS_SETTING::Fus},
        {"ql", &KS_SETTING::QL},
        {"nav", &KS_SETTING::Nav},
        {"ttl", &KS_SETTING::TTL}}},
      {"app", 2, {{"wlo", &KS_SETTING::QL}}},
  };
  return kApplications;
}

const Application* FindApplication(const std::string& word) {
  for (const Application& a : Applications()) {
    if (word == a.word) return &a;
  }
  return nullptr;
}

void ShowSettings(Output* out, const Application& app, const KS_SETTING& setting) {
  out->Text("application", app.word);
  for (const Switch& s : app.switches) out->Number(s.name, setting.*s.field);
}

int SettingsGet(const Invocation& in) {
  const Application* app = in.args.size() == 1 ? FindApplication(in.args[0]) : nullptr;
  if (app == nullptr) return kExitUsage;
  KS_SETTING setting = {};
  setting.Type = app->selector;
  if (!GetSetting(app->selector, &setting)) return kExitFailed;
  ShowSettings(in.out, *app, setting);
  return kExitSucceeded;
}

// name=value, for a switch of `app`; false (with a message) otherwise.
bool ParseAssignment(const Application& app, const std::string& text, const Switch** which,
                     DWORD* value) {
  const size_t equals = text.find('=');
  const std::string name = text.substr(0, equals);
  unsigned long parsed = 0;
  for (const Switch& s : app.switches) {
    if (name != s.name) continue;
    if (equals == std::string::npos || !ParseDword(text.substr(equals + 1), &parsed)) break;
    *which = &s;
    *value = static_cast<DWORD>(parsed);
    return true;
  }
  std::string names;
  for (const Switch& s : app.switches) names += std::string(names.empty() ? "" : ", ") + s.name;
  std::fprintf(stderr, "dmctl: expected <switch>=<number> with a switch of %s (%s), not \"%s\"\n",
               app.word, names.c_str(), text.c_str());
  return false;
}

// Reads the application's settings, changes the named switches and writes
// them all back.
int SettingsSet(const Invocation& in) {
  const Application* app = in.args.size() >= 2 ? FindApplication(in.args[0]) : nullptr;
  if (app == nullptr) return kExitUsage;
  std::vector<std::pair<const Switch*, DWORD>> changes(in.args.size() - 1);
  for (size_t i = 1; i < in.args.size(); ++i) {
    if (!ParseAssignment(*app, in.args[i], &changes[i - 1].first, &changes[i - 1].second)) {
      return kExitUsage;
    }
  }
  KS_SETTING setting = {};
  setting.Type = app->selector;
  if (!GetSetting(app->selector, &setting)) {
    std::fprintf(stderr, "dmctl: the settings could not be read; nothing was written\n");
    return Report(in.out, "written", 0);
  }
  for (const auto& [which, value] : changes) setting.*(which->field) = value;
  const int status = Report(in.out, "written", SetSetting(app->selector, &setting));
  ShowSettings(in.out, *app, setting);
  return status;
}

// The first and second values are stored signed, though the exports carry
// them as DWORDs.
void ShowHotkey(Output* out, DWORD slot, DWORD first, DWORD second, DWORD state) {
  out->Number("slot", slot);
  out->Number("first", static_cast<int32_t>(first));
  out->Number("second", static_cast<int32_t>(second));
  out->Flag("state", state != 0, "on", "off");
}

// The hotkey exports answer 0 for success and 256 for failure.
constexpr BOOL kHotkeySucceeded = 0;

int HotkeyGet(const Invocation& in) {
  unsigned long slot = 0;
  if (in.args.size() != 1 || !ParseDword(in.args[0], &slot)) return kExitUsage;
  DWORD first = 0, second = 0, state = 0;
  if (GetHotkeyState(static_cast<DWORD>(slot), &first, &second, &state) != kHotkeySucceeded) {
    return kExitFailed;
  }
  ShowHotkey(in.out, static_cast<DWORD>(slot), first, second, state);
  return kExitSucceeded;
}

int HotkeySet(const Invocation& in) {
  unsigned long slot = 0;
  int32_t first = 0, second = 0;
  if (in.args.size() != 4 || !ParseDword(in.args[0], &slot) || !ParseInt32(in.args[1], &first) ||
      !ParseInt32(in.args[2], &second) || (in.args[3] != "on" && in.args[3] != "off")) {
    return kExitUsage;
  }
  const DWORD state = in.args[3] == "on" ? 1 : 0;
  const BOOL answer = SetHotkeyState(static_cast<DWORD>(slot), static_cast<DWORD>(first),
                                     static_cast<DWORD>(second), state);
  const int status = Report(in.out, "written", answer == kHotkeySucceeded);
  ShowHotkey(in.out, static_cast<DWORD>(slot), static_cast<DWORD>(first),
             static_cast<DWORD>(second), state);
  return status;
}

}  // namespace

std::vector<Command> SettingsCommands() {
  return {
      {{"settings", "skin", "get"}, "", "show the skin index", &SkinGet},
      {{"settings", "skin", "set"}, "<index>", "set the skin index", &SkinSet},
      {{"settings", "get"},
       "<touch|app>",
       "show the switches of one application (touch: fus ql nav ttl; app: wlo)",
       &SettingsGet},
      {{"settings", "set"},
       "<touch|app> <switch>=<number> ...",
       "change some switches of one application, keeping the others",
       &SettingsSet},
      {{"hotkey", "get"}, "<slot>", "show a hotkey: its two values and its state", &HotkeyGet},
      {{"hotkey", "set"},
       "<slot> <first> <second> <on|off>",
       "set a hotkey's two values (signed numbers) and its state",
       &HotkeySet},
  };
}

}  // namespace dmctl
