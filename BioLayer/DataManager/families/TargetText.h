// TargetText.h - the text a quick launch (macro property 100) or a shortcut
// (property 1002) stores to name its target, and the action table.
//
// The prefix at the very start of the text, compared case-sensitively,
// names the type:
//   "http://", "https://"  WEB     the whole text is the address
//   "file:///"             LOCAL   the path follows the prefix
//   "action://"            ACTION  an action text of the table follows
// Any other text names no target.
#ifndef DM_FAMILIES_TARGET_TEXT_H
#define DM_FAMILIES_TARGET_TEXT_H

#include <cstddef>
#include <optional>

#include "DataManager.h"
#include "platform/Env.h"

namespace dm::target {

// The longest target text, in UTF-16 code units: what a 2048-character
// field holds with its terminator.
inline constexpr size_t kMaxTargetText = 2047;

struct Target {
  KS_QL_TYPE type = 0;  // 0: the text names no target
  WStringView value;    // WEB: the whole text; LOCAL: the path; ACTION: the action text
};

// Classifies a stored text.  The value views into `text`.
Target Classify(WStringView text);

// The action number of an action text ("lock/" is 1 ... "myvideos/" is
// 10), compared exactly, its trailing "/" included; 0 when no row has it.
DWORD ActionNumber(WStringView actionText);

// The target text of a record's target: WEB the address unchanged; LOCAL
// "file:///" and the path; ACTION "action://" and the action's text (a
// number outside 1 to 10 gives "action://" alone).  Nothing for ACTION 0,
// any other type, or a text longer than kMaxTargetText, which would not fit
// the fields it is read back into.
std::optional<WString> Encode(KS_QL_TYPE type, WStringView urlOrPath, DWORD actionType);

}  // namespace dm::target

#endif  // DM_FAMILIES_TARGET_TEXT_H
