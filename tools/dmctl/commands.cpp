// The list of every family's commands, and the helpers they share.
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "Command.h"

namespace dmctl {

std::vector<Command> AllCommands() {
  std::vector<Command> all;
  for (auto family : {StoreCommands, SettingsCommands, ProfileCommands}) {
    for (Command& c : family()) all.push_back(std::move(c));
  }
  return all;
}

bool ParseDword(const std::string& text, unsigned long* value) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || end == nullptr || *end != '\0' || parsed > 0xFFFFFFFFull) return false;
  *value = static_cast<unsigned long>(parsed);
  return true;
}

}  // namespace dmctl
