// mapped_destination.cpp - the lock-free way of a line into a mapped extent,
// and the locked way around it: reserving, giving back, following the file.
#include "mapped_destination.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "ks/never_destroyed.h"
#include "system.h"

namespace kslog {
namespace {

// An extent of 1 MiB holds some 7000 lines: reserving and giving back cost
// a few system calls per extent, nothing per line.  It is also the most a
// reader sees of a zero-filled tail while the process runs.
constexpr uint64_t kExtentBytes = uint64_t{1} << 20;
constexpr uint64_t kLargestMappedLine = kExtentBytes / 4;
// How often the path is compared with the open file (rotation, deletion,
// a cut), and how long after a failed reservation (a full disk) lines are
// dropped without trying again.
constexpr int64_t kCheckIntervalMs = 100;

// A window's state in one word, so that taking a place in it and counting
// oneself among its writers is one atomic add: the bytes handed out (low 40
// bits) and the writers still copying (high 24 bits).
constexpr uint64_t kWriter = uint64_t{1} << 40;
constexpr uint64_t kHandedOutMask = kWriter - 1;

struct Window {
  Extent extent;  // read by every line: kept off the line the adds bounce on
  alignas(64) std::atomic<uint64_t> state{0};
  // Where the one line that found the window too full would have started:
  // the end of what was used, when the window filled up.
  std::atomic<uint64_t> full_at{UINT64_MAX};
};

enum class Copy { kDone, kFull, kLost };

Copy TryCopy(Window* w, std::string_view line) {
  const uint64_t lost_before = LostStores();
  const uint64_t before = w->state.fetch_add(kWriter + line.size(), std::memory_order_acquire);
  const uint64_t offset = before & kHandedOutMask;
  Copy result = Copy::kDone;
  if (offset + line.size() > w->extent.size) {
    if (offset < w->extent.size) w->full_at.store(offset, std::memory_order_relaxed);
    result = Copy::kFull;
  } else {
    std::memcpy(w->extent.data + offset, line.data(), line.size());
    if (LostStores() != lost_before) result = Copy::kLost;
  }
  w->state.fetch_sub(kWriter, std::memory_order_release);
  return result;
}

// Makes every later place-taking in `w` fail, waits for the writers still
// copying, and answers how many bytes at its start hold lines.
uint64_t CloseWindow(Window* w) {
  const uint64_t before = w->state.fetch_add(w->extent.size + 1, std::memory_order_acq_rel);
  while (w->state.load(std::memory_order_acquire) >= kWriter) std::this_thread::yield();
  return std::min({before & kHandedOutMask, w->extent.size,
                   w->full_at.load(std::memory_order_relaxed)});
}

class MappedDestination;

// The live mapped destinations, for the fork handlers: a child must not
// write into its parent's extents, nor give them back.
struct Registry {
  std::mutex mutex;
  std::vector<MappedDestination*> live;
};

Registry& GlobalRegistry() {
  static ks::NeverDestroyed<Registry> registry;
  return registry.get();
}

class MappedDestination final : public Destination {
 public:
  MappedDestination(std::string path, std::unique_ptr<MappedFile> file)
      : path_(std::move(path)), file_(std::move(file)) {
    static const bool watching = (sys::AtFork(&BeforeFork, &AfterForkInParent,
                                              &AfterForkInChild),
                                  true);
    (void)watching;
    Registry& registry = GlobalRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.live.push_back(this);
  }

  ~MappedDestination() override {
    Finish();
    Registry& registry = GlobalRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.live.erase(std::find(registry.live.begin(), registry.live.end(), this));
  }

  MappedDestination(const MappedDestination&) = delete;
  MappedDestination& operator=(const MappedDestination&) = delete;

