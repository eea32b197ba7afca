// walk_modes.h - the walk modes of the store's listing calls.
#ifndef KEEL_ENGINE_WALK_MODES_H
#define KEEL_ENGINE_WALK_MODES_H

#include <cstdint>

namespace keel {

constexpr int16_t kWalkFirst = 1;          // the first object of the filter
constexpr int16_t kWalkNext = 2;           // the next after the caller's handle
constexpr int16_t kWalkFirstOfDomain = 3;  // cards only: mode 1 with a domain required

// Shortcuts are created under, and listed for, this region only.
constexpr char kShortcutRegion[] = "US";

}  // namespace keel

#endif  // KEEL_ENGINE_WALK_MODES_H
