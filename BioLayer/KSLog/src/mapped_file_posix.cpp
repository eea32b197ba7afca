// mapped_file_posix.cpp - mapped_file.h on POSIX: extents reserved with
// posix_fallocate, mmap, open-file-description locks, and a SIGBUS guard.
//
// A store into a mapping of a file that another program cut raises SIGBUS.
// The guard catches exactly those that fall in one of our mappings, puts
// private memory where the cut pages were (the store completes, the line is
// lost and counted) and passes every other SIGBUS to the handler that was
// there before.  Cuts are also looked for every tenth of a second, so that
// the next extent starts at the file's new end.
#ifndef _WIN32

#include "mapped_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace kslog {
namespace {

// --- The SIGBUS guard -------------------------------------------------------

struct GuardedView {
  std::atomic<uintptr_t> begin{0};  // 0: a free slot
  std::atomic<uintptr_t> end{0};
};

constexpr size_t kGuardedViews = 64;  // a destination maps one extent at a time
GuardedView g_views[kGuardedViews];
std::atomic<uint64_t> g_lost_stores{0};
struct sigaction g_previous_bus_action;

uintptr_t PageSize() {
  static const uintptr_t size = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

void OnBusError(int signal, siginfo_t* info, void* context) {
  const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
  for (GuardedView& view : g_views) {
    const uintptr_t begin = view.begin.load(std::memory_order_acquire);
    const uintptr_t end = view.end.load(std::memory_order_acquire);
    if (begin == 0 || address < begin || address >= end) continue;
    const uintptr_t page = address & ~(PageSize() - 1);
    ::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ | PROT_WRITE,
           MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    g_lost_stores.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  // Not ours.
  const struct sigaction& previous = g_previous_bus_action;
  if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
    previous.sa_sigaction(signal, info, context);
  } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
    previous.sa_handler(signal);
  } else {
    // Back to the default: the faulting instruction runs again and the
    // signal does what it would have done without us.
    ::signal(SIGBUS, SIG_DFL);
  }
}

void InstallBusGuard() {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_sigaction = &OnBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGBUS, &action, &g_previous_bus_action) == 0;
  }();
  (void)installed;
}

bool Guard(void* view, size_t size) {
  InstallBusGuard();
  const auto begin = reinterpret_cast<uintptr_t>(view);
  for (GuardedView& slot : g_views) {
    uintptr_t expected = 0;
    if (slot.begin.load(std::memory_order_relaxed) != 0) continue;
    slot.end.store(begin + size, std::memory_order_release);
    if (slot.begin.compare_exchange_strong(expected, begin, std::memory_order_acq_rel)) {
      return true;
    }
  }
  return false;
}

void Unguard(void* view) {
  const auto begin = reinterpret_cast<uintptr_t>(view);
  for (GuardedView& slot : g_views) {
    uintptr_t expected = begin;
    if (slot.begin.compare_exchange_strong(expected, 0, std::memory_order_acq_rel)) return;
  }
}

// --- Locks ------------------------------------------------------------------

// Two bytes far past any end of file: a shared lock on the first says "this
// process writes the file", an exclusive one on the second "this process
// grows or cuts it".  Locks of the open file description, so that they
// belong to this opening (not to the process, which may open the file twice
// while it changes settings).
constexpr off_t kWritersByte = off_t{1} << 62;
constexpr off_t kGrowingByte = kWritersByte + 1;

#if defined(F_OFD_SETLK)
constexpr int kSetLock = F_OFD_SETLK;
constexpr int kSetLockWait = F_OFD_SETLKW;
#else
constexpr int kSetLock = F_SETLK;
constexpr int kSetLockWait = F_SETLKW;
#endif

