// PrivateFile.h - a file that only its owner can read, for what dmctl
// writes out of the store (store export).  The file handling has one
// implementation per platform.
#ifndef DMCTL_PRIVATE_FILE_H
#define DMCTL_PRIVATE_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace dmctl {

class PrivateFile {
 public:
  enum class Opened { kOpen, kExists, kFailed };

  PrivateFile() = default;
  // An unfinished file is removed.
  ~PrivateFile();
  PrivateFile(const PrivateFile&) = delete;
  PrivateFile& operator=(const PrivateFile&) = delete;

  // Starts writing `path`.  On POSIX the file is made with mode 0600 (and
  // left at 0600 whatever the umask); on Windows it gets its folder's
  // default ACL, the user's.  Without `replace` the file is created in
  // place, and an existing file (or link) is never touched: kExists.  With
  // `replace` the contents go to a new file beside it, which takes the old
  // one's place only at Finish.  kFailed with error() set.
  Opened Open(const std::string& path, bool replace);

  // Appends `size` bytes; false (error() set) once anything failed.
  bool Write(const char* data, size_t size);

  // Flushes and closes the file and, with `replace`, puts it in place.
  // False with error() set when this or an earlier write failed: the new
  // file is then removed, and a replaced file stays as it was.
  bool Finish();

  const std::string& error() const { return error_; }

 private:
  void Abandon();

  intptr_t handle_ = -1;  // a file descriptor, or a Windows HANDLE
  std::string path_;      // the file asked for
  std::string written_;   // the file being written: path_, or a new one beside it
  bool failed_ = false;
  std::string error_;
};

}  // namespace dmctl

#endif  // DMCTL_PRIVATE_FILE_H
