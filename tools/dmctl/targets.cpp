// The targets of quick launches and shortcuts, by name.
#include <cctype>
#include <cstdio>
#include <iterator>

#include "Targets.h"

namespace dmctl {
namespace {

// Index 0 is type 1 (WEB), and action 1 ("lock").
constexpr const char* kTypes[] = {"web", "local", "action"};
constexpr const char* kActions[] = {"lock",  "logoff",    "shutdown",    "restart",
                                    "sleep", "hibernate", "mydocuments", "mymusic",
                                    "mypictures", "myvideos"};

}  // namespace

int FindName(const std::string& word, const char* const* names, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const std::string name = names[i];
    bool same = name.size() == word.size();
    for (size_t j = 0; j < name.size() && same; ++j) {
      same = std::tolower(static_cast<unsigned char>(word[j])) ==
             std::tolower(static_cast<unsigned char>(name[j]));
    }
    if (same) return static_cast<int>(i);
  }
  return -1;
}

std::string JoinNames(const char* const* names, size_t count, const char* separator) {
  std::string joined;
  for (size_t i = 0; i < count; ++i) joined += (i > 0 ? separator : "") + std::string(names[i]);
  return joined;
}

bool ParseType(const std::string& word, KS_QL_TYPE* type) {
  const int index = FindName(word, kTypes, std::size(kTypes));
  if (index < 0) return false;
  *type = static_cast<KS_QL_TYPE>(index + 1);
  return true;
}

const char* TypeName(KS_QL_TYPE type) {
  return type >= 1 && type <= std::size(kTypes) ? kTypes[type - 1] : nullptr;
}

const char* ActionName(DWORD action) {
  return action >= 1 && action <= std::size(kActions) ? kActions[action - 1] : nullptr;
}

std::string ActionNames(const char* separator) {
  return JoinNames(kActions, std::size(kActions), separator);
}

bool ParseTarget(const std::string& type, const std::string& target, Target* parsed) {
  if (!ParseType(type, &parsed->type)) return false;
  if (parsed->type != ACTION) {
    parsed->text = target;
    return true;
  }
  const int index = FindName(target, kActions, std::size(kActions));
  if (index < 0) {
    std::fprintf(stderr, "dmctl: an action is one of %s\n", ActionNames(", ").c_str());
    return false;
  }
  parsed->action = static_cast<DWORD>(index + 1);
  return true;
}

void ShowTarget(Record* item, KS_QL_TYPE type, const std::string& text, DWORD action) {
  if (type == WEB) {
    item->Text("url", text);
  } else if (type == LOCAL) {
    item->Text("path", text);
  } else if (type == ACTION && ActionName(action) != nullptr) {
    item->Text("action", ActionName(action));
  } else if (type == ACTION) {
    item->Null("action", "unknown");
  }
}

}  // namespace dmctl
