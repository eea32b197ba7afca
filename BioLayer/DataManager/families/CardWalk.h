// CardWalk.h - the walk over the identity's cards.
//
// Every operation that visits cards (domain lists, profile lists, look-ups,
// the single read) goes through WalkCards, so every card a request returned
// is released before the next request and before the operation returns.
#ifndef DM_FAMILIES_CARD_WALK_H
#define DM_FAMILIES_CARD_WALK_H

#include <cstdint>

#include "KSTypes.h"
#include "KeelAPIUtils.h"
#include "families/ObjectWalk.h"

namespace dm::cards {

// Request modes of KA_Id_GetCard: the first card, the next one after the
// card in the caller's variable, and the store's one card of a domain.
inline constexpr int16_t kFirstCard = walk::kFirst;
inline constexpr int16_t kNextCard = walk::kNext;
inline constexpr int16_t kSingleLookup = walk::kSingleLookup;

using walk::Walk;
using HeldCard = walk::Held<walk::Cards>;

// Walks the cards of `category`: all of them when `domainUtf8` is null,
// else those filed under that domain.  The first request uses `firstMode`
// (kFirstCard, or kSingleLookup for the store's one card of a domain); each
// card is handed to `visit(HeldCard&)`, released if `visit` did not release
// it, and the next card is requested (kNextCard) while `visit` answers
// Walk::kNext.  A failed release is logged by the wrapper and changes
// nothing.  Answers the number of cards visited.
template <typename Visit>
DWORD WalkCards(const char* domainUtf8, DWORD category, int16_t firstMode, Visit&& visit) {
  return walk::WalkObjects<walk::Cards>(
      [&](int16_t mode, uint32_t* cursor) {
        return KeelAPIUtils().EnumCards(domainUtf8, static_cast<int32_t>(category), mode, cursor);
      },
      firstMode, visit);
}

}  // namespace dm::cards

#endif  // DM_FAMILIES_CARD_WALK_H
