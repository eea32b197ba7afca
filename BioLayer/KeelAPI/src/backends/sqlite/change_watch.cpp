// change_watch.cpp - reading the write-ahead-log index header.
#include "backends/sqlite/change_watch.h"

#include <atomic>

namespace keel::sqlite {
namespace {

constexpr int kRegionBytes = 32768;  // SQLite maps its index in regions of this size
constexpr size_t kIsInitOffset = 12;  // the header's "initialised" flag

WalStamp Copy(const volatile uint8_t* from) {
  WalStamp stamp{};
  for (size_t i = 0; i < stamp.size(); ++i) stamp[i] = from[i];
  return stamp;
}

}  // namespace

bool ChangeWatch::Attach(sqlite3* db) {
  header_ = nullptr;
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
      file == nullptr || file->pMethods == nullptr || file->pMethods->iVersion < 2 ||
      file->pMethods->xShmMap == nullptr) {
    return false;
  }
  volatile void* region = nullptr;
  if (file->pMethods->xShmMap(file, 0, kRegionBytes, 0, &region) != SQLITE_OK ||
      region == nullptr) {
    return false;
  }
  header_ = static_cast<const volatile uint8_t*>(region);
  return true;
}

std::optional<WalStamp> ChangeWatch::Now() const {
  if (header_ == nullptr) return std::nullopt;
  // The same order as SQLite's own readers: the first copy, a barrier, the
  // second; a writer writes them the other way round.
  const WalStamp first = Copy(header_);
  std::atomic_thread_fence(std::memory_order_acquire);
  const WalStamp second = Copy(header_ + first.size());
  if (first != second || first[kIsInitOffset] != 1) return std::nullopt;
  return first;
}

}  // namespace keel::sqlite
