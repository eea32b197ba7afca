// owners.h - which open stores use a database, told by the kernel's file
// locks, so that the pending objects of a store that ended can be removed.
//
// Each open store takes a random 63-bit token, marks its pending objects
// with it (objects.owner), and holds an exclusive lock on a file named
// after it in the folder `<database>.owners` for as long as it is open
// (platform/locked_file.h).  The system lets go of the lock when the process ends, however it
// ends, so a lock that another store can take means that its owner has
// ended.  A missing file means so too: an owner makes and locks its file
// before it marks any object, and a file is removed only by its owner when
// it closes or by a store that holds its lock.  Tokens, unlike process ids,
// are never reused by the system.
#ifndef KEEL_SQLITE_OWNERS_H
#define KEEL_SQLITE_OWNERS_H

#include <cinttypes>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/locked_file.h"

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
  // makes the folder when missing, and the token's file, both private to
  // the user, locked.  False with *why.
  bool Take(const std::string& database, std::mt19937_64& random, std::string* why) {
    folder_ = OwnersFolder(database);
    if (!MakeFolder(folder_, why)) return false;
    for (int draw = 0; draw < 8; ++draw) {
      const auto token = static_cast<int64_t>(random() >> 1);
      if (token == 0) continue;
      const std::string file = OwnerFile(folder_, token);
      FileHandle handle = kNoFile;
      const LockStatus status = CreateLocked(file, &handle, why);
      if (status == LockStatus::kExists || status == LockStatus::kGone) continue;
      if (status != LockStatus::kLocked) return false;
      file_handle_ = handle;
      file_ = file;
      token_ = token;
      maker_ = ThisProcess();
      return true;
    }
    *why = "no free owner token in " + folder_;
    return false;
  }

  int64_t token() const { return token_; }
  const std::string& folder() const { return folder_; }

 private:
  // The store closes: its pending objects are now an ended owner's.  A
  // process forked from the maker holds the same lock and must not remove
  // the maker's file.
  void Drop() {
    if (file_handle_ == kNoFile) return;
    const bool maker = ThisProcess() == maker_;
    CloseFile(file_handle_);
    if (maker) RemoveFile(file_);
    file_handle_ = kNoFile;
  }

  std::string folder_;
  std::string file_;
  FileHandle file_handle_ = kNoFile;
  int64_t token_ = 0;
  int64_t maker_ = 0;
};

// An owner that has ended, with its file held locked (no file: -1) until
// its pending objects are gone.
class EndedOwner {
 public:
  EndedOwner(int64_t token, std::string file, FileHandle handle)
      : token_(token), file_(std::move(file)), handle_(handle) {}
  EndedOwner(EndedOwner&& other) noexcept
      : token_(other.token_), file_(std::move(other.file_)), handle_(other.handle_) {
    other.handle_ = kNoFile;
  }
  EndedOwner& operator=(EndedOwner&&) = delete;
  ~EndedOwner() { CloseFile(handle_); }

  int64_t token() const { return token_; }
  // Its objects are gone: so goes its file.
  void Forget() const {
    if (handle_ != kNoFile) RemoveFile(file_);
  }

 private:
  int64_t token_;
  std::string file_;
  FileHandle handle_;
};

// The owners that have ended among `tokens` (those marking objects) and the
// files in `folder`, leaving out `self`.  An owner whose state cannot be
// told (its file cannot be opened) counts as live.
inline std::vector<EndedOwner> FindEndedOwners(const std::string& folder, std::set<int64_t> tokens,
                                               int64_t self) {
  for (const std::string& name : FolderEntries(folder)) {
    if (name.size() != 16 || name.find_first_not_of("0123456789abcdef") != std::string::npos) {
      continue;  // not an owner's file
    }
    tokens.insert(static_cast<int64_t>(std::stoull(name, nullptr, 16)));
  }
  std::vector<EndedOwner> ended;
  for (const int64_t token : tokens) {
    if (token == self) continue;
    std::string file = OwnerFile(folder, token);
    FileHandle handle = kNoFile;
    const LockStatus status = TryLockExisting(file, &handle);
    if (status == LockStatus::kMissing || status == LockStatus::kLocked) {
      ended.emplace_back(token, std::move(file), handle);
    }
  }
  return ended;
}

}  // namespace keel::sqlite

#endif  // KEEL_SQLITE_OWNERS_H
