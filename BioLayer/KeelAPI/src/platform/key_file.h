// key_file.h - the file that keeps a store's secret key beside its
// database: read whole, or created whole, private, and never replaced.
#ifndef KEEL_PLATFORM_KEY_FILE_H
#define KEEL_PLATFORM_KEY_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace keel {

enum class KeyFileStatus {
  kDone,     // read, or created
  kMissing,  // (read) there is no such file
  kExists,   // (create) the file already exists: another process was first
  kFailed,   // anything else; *why says what
};

// Reads the key file at `path`, which must hold exactly `size` bytes, into
// key.  A key file that lets the group or others in is repaired or refused
// first, as KeepPrivate (store_location.h) says.  kDone, kMissing, or
// kFailed (unreadable, refused, or of another size) with *why set; `key` is
// written only on kDone.
KeyFileStatus ReadKeyFile(const std::string& path, uint8_t* key, size_t size, std::string* why);

// Creates the key file at `path` holding `size` bytes of `key`, mode 0600.
// The file appears whole or not at all (it is written and flushed under
// another name, then linked into place), and an existing file is never
// replaced: then kExists, and the caller reads that one.  kFailed with *why.
KeyFileStatus CreateKeyFile(const std::string& path, const uint8_t* key, size_t size,
                            std::string* why);

}  // namespace keel

#endif  // KEEL_PLATFORM_KEY_FILE_H
