// store_location.h - where the persistent store keeps its files, and how
// they are created and kept so that only their owner can read them.
//
// Described below for POSIX, where "private" means modes 0600 and 0700.  On
// Windows (store_location_windows.cpp) the data folder is the user's local
// application data folder (%LOCALAPPDATA%\Halvorn\keel.db), and a private
// file or folder is one whose protected access list lets the user alone in
// (the system account and the administrators aside); `fd` is not used.
#ifndef KEEL_PLATFORM_STORE_LOCATION_H
#define KEEL_PLATFORM_STORE_LOCATION_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace keel {

// The environment variable that names the store's database file.
inline constexpr char kStoreFileVariable[] = "KEELAPI_DB";

// The database file the store uses when no test chose another, in this
// order: the file named by KEELAPI_DB when it is set and not empty;
// $XDG_DATA_HOME/Halvorn/keel.db when XDG_DATA_HOME is set and not empty;
// $HOME/.local/share/Halvorn/keel.db; the same under the home folder of the
// user's account.  Reads the environment on every call and creates nothing.
// Nothing (with *why set) when no home folder is known, and when
// XDG_DATA_HOME or the home folder is a relative path: the store would
// then move with the working folder.
std::optional<std::string> DefaultStorePath(std::string* why);

// Makes sure the folder holding `file` exists, creating each missing folder
// on the way with mode 0700.  Existing folders are left as they are, except
// the store's own folder (Halvorn in the data folder, whatever file of it
// is opened), which is kept private as KeepPrivate says.  A folder named
// through KEELAPI_DB or a test's path is its chooser's and is not changed.
// False with *why when a folder cannot be created or kept private.
bool MakePrivateFolderFor(const std::string& file, std::string* why);

// Creates `file`, empty and with mode 0600, when it does not exist.  An
// existing file, and the files SQLite keeps beside it (-wal, -shm) when
// they exist, are kept private as KeepPrivate says.  False with *why on
// failure.
bool MakePrivateFile(const std::string& file, std::string* why);

// Keeps one of the store's own files (mode 0600) or folders (0700) private
// when it lets the group or others in: one the user owns is repaired to
// that mode, and the repair is recorded (Repairs); one of another user is
// refused.  `fd` is the file's open descriptor, or -1 to go by `path`.
// False with *why when refused or when the mode cannot be changed.
bool KeepPrivate(const std::string& path, int fd, bool folder, std::string* why);

// The repairs KeepPrivate made in this process, oldest first (the last 16),
// each naming the path and its modes before and after.
std::vector<std::string> Repairs();

// Records one repair for Repairs.
void RecordRepair(std::string repair);

// How many repairs were recorded so far; ForgetRepairsBefore(mark) then
// drops those from Repairs and keeps the ones recorded since.  A store
// started afresh reports only the repairs of its own files.
uint64_t RepairsMark();
void ForgetRepairsBefore(uint64_t mark);

// Whether `file` exists (as anything).
bool FileExists(const std::string& file);

}  // namespace keel

#endif  // KEEL_PLATFORM_STORE_LOCATION_H
