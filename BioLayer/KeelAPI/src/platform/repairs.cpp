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
uint64_t g_recorded = 0;  // every repair recorded so far, kept or not

}  // namespace

void RecordRepair(std::string repair) {
  std::lock_guard<std::mutex> hold(g_repairs_lock);
  g_repairs.push_back(std::move(repair));
  ++g_recorded;
  if (g_repairs.size() > kRepairsKept) g_repairs.pop_front();
}

std::vector<std::string> Repairs() {
  std::lock_guard<std::mutex> hold(g_repairs_lock);
  return {g_repairs.begin(), g_repairs.end()};
}

uint64_t RepairsMark() {
  std::lock_guard<std::mutex> hold(g_repairs_lock);
  return g_recorded;
}

void ForgetRepairsBefore(uint64_t mark) {
  std::lock_guard<std::mutex> hold(g_repairs_lock);
  while (!g_repairs.empty() && g_recorded - g_repairs.size() < mark) g_repairs.pop_front();
}

}  // namespace keel
