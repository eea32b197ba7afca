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

enum class Copy { kDone, kFull, kLost };

// The extent lines are copied into: one per destination, opened on extent
// after extent.  Its state is one word, so that taking a place and counting
// oneself among the writers is one atomic step: the bytes handed out (low
// 40 bits; all ones while closed), the writers still copying (16 bits) and
// the generation of the extent (top 8 bits), which changes at each opening
// so that a thread that read the state of an older extent cannot take a
// place in a newer one.
class Window {
 public:
  // Copies `line` into the open extent.  kFull: closed, or too full.
  Copy TryCopy(std::string_view line) {
    uint64_t state = state_.load(std::memory_order_acquire);
    uint64_t offset;
    do {
      offset = state & kHandedOutMask;
      if (offset == kClosed || offset + line.size() > size_.load(std::memory_order_relaxed)) {
        return Copy::kFull;
      }
    } while (!state_.compare_exchange_weak(state, state + kWriter + line.size(),
                                           std::memory_order_acquire,
                                           std::memory_order_acquire));
    // A writer now: the extent stays open and mapped until it leaves.
    Copy result = Copy::kFull;
    if (offset + line.size() <= extent_.size) {  // `size_` may have been another extent's
      const uint64_t lost_before = LostStores();
      std::memcpy(extent_.data + offset, line.data(), line.size());
      result = LostStores() != lost_before ? Copy::kLost : Copy::kDone;
    }
    state_.fetch_sub(kWriter, std::memory_order_release);
    return result;
  }

  // The open extent, or null.  For the destination's lock holder.
  const Extent* Current() const {
    return (state_.load(std::memory_order_relaxed) & kHandedOutMask) == kClosed ? nullptr
                                                                              : &extent_;
  }

  // Opens on `extent`; the window must be closed.
  void Open(const Extent& extent) {
    extent_ = extent;
    size_.store(extent.size, std::memory_order_relaxed);
    const uint64_t generation = state_.load(std::memory_order_relaxed) & kGenerationMask;
    state_.store(generation + kGeneration, std::memory_order_release);  // wraps, as meant
  }

  // Closes: no place is taken any more.  Waits for the writers still
  // copying (unless told they are gone) and answers how many bytes at the
  // extent's start hold lines; nothing when it was closed already.
  std::optional<uint64_t> Close(bool wait_for_writers) {
    uint64_t state = state_.load(std::memory_order_relaxed);
    do {
      if ((state & kHandedOutMask) == kClosed) return std::nullopt;
    } while (!state_.compare_exchange_weak(state, (state & ~kHandedOutMask) | kClosed,
                                           std::memory_order_acq_rel));
    while (wait_for_writers && (state_.load(std::memory_order_acquire) & kWritersMask) != 0) {
      std::this_thread::yield();
    }
    return std::min(state & kHandedOutMask, extent_.size);
  }

  // In a forked child: closed at once, without waiting for writers that
  // were the parent's threads.  Answers the extent it had, if any.
  std::optional<Extent> Forget() {
    const uint64_t state = state_.load(std::memory_order_relaxed);
    state_.store((state & kGenerationMask) | kClosed, std::memory_order_relaxed);
    if ((state & kHandedOutMask) == kClosed) return std::nullopt;
    return extent_;
  }

 private:
  static constexpr uint64_t kWriter = uint64_t{1} << 40;
  static constexpr uint64_t kHandedOutMask = kWriter - 1;
  static constexpr uint64_t kClosed = kHandedOutMask;
  static constexpr uint64_t kGeneration = uint64_t{1} << 56;
  static constexpr uint64_t kGenerationMask = ~(kGeneration - 1);
  static constexpr uint64_t kWritersMask = kGenerationMask ^ ~kHandedOutMask;

