// A file only its owner can read, on POSIX: created with O_EXCL at mode
// 0600; a replacement is written beside the old file and renamed over it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "PrivateFile.h"

namespace dmctl {
namespace {

std::string Failure(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

PrivateFile::~PrivateFile() { Abandon(); }

PrivateFile::Opened PrivateFile::Open(const std::string& path, bool replace) {
  path_ = path;
  written_ = replace ? path + ".new-" + std::to_string(getpid()) : path;
  if (replace) unlink(written_.c_str());  // left by a crashed run of the same id
  const int fd = open(written_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    const bool exists = errno == EEXIST && !replace;
    error_ = exists ? path + " exists" : Failure("cannot create", written_);
    written_.clear();
    return exists ? Opened::kExists : Opened::kFailed;
  }
  handle_ = fd;
  // The umask may only take bits away; 0600 it is, whatever it did.
  if (fchmod(fd, 0600) != 0) {
    error_ = Failure("cannot make private", written_);
    Abandon();
    return Opened::kFailed;
  }
  return Opened::kOpen;
}

bool PrivateFile::Write(const char* data, size_t size) {
  while (!failed_ && size > 0) {
    const ssize_t n = write(static_cast<int>(handle_), data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = Failure("cannot write", written_);
      failed_ = true;
      break;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return !failed_;
}

bool PrivateFile::Finish() {
  if (handle_ < 0) return false;
  if (!failed_ && fsync(static_cast<int>(handle_)) != 0) {
    error_ = Failure("cannot write", written_);
    failed_ = true;
  }
  const int closed = close(static_cast<int>(handle_));
  handle_ = -1;
  if (!failed_ && closed != 0) {
    error_ = Failure("cannot write", written_);
    failed_ = true;
  }
  if (!failed_ && written_ != path_ && rename(written_.c_str(), path_.c_str()) != 0) {
    error_ = Failure("cannot put in place", path_);
    failed_ = true;
  }
  if (failed_) {
    unlink(written_.c_str());
  }
  written_.clear();
  return !failed_;
}

void PrivateFile::Abandon() {
  if (handle_ >= 0) {
    close(static_cast<int>(handle_));
    handle_ = -1;
    unlink(written_.c_str());
  }
  written_.clear();
}

}  // namespace dmctl
