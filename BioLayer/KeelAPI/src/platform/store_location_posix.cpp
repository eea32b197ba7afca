// store_location_posix.cpp - the store's files on POSIX: the per-user data
// folder of the XDG base directories, private folders and files.
#ifndef _WIN32
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/store_location.h"

namespace keel {
namespace {

constexpr char kStoreFolder[] = "Halvorn";
constexpr char kStoreFile[] = "keel.db";

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

std::string Failure(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

std::optional<std::string> DefaultStorePath(std::string* why) {
  const std::string chosen = Variable(kStoreFileVariable);
  if (!chosen.empty()) return chosen;
  const std::string data_home = Variable("XDG_DATA_HOME");
  if (!data_home.empty() && data_home[0] == '/') {
    return data_home + "/" + kStoreFolder + "/" + kStoreFile;
  }
  const std::string home = HomeFolder();
  if (home.empty()) {
    *why = "no home folder is known, and neither KEELAPI_DB nor XDG_DATA_HOME is set";
    return std::nullopt;
  }
  return home + "/.local/share/" + kStoreFolder + "/" + kStoreFile;
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
  return true;
}

bool MakePrivateFile(const std::string& file, std::string* why) {
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) {
    close(fd);
    return true;
  }
  if (errno == EEXIST) return true;
  *why = Failure("cannot create the file", file);
  return false;
}

bool FileExists(const std::string& file) {
  struct stat info {};
  return stat(file.c_str(), &info) == 0;
}

}  // namespace keel
#endif
