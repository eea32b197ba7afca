// settings.h - KSLog's settings (KSLOG_FILE, KSLOG_LEVEL), read from the
// environment once per process and again on request.
#ifndef KSLOG_SRC_SETTINGS_H_
#define KSLOG_SRC_SETTINGS_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "destination.h"

namespace kslog {

struct Settings {
  int32_t min_level = 1;
  bool off = false;  // KSLOG_FILE=off: lines go nowhere, on purpose
  // Null when off, or when the destination could not be opened.
  std::unique_ptr<Destination> destination;
};

// KSLOG_LEVEL's value as a level: a whole 32-bit number, else the default 1.
int32_t ParseLevel(const std::optional<std::string>& value);

// The settings in force, for a line the calling thread is about to write.
// Each thread keeps the settings it last used and, line after line, only
// compares one generation number with the current one: no lock and no
// shared counter on the way of a line.  The first call of the process reads
// the environment.  The answer stays valid until the calling thread calls
// CurrentSettings or ForgetThreadSettings again.  Null once ReleaseSettings
// ran.
const Settings* CurrentSettings();

// Whether the settings in force, once read, filter out a line of `level`
// (below the minimum level, or logging off).  One atomic load: a line
// nobody wants costs no thread-local state and no lock.  False while the
// settings are not read yet or are released.
bool FilteredOut(int32_t level);

// The settings in force, held by the caller: for a line written while the
// same thread is inside another one (a sink that logs), which must not
// change the settings the outer line is using.
std::shared_ptr<const Settings> SharedSettings();

// Lets go of the settings the calling thread keeps, so that settings that
// were replaced close their destination now rather than at the thread's
// next line.
void ForgetThreadSettings();

// Finishes the destination and frees the settings, for good: the library is
// being unloaded or the process is ending.  Later lines are dropped.
void ReleaseSettings();

// The process is ending and its other threads are gone: finishes the
// destination without waiting for them (FinishAtExit).  Later lines, from
// other libraries' own exit handling, still arrive.
void FinishAtProcessExit();

// Reads the environment again; lines logged from then on use the new
// settings.  The old destination is finished at once (its file left as
// plain text) and closed once no thread keeps it; a line still on its way
// to it may be refused (Destination::Replaced) and belongs to the new one.
void ReloadSettings();

}  // namespace kslog

#endif  // KSLOG_SRC_SETTINGS_H_
