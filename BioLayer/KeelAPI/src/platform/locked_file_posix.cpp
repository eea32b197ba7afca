// locked_file_posix.cpp - locked files through flock, which the kernel
// drops with the last descriptor of the file.
#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/locked_file.h"

namespace keel {
namespace {

std::string Failure(const char* what, const std::string& path) {
  return std::string("cannot ") + what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

LockStatus CreateLocked(const std::string& path, FileHandle* file, std::string* why) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0 && errno == EEXIST) return LockStatus::kExists;
  if (fd < 0) {
    *why = Failure("make", path);
    return LockStatus::kFailed;
  }
  // Another process may have found the new file unlocked and removed it
  // before this lock: then the locked file has no name left.
  struct stat after {};
  if (flock(fd, LOCK_EX) != 0 || fstat(fd, &after) != 0) {
    *why = Failure("lock", path);
    close(fd);
    unlink(path.c_str());
    return LockStatus::kFailed;
  }
  if (after.st_nlink == 0) {
    close(fd);
    return LockStatus::kGone;
  }
  *file = fd;
  return LockStatus::kLocked;
}

LockStatus TryLockExisting(const std::string& path, FileHandle* file) {
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? LockStatus::kMissing : LockStatus::kFailed;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return LockStatus::kBusy;
  }
  *file = fd;
  return LockStatus::kLocked;
}

void CloseFile(FileHandle file) {
  if (file != kNoFile) close(static_cast<int>(file));
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

bool MakeFolder(const std::string& path, std::string* why) {
  if (mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) return true;
  *why = Failure("make", path);
  return false;
}

std::vector<std::string> FolderEntries(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(path.c_str())) {
    while (const dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
    closedir(dir);
  }
  return names;
}

int64_t ThisProcess() { return getpid(); }

}  // namespace keel
#endif
