// The target text of quick launches and shortcuts (see TargetText.h).
#include "families/TargetText.h"

#include <iterator>

namespace dm::target {
namespace {

constexpr WStringView kHttp = KS_TEXT("http://");
constexpr WStringView kHttps = KS_TEXT("https://");
constexpr WStringView kFile = KS_TEXT("file:///");
constexpr WStringView kAction = KS_TEXT("action://");

// Action n is row n - 1.
constexpr WStringView kActionTexts[] = {
    KS_TEXT("lock/"),        KS_TEXT("logoff/"),  KS_TEXT("shutdown/"),
    KS_TEXT("restart/"),     KS_TEXT("sleep/"),   KS_TEXT("hibernate/"),
    KS_TEXT("mydocuments/"), KS_TEXT("mymusic/"), KS_TEXT("mypictures/"),
    KS_TEXT("myvideos/"),
};

bool StartsWith(WStringView text, WStringView prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

Target Classify(WStringView text) {
  if (StartsWith(text, kHttp) || StartsWith(text, kHttps)) return {WEB, text};
  if (StartsWith(text, kFile)) return {LOCAL, text.substr(kFile.size())};
  if (StartsWith(text, kAction)) return {ACTION, text.substr(kAction.size())};
  return {};
}

DWORD ActionNumber(WStringView actionText) {
  for (size_t i = 0; i < std::size(kActionTexts); ++i) {
    if (actionText == kActionTexts[i]) return static_cast<DWORD>(i + 1);
  }
  return 0;
}

std::optional<WString> Encode(KS_QL_TYPE type, WStringView urlOrPath, DWORD actionType) {
  WString text;
  switch (type) {
    case WEB:
      text = urlOrPath;
      break;
    case LOCAL:
      text.append(kFile).append(urlOrPath);
      break;
    case ACTION:
      if (actionType == 0) return std::nullopt;
      text = kAction;
      if (actionType <= std::size(kActionTexts)) text += kActionTexts[actionType - 1];
      break;
    default:
      return std::nullopt;
  }
  if (text.size() > kMaxTargetText) return std::nullopt;
  return text;
}

}  // namespace dm::target
