// CardWalk.h - the one walk over the identity's cards.
//
// Every operation that visits cards (domain lists, profile lists, look-ups,
// the single read) goes through WalkCards, so every card a request returned
// is released before the next request and before the operation returns.
#ifndef DM_FAMILIES_CARD_WALK_H
#define DM_FAMILIES_CARD_WALK_H

#include <cstdint>

#include "KSTypes.h"
#include "KeelAPIUtils.h"

namespace dm::cards {

// Request modes of KA_Id_GetCard: the first card, the next one after the
// card in the caller's variable, and the store's one card of a domain.
enum CardRequest : int16_t { kFirstCard = 1, kNextCard = 2, kSingleLookup = 3 };

// What the walk does once the visited card is released.
enum class Walk { kNext, kStop };

// The card a visitor is looking at.  The walk releases it after the visitor
// returns; a visitor that must log after the release (or that ends the walk
// when the release fails) releases it itself.  A card is released even when
// a visitor leaves by an exception.
class HeldCard {
 public:
  explicit HeldCard(uint32_t handle) : handle_(handle) {}
  ~HeldCard() { Release(); }
  HeldCard(const HeldCard&) = delete;
  HeldCard& operator=(const HeldCard&) = delete;

  // The variable the store wrappers take.
  uint32_t* handle() { return &handle_; }

  // Releases the card once; later calls do nothing and answer true.
  // Answers false when the store refused (KeelAPIUtils::ReleaseCard has
  // logged "KA_Card_Release Failed With Error = %i").
  bool Release() {
    if (released_) return true;
    released_ = true;
    return KeelAPIUtils().ReleaseCard(&handle_) >= 0;
  }

 private:
  uint32_t handle_;
  bool released_ = false;
};

// Walks the cards of `category`: all of them when `domainUtf8` is null,
// else those filed under that domain.  The first request uses `firstMode`
// (kFirstCard, or kSingleLookup for the store's one card of a domain); each
// card is handed to `visit(HeldCard&)`, released if `visit` did not release
// it, and the next card is requested (kNextCard) while `visit` answers
// Walk::kNext.  A failed request ends the walk and is not logged: that is
// how every walk ends.  Answers the number of cards visited.
template <typename Visit>
DWORD WalkCards(const char* domainUtf8, DWORD category, int16_t firstMode, Visit&& visit) {
  KeelAPIUtils store;
  uint32_t cursor = 0;  // the store walks on from the card last returned here
  DWORD visited = 0;
  for (int16_t mode = firstMode;
       store.EnumCards(domainUtf8, static_cast<int32_t>(category), mode, &cursor) >= 0;
       mode = kNextCard) {
    ++visited;
    HeldCard card(cursor);
    const Walk next = visit(card);
    card.Release();  // a failure here is logged by the wrapper and changes nothing
    if (next == Walk::kStop) break;
  }
  return visited;
}

}  // namespace dm::cards

#endif  // DM_FAMILIES_CARD_WALK_H
