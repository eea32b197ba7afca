// destination.h - where written lines go: a log file (written through a
// shared mapping, mapped_destination.h, when it is a regular file), another
// file opened for appending, or standard error.  One implementation per
// platform: destination_posix.cpp and destination_windows.cpp.
#ifndef KSLOG_SRC_DESTINATION_H_
#define KSLOG_SRC_DESTINATION_H_

#include <memory>
#include <string>
#include <string_view>

namespace kslog {

class Destination {
 public:
  virtual ~Destination() = default;

  // Appends `line` (which ends in '\n').  Safe to call from many threads at
  // once: every line arrives whole, never mixed with another.  Answers true
  // when every byte was written.
  virtual bool Append(std::string_view line) = 0;

  // The destination is being replaced (by another one when `replaced`, else
  // by nothing): leaves the file as plain text ending with the last line.
  // Lines appended later still arrive, more slowly; or, when `replaced`,
  // may be refused (Replaced) so that they go to the destination that
  // replaced this one.
  virtual void Finish(bool replaced) { (void)replaced; }

  // Whether a line Append refused belongs to the destination that replaced
  // this one.
  virtual bool Replaced() { return false; }

  // Finish, as the process ends with its other threads already gone
  // (Windows ends them before a DLL hears of the exit): waits for nothing
  // they may have left half done, and does nothing when they left a lock
  // held.
  virtual void FinishAtExit() {}
};

// Opens the file at `path` (UTF-8) for appending, creating it (readable by
// its user only) when missing: a mapped destination for a regular file that
// can be read and written, else plain appends.  Answers null when it cannot
// be opened.
std::unique_ptr<Destination> OpenFileDestination(const std::string& path);

// The process's standard error, wherever it points when a line is written.
// May answer null when the process has none; its lines are then dropped.
std::unique_ptr<Destination> OpenStandardError();

// The per-user default log file that KSLog.h describes, as UTF-8, after
// creating its folder when missing.  Empty when the user has no such place.
std::string DefaultLogFilePath();

#ifdef _WIN32
// A UTF-8 path as Windows' wide calls take it.
std::wstring WidePath(const std::string& utf8);
#endif

}  // namespace kslog

#endif  // KSLOG_SRC_DESTINATION_H_
