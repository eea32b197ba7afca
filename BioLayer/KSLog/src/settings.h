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

// The settings in force.  The first call of the process reads the
// environment; later calls answer what it read until ReloadSettings.  The
// answer stays valid (and its destination open) for as long as it is held.
// Null once ReleaseSettings ran.
std::shared_ptr<const Settings> CurrentSettings();

// Closes the destination and frees the settings, for good: the library is
// being unloaded or the process is ending.  Later lines are dropped.
void ReleaseSettings();

// Reads the environment again; CurrentSettings answers the new settings
// from then on.
void ReloadSettings();

}  // namespace kslog

#endif  // KSLOG_SRC_SETTINGS_H_
