// mapped_file.cpp - what both platforms' mapped files share: planning the
// repair of a file a killed writer left.
#include "mapped_file.h"

namespace kslog {

Repair PlanRepair(std::string_view tail) {
  Repair repair;
  size_t keep = tail.size();
  while (keep > 0 && tail[keep - 1] == 0) --keep;
  if (keep > 0 && tail[keep - 1] != '\n') {  // a line cut short
    while (keep > 0 && tail[keep - 1] != '\n') --keep;
  }
  repair.keep = keep;
  for (size_t i = 0; i < keep; ++i) {
    if (tail[i] != 0) continue;
    size_t end = i;
    while (end < keep && tail[end] == 0) ++end;
    repair.holes.push_back({i, end - i});
    i = end;
  }
  return repair;
}

std::string HoleFiller(size_t size) {
  std::string filler(size, ' ');
  if (size > 0) filler.back() = '\n';
  return filler;
}

}  // namespace kslog