  bool Append(std::string_view line) override {
    if (line.size() <= kLargestMappedLine &&
        sys::MonotonicMs() < next_check_ms_.load(std::memory_order_relaxed)) {
      if (Window* w = current_.load(std::memory_order_acquire)) {
        if (const std::optional<bool> settled = CopyInto(w, line)) return *settled;
      }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return AppendLocked(line);
  }

  void Finish() override {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    Retire(/*give_back=*/true);
  }

 private:
  // Copies `line` into `w`: answers whether it was written (false: a store
  // found the file cut, and it is looked at again), or nothing when `w` is
  // too full.
  std::optional<bool> CopyInto(Window* w, std::string_view line) {
    switch (TryCopy(w, line)) {
      case Copy::kDone:
        return true;
      case Copy::kLost:
        next_check_ms_.store(0, std::memory_order_relaxed);
        return false;
      case Copy::kFull:
        break;
    }
    return std::nullopt;
  }

  bool AppendLocked(std::string_view line) {
    const int64_t now = sys::MonotonicMs();
    if (now >= next_check_ms_.load(std::memory_order_relaxed)) CheckFile(now);
    if (file_ == nullptr) return false;
    if (finished_ || line.size() > kLargestMappedLine) return file_->Append(line);
    // Two tries: a fresh extent takes any line that fits an extent, unless
    // the disk leaves less than that.
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (Window* w = current_.load(std::memory_order_relaxed)) {
        if (const std::optional<bool> settled = CopyInto(w, line)) return *settled;
        Retire(/*give_back=*/true);
      }
      if (now < retry_after_ms_ || !Renew()) {
        retry_after_ms_ = now + kCheckIntervalMs;  // a full disk: drop lines for a while
        return false;
      }
    }
    return false;
  }

  // Takes the current window out of use and, once its writers are done,
  // gives its unused end back (or only unmaps it, when the file was cut).
  void Retire(bool give_back) {
    Window* w = current_.exchange(nullptr, std::memory_order_acq_rel);
    if (w == nullptr) return;
    const uint64_t used = CloseWindow(w);
    if (give_back) {
      file_->Seal(w->extent, used);
    } else {
      file_->Abandon(w->extent);
    }
  }

  bool Renew() {
    auto w = std::make_unique<Window>();
    if (!file_->Reserve(kExtentBytes, &w->extent)) return false;
    current_.store(w.get(), std::memory_order_release);
    // Kept until the destination goes: a thread may still hold its address
    // from before it was retired, and will find it full.
    windows_.push_back(std::move(w));
    return true;
  }

  // Follows what another program did to the file, and what a fork did to
  // this process.
  void CheckFile(int64_t now) {
    next_check_ms_.store(now + kCheckIntervalMs, std::memory_order_relaxed);
    if (inherited_ != nullptr) {  // a forked child: the parent's file, extent and locks
      if (file_) file_->Abandon(inherited_->extent);
      inherited_ = nullptr;
      file_.reset();
    }
    if (file_ != nullptr) {
      Window* w = current_.load(std::memory_order_relaxed);
      switch (file_->Check(w != nullptr ? &w->extent : nullptr)) {
        case FileChange::kNone:
          return;
        case FileChange::kCut:  // the next extent starts at its new end
          Retire(/*give_back=*/false);
          return;
        case FileChange::kReplaced:  // rotated or deleted: on to the file at the path
          Retire(/*give_back=*/true);
          file_.reset();
          break;
      }
    }
    file_ = MappedFile::Open(path_);
  }

  static void BeforeFork() {
    Registry& registry = GlobalRegistry();
    registry.mutex.lock();
    for (MappedDestination* d : registry.live) d->mutex_.lock();
  }

  static void AfterForkInParent() {
    Registry& registry = GlobalRegistry();
    for (MappedDestination* d : registry.live) d->mutex_.unlock();
    registry.mutex.unlock();
  }

  static void AfterForkInChild() {
    Registry& registry = GlobalRegistry();
    for (MappedDestination* d : registry.live) {
      d->inherited_ = d->current_.exchange(nullptr, std::memory_order_relaxed);
      if (d->inherited_ == nullptr && d->file_ != nullptr) {
        d->file_.reset();  // no extent, but the parent's open file all the same
      }
      d->next_check_ms_.store(0, std::memory_order_relaxed);
      d->mutex_.unlock();
    }
    registry.mutex.unlock();
  }

  const std::string path_;
  std::mutex mutex_;  // everything below but the atomics
  std::unique_ptr<MappedFile> file_;  // null while the path cannot be opened
  std::vector<std::unique_ptr<Window>> windows_;
  std::atomic<Window*> current_{nullptr};
  std::atomic<int64_t> next_check_ms_{0};
  Window* inherited_ = nullptr;  // in a forked child: the parent's window at the fork
  bool finished_ = false;
  int64_t retry_after_ms_ = 0;
};

}  // namespace

std::unique_ptr<Destination> MakeMappedDestination(const std::string& path,
                                                   std::unique_ptr<MappedFile> file) {
  return std::make_unique<MappedDestination>(path, std::move(file));
}

}  // namespace kslog
