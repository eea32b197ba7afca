// locked_file.h - files held under an exclusive lock that the system lets
// go of when the process ends, however it ends: what tells the store's
// owners that are still open from those that ended (owners.h).
#ifndef KEEL_PLATFORM_LOCKED_FILE_H
#define KEEL_PLATFORM_LOCKED_FILE_H

#include <cstdint>
#include <string>
#include <vector>

namespace keel {

// An open file: a descriptor on POSIX, a HANDLE on Windows.
using FileHandle = intptr_t;
inline constexpr FileHandle kNoFile = -1;

enum class LockStatus {
  kLocked,   // the file is open and locked by this process
  kExists,   // (create) the name is taken
  kMissing,  // (lock) there is no such file
  kBusy,     // (lock) another open file holds the lock
  kGone,     // (create) another process removed the new file before it was locked
  kFailed,   // anything else; *why says what
};

// Creates `path` (private to the user) and locks it, waiting while another
// process holds its lock for a moment.
LockStatus CreateLocked(const std::string& path, FileHandle* file, std::string* why);

// Opens the existing `path` and locks it without waiting.
LockStatus TryLockExisting(const std::string& path, FileHandle* file);

// Closes a file, letting go of its lock.
void CloseFile(FileHandle file);

// Removes `path`, when the system allows; quietly otherwise.
void RemoveFile(const std::string& path);

// Creates the folder `path`, private to the user; true when it exists.
bool MakeFolder(const std::string& path, std::string* why);

// The names of the entries of the folder `path` (none when unreadable).
std::vector<std::string> FolderEntries(const std::string& path);

// This process's id.
int64_t ThisProcess();

}  // namespace keel

#endif  // KEEL_PLATFORM_LOCKED_FILE_H
