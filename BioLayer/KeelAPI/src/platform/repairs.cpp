// repairs.cpp - the record of the repairs KeepPrivate made, on every
// system.
#include <deque>
#include <mutex>

#include "platform/store_location.h"

namespace keel {
namespace {

constexpr size_t kRepairsKept = 16;

std::mutex g_repairs_lock;
std::deque<std::string> g_repairs;

}  // namespace

void RecordRepair(std::string repair) {
  std::lock_guard<std::mutex> hold(g_repairs_lock);
  g_repairs.push_back(std::move(repair));
  if (g_repairs.size() > kRepairsKept) g_repairs.pop_front();
}

std::vector<std::string> Repairs() {
  std::lock_guard<std::mutex> hold(g_repairs_lock);
  return {g_repairs.begin(), g_repairs.end()};
}

}  // namespace keel