  Extent extent_;  // written only while closed, with no writer
  std::atomic<uint64_t> size_{0};  // the extent's size, for the look before taking a place
  alignas(64) std::atomic<uint64_t> state_{kClosed};
};

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
    Finish(/*replaced=*/false);
    Registry& registry = GlobalRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.live.erase(std::find(registry.live.begin(), registry.live.end(), this));
  }

  MappedDestination(const MappedDestination&) = delete;
  MappedDestination& operator=(const MappedDestination&) = delete;

  bool Append(std::string_view line) override {
    if (line.size() <= kLargestMappedLine &&
        sys::MonotonicMs() < next_check_ms_.load(std::memory_order_relaxed)) {
      if (const std::optional<bool> settled = CopyInto(line)) return *settled;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return AppendLocked(line);
  }

  // Replaced, it refuses later lines: written at the end of the file, they
  // would land after room the new destination reserved and then fills with
  // lines the same threads write later.
  void Finish(bool replaced) override {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    replaced_ = replaced_ || replaced;
    Retire(/*give_back=*/true);
  }

  bool Replaced() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return replaced_;
  }

  void FinishAtExit() override {
    std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return;  // the next opener repairs the file
    finished_ = true;
    Retire(/*give_back=*/true, /*wait_for_writers=*/false);
  }

 private:
  // Copies `line` into the window: answers whether it was written (false:
  // a store found the file cut, and it is looked at again), or nothing when
  // the window is closed or too full.
  std::optional<bool> CopyInto(std::string_view line) {
    switch (window_.TryCopy(line)) {
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
    if (replaced_) return false;
    const int64_t now = sys::MonotonicMs();
    if (now >= next_check_ms_.load(std::memory_order_relaxed)) CheckFile(now);
    if (file_ == nullptr) return false;
    if (finished_ || line.size() > kLargestMappedLine) {
      // After the lines of the open extent, not after its free room.
      Retire(/*give_back=*/true);
      return file_->Append(line);
    }
    // Two tries: a fresh extent takes any line that fits an extent, unless
    // the disk leaves less than that.
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (const std::optional<bool> settled = CopyInto(line)) return *settled;
      Retire(/*give_back=*/true);
      if (now < retry_after_ms_ || !Renew()) {
        retry_after_ms_ = now + kCheckIntervalMs;  // a full disk: drop lines for a while
        return false;
      }
    }
    return false;
  }

  // Closes the window, if open, and once its writers are done gives the
  // unused end of its extent back (or only unmaps it, when the file was cut).
  void Retire(bool give_back, bool wait_for_writers = true) {
    const Extent* extent = window_.Current();
    if (extent == nullptr) return;
    const std::optional<uint64_t> used = window_.Close(wait_for_writers);
    if (!used) return;
    if (give_back) {
      file_->Seal(*extent, *used);
    } else {
      file_->Abandon(*extent);
    }
  }

  bool Renew() {
    Extent extent;
    if (!file_->Reserve(kExtentBytes, &extent)) return false;
    window_.Open(extent);
    return true;
  }

  // Follows what another program did to the file, and what a fork did to
  // this process.
  void CheckFile(int64_t now) {
    next_check_ms_.store(now + kCheckIntervalMs, std::memory_order_relaxed);
    if (inherited_) {  // a forked child: the parent's file, extent and locks
      if (file_) file_->Abandon(*inherited_);
      inherited_.reset();
      file_.reset();
    }
    if (file_ != nullptr) {
      switch (file_->Check(window_.Current())) {
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
      d->inherited_ = d->window_.Forget();
      if (!d->inherited_ && d->file_ != nullptr) {
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
  Window window_;
  std::atomic<int64_t> next_check_ms_{0};
  std::optional<Extent> inherited_;  // in a forked child: the parent's extent at the fork
  bool finished_ = false;
  bool replaced_ = false;  // finished for another destination: refuses lines
  int64_t retry_after_ms_ = 0;
};

}  // namespace

std::unique_ptr<Destination> MakeMappedDestination(const std::string& path,
                                                   std::unique_ptr<MappedFile> file) {
  return std::make_unique<MappedDestination>(path, std::move(file));
}

}  // namespace kslog