bool Lock(int fd, off_t byte, short type, bool wait) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = byte;
  lock.l_len = 1;
  while (::fcntl(fd, wait ? kSetLockWait : kSetLock, &lock) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// Holds the growing lock for its scope.  A file system without locks makes
// it a no-op: the file is then only as safe as appends alone make it.
class GrowingLock {
 public:
  explicit GrowingLock(int fd) : fd_(fd), held_(Lock(fd, kGrowingByte, F_WRLCK, true)) {}
  ~GrowingLock() {
    if (held_) Lock(fd_, kGrowingByte, F_UNLCK, false);
  }
  GrowingLock(const GrowingLock&) = delete;
  GrowingLock& operator=(const GrowingLock&) = delete;

 private:
  int fd_;
  bool held_;
};

// --- Repair -----------------------------------------------------------------

bool WriteAt(int fd, off_t offset, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
    offset += n;
  }
  return true;
}

// Makes the file plain text again after a killed writer (PlanRepair).  Runs
// while no other process writes the file.
void RepairFile(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_size == 0) return;
  const off_t size = st.st_size;
  const off_t start = size > static_cast<off_t>(kRepairSpan) ? size - static_cast<off_t>(kRepairSpan) : 0;
  std::string tail(static_cast<size_t>(size - start), '\0');
  for (size_t done = 0; done < tail.size();) {
    const ssize_t n = ::pread(fd, tail.data() + done, tail.size() - done,
                              start + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
  const Repair repair = PlanRepair(tail);
  // pwrite appends regardless of its offset on a file opened for appending.
  const int flags = ::fcntl(fd, F_GETFL);
  ::fcntl(fd, F_SETFL, flags & ~O_APPEND);
  for (const Repair::Hole& hole : repair.holes) {
    WriteAt(fd, start + static_cast<off_t>(hole.offset), HoleFiller(hole.size));
  }
  ::fcntl(fd, F_SETFL, flags);
  if (repair.keep < tail.size()) (void)::ftruncate(fd, start + static_cast<off_t>(repair.keep));
}

// --- The file ---------------------------------------------------------------

// Maps every page of a fresh extent writable at once.  Otherwise each page
// is mapped at the first store into it, with a fault every few lines, and
// threads storing into one page wait for each other in that fault.
void MapWritableNow(const Extent& extent) {
#if defined(MADV_POPULATE_WRITE)
  if (::madvise(extent.view, extent.view_size, MADV_POPULATE_WRITE) == 0) return;
#endif
  // An older kernel: a store into each page.  Only bytes of the extent, all
  // zero and nobody else's, are stored to: the view's first page may hold
  // the end of another writer's lines.
  const auto begin = reinterpret_cast<uintptr_t>(extent.data);
  for (uintptr_t at = begin; at < begin + extent.size; at = (at | (PageSize() - 1)) + 1) {
    *reinterpret_cast<char*>(at) = 0;
  }
}

class PosixMappedFile final : public MappedFile {
 public:
  PosixMappedFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  // Closing gives up the locks once no process shares this opening (a
  // forked child closes its copy without touching its parent's locks).
  ~PosixMappedFile() override { ::close(fd_); }
  PosixMappedFile(const PosixMappedFile&) = delete;
  PosixMappedFile& operator=(const PosixMappedFile&) = delete;

  bool Reserve(uint64_t bytes, Extent* out) override {
    GrowingLock lock(fd_);
    // Every writer of ours grows the file under this lock only, so its end
    // stays where it is until the lock goes.  Allocated, not written: the
    // blocks are the file system's promise of room (a full disk fails here,
    // not later in a store), and reading them gives zeros.
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return false;
    const uint64_t offset = static_cast<uint64_t>(st.st_size);
    // Less when the disk or the file size limit leaves less, down to a page.
    for (; bytes >= PageSize(); bytes /= 2) {
      if (Grow(offset, bytes)) break;
    }
    if (bytes < PageSize()) return false;
    const uint64_t end = offset + bytes;
    const uint64_t view_start = offset & ~static_cast<uint64_t>(PageSize() - 1);
    const size_t view_size = static_cast<size_t>(end - view_start);
    void* view = ::mmap(nullptr, view_size, PROT_READ | PROT_WRITE, MAP_SHARED, fd_,
                        static_cast<off_t>(view_start));
    if (view != MAP_FAILED && !Guard(view, view_size)) {
      ::munmap(view, view_size);
      view = MAP_FAILED;
    }
    if (view == MAP_FAILED) {
      GiveBack(offset, end);
      return false;
    }
    *out = ExtentInView(view, view_start, offset, bytes);
    MapWritableNow(*out);
    return true;
  }

  void Seal(const Extent& extent, uint64_t used) override {
    if (used < extent.size) {
      GrowingLock lock(fd_);
      const uint64_t end = extent.offset + extent.size;
      struct stat st {};
      if (::fstat(fd_, &st) == 0 && static_cast<uint64_t>(st.st_size) >= end) {
        if (static_cast<uint64_t>(st.st_size) == end) {
          GiveBack(extent.offset + used, end);
        } else {  // others appended after it: the hole becomes a line of spaces
          const std::string filler = HoleFiller(extent.size - used);
          std::memcpy(extent.data + used, filler.data(), filler.size());
        }
      }
    }
    Abandon(extent);
  }

  void Abandon(const Extent& extent) override {
    Unguard(extent.view);
    ::munmap(extent.view, extent.view_size);
  }

  bool Append(std::string_view line) override {
    GrowingLock lock(fd_);
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
      const ssize_t n = ::write(fd_, p, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      p += n;
      left -= static_cast<size_t>(n);
    }
    return true;
  }

  FileChange Check(const Extent* extent) override {
    struct stat mine {};
    struct stat named {};
    if (::fstat(fd_, &mine) != 0) return FileChange::kNone;
    if (::stat(path_.c_str(), &named) != 0) {
      return errno == ENOENT ? FileChange::kReplaced : FileChange::kNone;
    }
    if (named.st_ino != mine.st_ino || named.st_dev != mine.st_dev) return FileChange::kReplaced;
    if (extent != nullptr && static_cast<uint64_t>(mine.st_size) < extent->offset + extent->size) {
      return FileChange::kCut;
    }
    return FileChange::kNone;
  }

 private:
  bool Grow(uint64_t offset, uint64_t bytes) {
    int result;
    do {
      result = ::posix_fallocate(fd_, static_cast<off_t>(offset), static_cast<off_t>(bytes));
    } while (result == EINTR);
    if (result == 0) return true;
    // posix_fallocate may have grown the file part of the way.
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && static_cast<uint64_t>(st.st_size) > offset) {
      (void)::ftruncate(fd_, static_cast<off_t>(offset));
    }
    return false;
  }

  // Cuts the file back to `from`, if it still ends at `end` (under the
  // growing lock: nothing of ours grew it since).
  void GiveBack(uint64_t from, uint64_t end) {
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && static_cast<uint64_t>(st.st_size) == end) {
      (void)::ftruncate(fd_, static_cast<off_t>(from));
    }
  }

  const int fd_;
  const std::string path_;
};

}  // namespace

std::unique_ptr<MappedFile> MappedFile::Open(const std::string& path) {
  if (path.empty()) return nullptr;
  const int fd =
      ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  if (Lock(fd, kWritersByte, F_WRLCK, false)) {  // the only writer: repair, then share
    RepairFile(fd);
    Lock(fd, kWritersByte, F_RDLCK, false);
  } else {
    Lock(fd, kWritersByte, F_RDLCK, true);  // waits while another opener repairs
  }
  return std::make_unique<PosixMappedFile>(fd, path);
}

uint64_t LostStores() { return g_lost_stores.load(std::memory_order_relaxed); }

void StopGuardingMappings() {
  struct sigaction current {};
  if (::sigaction(SIGBUS, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) != 0 &&
      current.sa_sigaction == &OnBusError) {
    ::sigaction(SIGBUS, &g_previous_bus_action, nullptr);
  }
}

}  // namespace kslog

#endif  // !_WIN32
