// Domains: the distinct domains under which the cards of one profile kind
// are filed, in store order.
//
// Both public operations make the same two passes over the cards: one that
// counts the cards carrying a domain (GetDomainAllCount) and one that reads
// them into a working list (GetDomainAll).  Duplicates are then removed,
// keeping each name's first occurrence.
#include <algorithm>
#include <iterator>
#include <new>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "DataManagerUtils.h"
#include "families/ArrayFill.h"
#include "families/CardFields.h"
#include "families/CardWalk.h"
#include "log/MethodFrame.h"
#include "log/Log.h"
#include "text/Fields.h"

DM_LOG_SOURCE(".\\DataManagerUtils");

namespace dm {
namespace {

// The raw domains, one entry per card that carries one; an empty entry is a
// card whose domain could not be read, and takes no part in anything.
using DomainList = std::vector<WString>;

// The two raw passes over the cards of a kind, each a worker method of its
// own with its lines: the count of the cards that carry a domain (property 1
// with a size above 0), and the reading of those domains into a list.
struct RawPass {
  MethodLines lines;
  const WCHAR* walking;
  const WCHAR* succeeded;
};

constexpr RawPass kCountPass = {DM_WORKER_COUNTED_LINES("GetDomainAllCount", "GetDomainAllCount()"),
                                KS_TEXT("Get Domain All Count"),
                                KS_TEXT("Get Domain All Count Successfully")};
constexpr RawPass kListPass = {DM_WORKER_COUNTED_LINES("GetDomainAll", "GetDomainAll()"),
                               KS_TEXT("Get Domain All"), KS_TEXT("Get Domain All Successfully")};

// One raw pass.  Without a list it counts the cards that carry a domain.
// With one it reads each such card's domain into the next entry, at most
// list->size() entries (only a store changed since the count holds more); a
// card whose read fails gives an empty entry.  A refused release ends the
// pass.  Answers 1 when at least one card counted; *count gets the number.
BOOL RawDomainPass(DataManagerUtils& worker, const RawPass& pass, KS_PROFILE_TYPE kind,
                   DomainList* list, DWORD* count) {
  return RunCountedMethod(pass.lines, __LINE__, count, [&](DWORD& n) -> BOOL {
    DWORD category = 0;
    if (!worker.InitializeProfile(kind, &category)) return FALSE;
    log::Write(kWorkerSource, pass.lines.function, __LINE__, 1, pass.walking);
    DWORD found = 0;
    cards::WalkCards(nullptr, category, cards::kFirstCard, [&](cards::HeldCard& card) {
      if (list == nullptr) {
        found += cards::CardHasText(card.handle(), cards::kDomainProperty) ? 1 : 0;
      } else {
        KS_DOMAIN name = {};
        const cards::TextRead read = cards::ReadCardText(
            card.handle(), cards::kDomainProperty, name.Domain, std::size(name.Domain),
            cards::kDomainReadCapacity);
        if (read.stored) (*list)[found++] = text::FieldText(name.Domain);
      }
      const bool full = list != nullptr && found == list->size();
      return card.Release() && !full ? cards::Walk::kNext : cards::Walk::kStop;
    });
    if (found == 0) return FALSE;
    log::Write(kWorkerSource, pass.lines.function, __LINE__, 1, pass.succeeded);
    n = found;
    return TRUE;
  });
}

// Clears every later entry equal to an earlier non-empty one, logging
// "Delete Domain = %s" for each under `function`.  The lines come in the
// order of a pass that compares each entry with every later one: for each
// first occurrence in list order, its duplicates in list order.  One hash
// pass groups the duplicates under their first occurrence, so the cost is
// linear in the number of entries.
void RemoveDuplicates(DomainList* list, const WCHAR* function) {
  const WCHAR* const kLogFunction = function;
  constexpr size_t kNone = static_cast<size_t>(-1);
  std::unordered_map<WStringView, size_t> first;           // name -> index of its first occurrence
  std::vector<size_t> nextDuplicate(list->size(), kNone);  // chains, in list order
  std::vector<size_t> lastDuplicate(list->size(), kNone);  // per first occurrence
  first.reserve(list->size());
  for (size_t j = 0; j < list->size(); ++j) {
    const WString& name = (*list)[j];
    if (name.empty()) continue;
    const auto [found, inserted] = first.try_emplace(name, j);
    if (inserted) continue;
    const size_t head = found->second;
    if (lastDuplicate[head] == kNone) {
      nextDuplicate[head] = j;
    } else {
      nextDuplicate[lastDuplicate[head]] = j;
    }
    lastDuplicate[head] = j;
  }
  first.clear();  // its keys view the entries cleared below
  for (size_t i = 0; i < list->size(); ++i) {
    if (lastDuplicate[i] == kNone) continue;  // not a first occurrence with duplicates
    for (size_t j = nextDuplicate[i]; j != kNone; j = nextDuplicate[j]) {
      DM_LOG("Delete Domain = %s", (*list)[j].c_str());
      (*list)[j].clear();
    }
  }
}

// The common part of GetDomainCount and GetDomain: counts, reads and
// de-duplicates the raw domains into *list, logging "Get Domain All" under
// `function` between the two passes.  *count ends as the raw passes left it.
// Answers whether both passes succeeded.  The list grows with the store, so
// running out of memory fails the call instead of the process.
bool CollectDomains(DataManagerUtils& worker, KS_PROFILE_TYPE kind, const WCHAR* function,
                    DomainList* list, DWORD* count) {
  const WCHAR* const kLogFunction = function;
  if (!RawDomainPass(worker, kCountPass, kind, nullptr, count)) return false;
  DM_LOG("Get Domain All");
  try {
    list->assign(*count, WString());
    if (!RawDomainPass(worker, kListPass, kind, list, count)) return false;
    RemoveDuplicates(list, function);
  } catch (const std::bad_alloc&) {
    list->clear();
    return false;
  }
  return true;
}

}  // namespace

BOOL DataManagerUtils::GetDomainCount(KS_PROFILE_TYPE type, PDWORD count) {
  DM_LOG_FUNCTION("DataManagerUtils::GetDomainCount");
  return RunCountedMethod(
      DM_COUNTED_METHOD_LINES("GetDomainCount()"), __LINE__, count, [&](DWORD& n) -> BOOL {
        DomainList list;
        // Without a count there is nothing to answer into.
        if (count == nullptr || !CollectDomains(*this, type, kLogFunction, &list, &n)) return FALSE;
        const auto named = [](const WString& name) { return !name.empty(); };
        const auto distinct = static_cast<DWORD>(std::count_if(list.begin(), list.end(), named));
        if (distinct == 0) return FALSE;
        n = distinct;
        return TRUE;
      });
}

BOOL DataManagerUtils::GetDomain(KS_PROFILE_TYPE type, PKS_DOMAIN domains, DWORD capacity,
                                 PDWORD count) {
  DM_LOG_FUNCTION("DataManagerUtils::GetDomain");
  return RunCountedMethod(DM_COUNTED_METHOD_LINES("GetDomain()"), __LINE__, count,
                          [&](DWORD& n) -> BOOL {
                            // A null array or count, like a capacity of 0, leaves nothing to fill.
                            if (capacity == 0 || domains == nullptr || count == nullptr)
                              return FALSE;
                            DM_LOG("Input Count Is %u", capacity);
                            DomainList list;
                            if (!CollectDomains(*this, type, kLogFunction, &list, &n)) return FALSE;
                            ArrayFill fill(capacity, kLogFunction);
                            for (const WString& name : list) {
                              if (name.empty()) continue;
                              DM_LOG("Domain = %s", name.c_str());
                              text::CopyToField(domains[fill.filled()].Domain, name);
                              if (fill.Advance()) break;
                            }
                            if (fill.filled() == 0) return FALSE;
                            n = fill.filled();
                            return TRUE;
                          });
}

}  // namespace dm
