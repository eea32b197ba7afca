// store_location.h - where the persistent store keeps its files, and how
// they are created so that only their owner can read them.
#ifndef KEEL_PLATFORM_STORE_LOCATION_H
#define KEEL_PLATFORM_STORE_LOCATION_H

#include <optional>
#include <string>

namespace keel {

// The environment variable that names the store's database file.
inline constexpr char kStoreFileVariable[] = "KEELAPI_DB";

// The database file the store uses when no test chose another, in this
// order: the file named by KEELAPI_DB when it is set and not empty;
// $XDG_DATA_HOME/Halvorn/keel.db when XDG_DATA_HOME is an absolute path;
// $HOME/.local/share/Halvorn/keel.db; the same under the home folder of the
// user's account.  Reads the environment on every call and creates nothing.
// Nothing (with *why set) when no home folder is known.
std::optional<std::string> DefaultStorePath(std::string* why);

// Makes sure the folder holding `file` exists, creating each missing folder
// on the way with mode 0700.  Existing folders are left as they are.  False
// with *why when a folder cannot be created.
bool MakePrivateFolderFor(const std::string& file, std::string* why);

// Creates `file`, empty and with mode 0600, when it does not exist; an
// existing file is left untouched.  False with *why on failure.
bool MakePrivateFile(const std::string& file, std::string* why);

// Whether `file` exists (as anything).
bool FileExists(const std::string& file);

}  // namespace keel

#endif  // KEEL_PLATFORM_STORE_LOCATION_H
