// system.h - the few facts about the running process that KSLog asks the
// platform for.  One implementation per platform: system_posix.cpp and
// system_windows.cpp.
#ifndef KSLOG_SRC_SYSTEM_H_
#define KSLOG_SRC_SYSTEM_H_

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace kslog::sys {

uint32_t ProcessId();

// The calling thread's id as the platform's tools show it (the kernel's
// thread id on Linux).
uint64_t ThreadId();

// Breaks `seconds` since the Unix epoch into local calendar time.  Answers
// false, leaving *out unspecified, when the platform cannot.
bool LocalTime(int64_t seconds, std::tm* out);

// Milliseconds from an unspecified start, never going back; cheap enough to
// ask at every line, precise to a few milliseconds.
int64_t MonotonicMs();

// Has `child` run in the child process after a fork, with `prepare` run
// before it (in the parent) and `parent` after it.  Nothing where the
// platform cannot fork.
void AtFork(void (*prepare)(), void (*parent)(), void (*child)());

// The environment variable `name` as UTF-8, or nullopt when it is unset.
std::optional<std::string> GetEnv(const char* name);

// Saves errno (and, on Windows, the thread's last-error code) and puts them
// back when it goes out of scope, so that logging never disturbs a caller
// that logs between a failing call and looking at its error.
class PreservedErrorState {
 public:
  PreservedErrorState();
  ~PreservedErrorState();
  PreservedErrorState(const PreservedErrorState&) = delete;
  PreservedErrorState& operator=(const PreservedErrorState&) = delete;

 private:
  int errno_;
#ifdef _WIN32
  uint32_t last_error_;
#endif
};

}  // namespace kslog::sys

#endif  // KSLOG_SRC_SYSTEM_H_
