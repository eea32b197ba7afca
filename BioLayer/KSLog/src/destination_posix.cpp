// destination_posix.cpp - destination.h on POSIX: regular files through a
// shared mapping, anything else (a FIFO, a terminal, standard error) with
// O_APPEND writes.
#ifndef _WIN32

#include "destination.h"
#include "mapped_destination.h"
#include "mapped_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace kslog {
namespace {

class FdDestination final : public Destination {
 public:
  FdDestination(int fd, bool owned) : fd_(fd), owned_(owned) {}
  ~FdDestination() override {
    if (owned_) ::close(fd_);
  }
  FdDestination(const FdDestination&) = delete;
  FdDestination& operator=(const FdDestination&) = delete;

  bool Append(std::string_view line) override {
    // A regular file opened with O_APPEND takes the whole buffer in one
    // write; the loop only matters for a signal or a pipe that takes part
    // of it, where finishing the line beats leaving it cut.
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
      const ssize_t n = ::write(fd_, p, left);
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      p += n;
      left -= static_cast<size_t>(n);
    }
    return true;
  }

 private:
  int fd_;
  bool owned_;
};

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

// The user's home folder: $HOME, else the password database.
std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (IsAbsolute(home)) return home;
  std::vector<char> buffer(16384);
  struct passwd entry;
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && IsAbsolute(found->pw_dir)) {
    return found->pw_dir;
  }
  return {};
}

// Creates `path` and its missing parents, each for its user only.  Errors
// are not reported: opening the file inside says all that matters.
void MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    ::mkdir(path.substr(0, slash).c_str(), 0700);
  }
  ::mkdir(path.c_str(), 0700);
}

}  // namespace

std::unique_ptr<Destination> OpenFileDestination(const std::string& path) {
  if (path.empty()) return nullptr;
  if (std::unique_ptr<MappedFile> file = MappedFile::Open(path)) {
    return MakeMappedDestination(path, std::move(file));
  }
  // 0600: the log of a sign-in suite is nobody else's business.  O_NONBLOCK
  // changes nothing for a regular file, but keeps a FIFO without a reader
  // (or a full one) from holding up the caller: its lines are dropped.
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
  if (fd < 0) return nullptr;
  return std::make_unique<FdDestination>(fd, true);
}

std::unique_ptr<Destination> OpenStandardError() {
  if (::fcntl(STDERR_FILENO, F_GETFD) < 0) return nullptr;
  return std::make_unique<FdDestination>(STDERR_FILENO, false);
}

std::string DefaultLogFilePath() {
  // A relative XDG_STATE_HOME is invalid and must be ignored.
  const char* state = std::getenv("XDG_STATE_HOME");
  std::string base;
  if (IsAbsolute(state)) {
    base = state;
  } else {
    const std::string home = HomeFolder();
    if (home.empty()) return {};
    base = home + "/.local/state";
  }
  const std::string folder = base + "/Halvorn";
  MakeFolders(folder);
  return folder + "/KSLog.log";
}

}  // namespace kslog

#endif  // !_WIN32
