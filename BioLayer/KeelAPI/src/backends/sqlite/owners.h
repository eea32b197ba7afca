// owners.h - which open stores use a database, told by the kernel's file
// locks, so that the pending objects of a store that ended can be removed.
//
// Each open store takes a random 63-bit token, marks its pending objects
// with it (objects.owner), and holds an exclusive lock (flock) on a file
// named after it in the folder `<database>.owners` for as long as it is
// open.  The kernel lets go of the lock when the process ends, however it
// ends, so a lock that another store can take means that its owner has
// ended.  A missing file means so too: an owner makes and locks its file
// before it marks any object, and a file is removed only by its owner when
// it closes or by a store that holds its lock.  Tokens, unlike process ids,
// are never reused by the system.
#ifndef KEEL_SQLITE_OWNERS_H
#define KEEL_SQLITE_OWNERS_H

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace keel::sqlite {

// The folder of the owners' files of the database at `database`.
inline std::string OwnersFolder(const std::string& database) { return database + ".owners"; }

// The file of `token` in `folder`: its 16 hex digits.
inline std::string OwnerFile(const std::string& folder, int64_t token) {
  char name[17];
  std::snprintf(name, sizeof name, "%016" PRIx64, static_cast<uint64_t>(token));
  return folder + "/" + name;
}

// This open store's mark.
class OwnerMark {
 public:
  OwnerMark() = default;
  ~OwnerMark() { Drop(); }
  OwnerMark(const OwnerMark&) = delete;
  OwnerMark& operator=(const OwnerMark&) = delete;

  // Marks the store opened on `database` with a token drawn from `random`:
  // makes the folder (0700) when missing, and the token's file (0600),
  // locked.  False with *why.
  bool Take(const std::string& database, std::mt19937_64& random, std::string* why) {
    folder_ = OwnersFolder(database);
    if (mkdir(folder_.c_str(), 0700) != 0 && errno != EEXIST) return Fail("make", folder_, why);
    for (int draw = 0; draw < 8; ++draw) {
      const auto token = static_cast<int64_t>(random() >> 1);
      if (token == 0) continue;
      const std::string file = OwnerFile(folder_, token);
      const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd < 0 && errno == EEXIST) continue;
      if (fd < 0) return Fail("make", file, why);
      // Another store may have found the new file unlocked, taken it for an
      // ended owner's and removed it before this lock: then draw again.
      struct stat after {};
      if (flock(fd, LOCK_EX) != 0 || fstat(fd, &after) != 0) {
        close(fd);
        unlink(file.c_str());
        return Fail("lock", file, why);
      }
      if (after.st_nlink == 0) {
        close(fd);
        continue;
      }
      fd_ = fd;
      file_ = file;
      token_ = token;
      maker_ = getpid();
      return true;
    }
    *why = "no free owner token in " + folder_;
    return false;
  }

  int64_t token() const { return token_; }
  const std::string& folder() const { return folder_; }

 private:
  static bool Fail(const char* what, const std::string& file, std::string* why) {
    *why = std::string("cannot ") + what + " " + file + ": " + std::strerror(errno);
    return false;
  }

  // The store closes: its pending objects are now an ended owner's.  A
  // process forked from the maker holds the same lock and must not remove
  // the maker's file.
  void Drop() {
    if (fd_ < 0) return;
    if (getpid() == maker_) unlink(file_.c_str());
    close(fd_);
    fd_ = -1;
  }

  std::string folder_;
  std::string file_;
  int fd_ = -1;
  int64_t token_ = 0;
  pid_t maker_ = 0;
};

// An owner that has ended, with its file held locked (no file: -1) until
// its pending objects are gone.
class EndedOwner {
 public:
  EndedOwner(int64_t token, std::string file, int fd)
      : token_(token), file_(std::move(file)), fd_(fd) {}
  EndedOwner(EndedOwner&& other) noexcept
      : token_(other.token_), file_(std::move(other.file_)), fd_(other.fd_) {
    other.fd_ = -1;
  }
  EndedOwner& operator=(EndedOwner&&) = delete;
  ~EndedOwner() {
    if (fd_ >= 0) close(fd_);
  }

  int64_t token() const { return token_; }
  // Its objects are gone: so goes its file.
  void Forget() const {
    if (fd_ >= 0) unlink(file_.c_str());
  }

 private:
  int64_t token_;
  std::string file_;
  int fd_;
};

// The owners that have ended among `tokens` (those marking objects) and the
// files in `folder`, leaving out `self`.  An owner whose state cannot be
// told (its file cannot be opened) counts as live.
inline std::vector<EndedOwner> FindEndedOwners(const std::string& folder, std::set<int64_t> tokens,
                                               int64_t self) {
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.size() != 16 || name.find_first_not_of("0123456789abcdef") != std::string::npos) {
        continue;  // not an owner's file
      }
      tokens.insert(static_cast<int64_t>(std::stoull(name, nullptr, 16)));
    }
    closedir(dir);
  }
  std::vector<EndedOwner> ended;
  for (const int64_t token : tokens) {
    if (token == self) continue;
    std::string file = OwnerFile(folder, token);
    const int fd = open(file.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
      if (errno == ENOENT) ended.emplace_back(token, std::move(file), -1);
      continue;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {  // its owner is open
      close(fd);
      continue;
    }
    ended.emplace_back(token, std::move(file), fd);
  }
  return ended;
}

}  // namespace keel::sqlite

#endif  // KEEL_SQLITE_OWNERS_H
