// mapped_file.cpp - what both platforms' mapped files share: laying out an
// extent in its view, and planning the repair of a file a killed writer left.
#include "mapped_file.h"

namespace kslog {

Extent ExtentInView(void* view, uint64_t view_start, uint64_t offset, uint64_t size) {
  Extent extent;
  extent.data = static_cast<char*>(view) + (offset - view_start);
  extent.size = size;
  extent.offset = offset;
  extent.view = view;
  extent.view_size = static_cast<size_t>(offset + size - view_start);
  return extent;
}

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
