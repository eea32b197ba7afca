// store_location_posix.cpp - the store's files on POSIX: the per-user data
// folder of the XDG base directories, private folders and files.
#ifndef _WIN32
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/store_location.h"

namespace keel {
namespace {

constexpr char kStoreFolder[] = "Halvorn";
constexpr char kStoreFile[] = "keel.db";

// Permissions for anyone but the owner.
constexpr mode_t kOthersBits = S_IRWXG | S_IRWXO;

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The home folder: $HOME, else the account's entry in the user database.
std::string HomeFolder() {
  std::string home = Variable("HOME");
  if (!home.empty()) return home;
  char buffer[4096];
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr) {
    home = found->pw_dir;
  }
  return home;
}

// The store's own folder, Halvorn in the per-user data folder (KEELAPI_DB
// aside), or nothing with *why.
std::optional<std::string> StoreFolder(std::string* why) {
  const std::string data_home = Variable("XDG_DATA_HOME");
  if (!data_home.empty()) {
    if (data_home[0] != '/') {
      *why = "XDG_DATA_HOME is a relative path (" + data_home +
             "): the store needs an absolute data folder";
      return std::nullopt;
    }
    return data_home + "/" + kStoreFolder;
  }
  const std::string home = HomeFolder();
  if (home.empty()) {
    *why = "no home folder is known, and neither KEELAPI_DB nor XDG_DATA_HOME is set";
    return std::nullopt;
  }
  if (home[0] != '/') {
    *why = "the home folder is a relative path (HOME=" + home +
           "): the store needs an absolute home folder";
    return std::nullopt;
  }
  return home + "/.local/share/" + kStoreFolder;
}

std::string Failure(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

std::string Octal(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

}  // namespace

std::optional<std::string> DefaultStorePath(std::string* why) {
  const std::string chosen = Variable(kStoreFileVariable);
  if (!chosen.empty()) return chosen;
  const std::optional<std::string> folder = StoreFolder(why);
  if (!folder) return std::nullopt;
  return *folder + "/" + kStoreFile;
}

bool MakePrivateFolderFor(const std::string& file, std::string* why) {
  const size_t slash = file.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return true;  // the working folder, or "/"
  // Every prefix that ends just before a slash, shortest first.
  for (size_t end = file.find('/', 1); end != std::string::npos && end <= slash;
       end = file.find('/', end + 1)) {
    const std::string folder = file.substr(0, end);
    if (mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) continue;
    *why = Failure("cannot create the folder", folder);
    return false;
  }
  std::string ignored;
  const std::optional<std::string> own = StoreFolder(&ignored);
  if (own && file.compare(0, slash, *own) == 0 && own->size() == slash) {
    return KeepPrivate(*own, -1, true, why);
  }
  return true;
}

bool MakePrivateFile(const std::string& file, std::string* why) {
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) {
    close(fd);
    return true;
  }
  if (errno != EEXIST) {
    *why = Failure("cannot create the file", file);
    return false;
  }
  for (const char* suffix : {"", "-wal", "-shm"}) {
    const std::string path = file + suffix;
    if ((*suffix == '\0' || FileExists(path)) && !KeepPrivate(path, -1, false, why)) return false;
  }
  return true;
}

bool KeepPrivate(const std::string& path, int fd, bool folder, std::string* why) {
  struct stat info {};
  if ((fd >= 0 ? fstat(fd, &info) : stat(path.c_str(), &info)) != 0) {
    *why = Failure("cannot look at", path);
    return false;
  }
  if ((info.st_mode & kOthersBits) == 0) return true;
  const char* what = folder ? "the folder " : "the file ";
  if (info.st_uid != geteuid()) {
    *why = what + path + " lets other users in (mode " + Octal(info.st_mode) +
           ") and belongs to another user (" + std::to_string(info.st_uid) + ")";
    return false;
  }
  const mode_t mode = folder ? 0700 : 0600;
  if ((fd >= 0 ? fchmod(fd, mode) : chmod(path.c_str(), mode)) != 0) {
    *why = Failure("cannot make private", path);
    return false;
  }
  RecordRepair(what + path + " let other users in (mode " + Octal(info.st_mode) + "): now " +
         Octal(mode));
  return true;
}

bool FileExists(const std::string& file) {
  struct stat info {};
  return stat(file.c_str(), &info) == 0;
}

}  // namespace keel
#endif
