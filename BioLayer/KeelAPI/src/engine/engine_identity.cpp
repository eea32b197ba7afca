// engine_identity.cpp - the calls made on the identity: cards and macros,
// created, walked and found by reference number.
#include <optional>

#include "engine/engine.h"
#include "engine/value_rules.h"
#include "engine/walk_modes.h"

namespace keel {

KA_STATUS Engine::GetCard(uint32_t* identity, const char* domain, int32_t category, int16_t mode,
                          uint32_t* card) {
  int64_t owner = 0;
  if (const KA_STATUS s = Subject(identity, KEEL_IDENTITY, &owner); s != KA_OK) return s;
  if (card == nullptr) return KA_E_BAD_ARGUMENT;
  if (domain != nullptr && !StorableTextLength(domain)) return KA_E_BAD_ARGUMENT;

  KeelFilter filter{};
  filter.kind = KEEL_CARD;
  filter.category = category;
  filter.domain = domain;
  filter.by = domain != nullptr ? KEEL_BY_CATEGORY_DOMAIN : KEEL_BY_CATEGORY;
  if (mode == kWalkFirstOfDomain) {  // the first card of the domain and the category
    if (domain == nullptr) return KA_E_BAD_ARGUMENT;
    return WalkByMode(filter, kWalkFirst, card);
  }
  return WalkByMode(filter, mode, card);
}

KA_STATUS Engine::GetCardByRefNum(uint32_t* identity, int64_t ref_num, uint32_t* card) {
  int64_t owner = 0;
  if (const KA_STATUS s = Subject(identity, KEEL_IDENTITY, &owner); s != KA_OK) return s;
  if (card == nullptr) return KA_E_BAD_ARGUMENT;
  Transaction txn(Backend());
  if (txn.status() != KA_OK) return txn.status();
  int64_t object = 0;
  const int status = backend_->find_card_by_ref(backend_, ref_num, &object);
  if (status != KA_OK) return static_cast<KA_STATUS>(status);
  return CommitAndOpen(txn, object, KEEL_CARD, card);
}

KA_STATUS Engine::CreateCard(uint32_t* identity, const char* domain, int32_t category,
                             uint32_t* card) {
  int64_t owner = 0;
  if (const KA_STATUS s = Subject(identity, KEEL_IDENTITY, &owner); s != KA_OK) return s;
  if (card == nullptr || !StorableTextLength(domain)) return KA_E_BAD_ARGUMENT;
  KeelObjectFiling filing{};
  filing.kind = KEEL_CARD;
  filing.parent = owner;
  filing.domain = domain;
  filing.category = category;
  filing.pending = 1;  // until this handle is released (Engine::Release)
  return FileAndOpen(filing, Filing::kNew, card);
}

KA_STATUS Engine::GetMacro(uint32_t* identity, uint32_t finger, int16_t mode, uint32_t* macro) {
  int64_t owner = 0;
  if (const KA_STATUS s = Subject(identity, KEEL_IDENTITY, &owner); s != KA_OK) return s;
  if (macro == nullptr) return KA_E_BAD_ARGUMENT;
  KeelFilter filter{};
  filter.kind = KEEL_MACRO;
  filter.by = KEEL_BY_FINGER;
  filter.finger = finger;
  return WalkByMode(filter, mode, macro);
}

KA_STATUS Engine::CreateMacro(uint32_t* identity, uint32_t finger, uint32_t* macro) {
  int64_t owner = 0;
  if (const KA_STATUS s = Subject(identity, KEEL_IDENTITY, &owner); s != KA_OK) return s;
  if (macro == nullptr) return KA_E_BAD_ARGUMENT;
  KeelObjectFiling filing{};
  filing.kind = KEEL_MACRO;
  filing.parent = owner;
  filing.finger = finger;
  return FileAndOpen(filing, Filing::kNew, macro);
}

}  // namespace keel
