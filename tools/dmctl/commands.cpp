// The list of every family's commands, and the helpers they share.
#include <cerrno>
#include <cctype>
#include <cstdlib>

#include "Command.h"

namespace dmctl {

std::vector<Command> AllCommands() {
  std::vector<Command> all;
  for (auto family : {StoreCommands, SettingsCommands, ProfileCommands, ProfileCsvCommands,
                      VcardCommands, BioCommands, VipCommands, QlCommands, ShortcutCommands,
                      RegisterCommands}) {
    for (Command& c : family()) all.push_back(std::move(c));
  }
  return all;
}

bool ParseUint64(const std::string& text, uint64_t* value) {
  // strtoull would skip white space and take a sign.
  if (text.empty() || std::isdigit(static_cast<unsigned char>(text[0])) == 0) return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || end == nullptr || *end != '\0') return false;
  *value = parsed;
  return true;
}

bool ParseDword(const std::string& text, unsigned long* value) {
  uint64_t parsed = 0;
  if (!ParseUint64(text, &parsed) || parsed > 0xFFFFFFFFull) return false;
  *value = static_cast<unsigned long>(parsed);
  return true;
}

bool ParseInt32(const std::string& text, int32_t* value) {
  const bool negative = !text.empty() && text[0] == '-';
  uint64_t magnitude = 0;
  if (!ParseUint64(negative ? text.substr(1) : text, &magnitude)) return false;
  if (magnitude > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return false;
  *value = static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude)
                                         : static_cast<int64_t>(magnitude));
  return true;
}

int Report(Output* out, const char* key, int bRet) {
  out->Flag(key, bRet != 0);
  return bRet != 0 ? kExitSucceeded : kExitFailed;
}

}  // namespace dmctl
