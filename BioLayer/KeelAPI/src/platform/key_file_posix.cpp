// key_file_posix.cpp - the key file on POSIX.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ks/wipe.h"
#include "platform/key_file.h"
#include "platform/store_location.h"

namespace keel {
namespace {

std::string Failure(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// Writes all of `data`, resuming after interruptions and short writes.
bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Flushes the folder holding `path`, so that a new name in it survives a
// power cut.
void SyncFolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

KeyFileStatus ReadKeyFile(const std::string& path, uint8_t* key, size_t size, std::string* why) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return KeyFileStatus::kMissing;
    *why = Failure("cannot open the key file", path);
    return KeyFileStatus::kFailed;
  }
  if (!KeepPrivate(path, fd, false, why)) {  // repaired, or refused, before a byte is read
    close(fd);
    return KeyFileStatus::kFailed;
  }
  // One byte more than expected tells a longer file from a whole key.
  uint8_t buffer[257];
  size_t got = 0;
  while (got < sizeof buffer) {
    const ssize_t n = read(fd, buffer + got, sizeof buffer - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *why = Failure("cannot read the key file", path);
      close(fd);
      return KeyFileStatus::kFailed;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  const bool whole = got == size && size < sizeof buffer;
  if (whole) std::memcpy(key, buffer, size);
  ks::Wipe(buffer, sizeof buffer);
  if (!whole) {
    *why = "the key file " + path + " holds " + std::to_string(got) + " bytes, not " +
           std::to_string(size);
    return KeyFileStatus::kFailed;
  }
  return KeyFileStatus::kDone;
}

KeyFileStatus CreateKeyFile(const std::string& path, const uint8_t* key, size_t size,
                            std::string* why) {
  const std::string draft = path + ".new-" + std::to_string(getpid());
  unlink(draft.c_str());  // a draft left by a crashed process of the same id
  const int fd = open(draft.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    *why = Failure("cannot create the key file", draft);
    return KeyFileStatus::kFailed;
  }
  const bool written = WriteAll(fd, key, size) && fsync(fd) == 0;
  close(fd);
  if (!written) {
    *why = Failure("cannot write the key file", draft);
    unlink(draft.c_str());
    return KeyFileStatus::kFailed;
  }
  // link() fails when the name exists: the first process to link wins.
  const int linked = link(draft.c_str(), path.c_str());
  const int link_error = errno;
  unlink(draft.c_str());
  if (linked == 0) {
    SyncFolderOf(path);
    return KeyFileStatus::kDone;
  }
  if (link_error == EEXIST) return KeyFileStatus::kExists;
  errno = link_error;
  *why = Failure("cannot put the key file in place at", path);
  return KeyFileStatus::kFailed;
}

}  // namespace keel
#endif
