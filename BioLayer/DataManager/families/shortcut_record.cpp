// The layouts of a shortcut record and the category table (see
// ShortcutRecord.h).
#include "families/ShortcutRecord.h"

#include <iterator>

namespace dm::shortcut {
namespace {

static_assert(sizeof(KS_SHORTCUT_WEB::Url) / sizeof(WCHAR) == kLongField);
static_assert(sizeof(KS_SHORTCUT_WEB::Tip) / sizeof(WCHAR) == kTipField);

// Category n is row n - 1.
constexpr WStringView kCategoryNames[] = {
    KS_TEXT("Personal"), KS_TEXT("Games"),    KS_TEXT("NewsMedia"), KS_TEXT("Finance"),
    KS_TEXT("ServiceProvider"), KS_TEXT("Shopping"), KS_TEXT("Social"), KS_TEXT("VeriSignVIP"),
};

// The fields every layout has.
template <typename Layout>
View Common(Layout& layout) {
  View view;
  view.iconRef = layout.IconRef;
  view.tip = layout.Tip;
  view.isShowed = &layout.IsShowed;
  view.isPreloaded = &layout.IsPreloaded;
  view.category = &layout.Category;
  return view;
}

}  // namespace

std::optional<View> ViewOf(KS_SHORTCUT& record, KS_QL_TYPE type) {
  View view;
  switch (type) {
    case WEB:
      view = Common(record.Web);
      view.target = record.Web.Url;
      view.fullAddr = record.Web.FullAddr;
      return view;
    case LOCAL:
      view = Common(record.Local);
      view.target = record.Local.Path;
      return view;
    case ACTION:
      view = Common(record.Action);
      view.actionType = &record.Action.ActionType;
      return view;
    default:
      return std::nullopt;
  }
}

DWORD CategoryNumber(WStringView name) {
  for (size_t i = 0; i < std::size(kCategoryNames); ++i) {
    if (name == kCategoryNames[i]) return static_cast<DWORD>(i + 1);
  }
  return 0;
}

WStringView CategoryName(DWORD number) {
  if (number == 0 || number > std::size(kCategoryNames)) return {};
  return kCategoryNames[number - 1];
}

}  // namespace dm::shortcut
