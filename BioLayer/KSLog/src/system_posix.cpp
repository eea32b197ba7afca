// system_posix.cpp - system.h on POSIX.
#ifndef _WIN32

#include "system.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace kslog::sys {

uint32_t ProcessId() { return static_cast<uint32_t>(::getpid()); }

uint64_t ThreadId() {
#if defined(__linux__)
  return static_cast<uint64_t>(::syscall(SYS_gettid));
#else
  return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(::pthread_self()));
#endif
}

bool LocalTime(int64_t seconds, std::tm* out) {
  const time_t t = static_cast<time_t>(seconds);
  return ::localtime_r(&t, out) != nullptr;
}

std::optional<std::string> GetEnv(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

PreservedErrorState::PreservedErrorState() : errno_(errno), last_error_(0) {}

PreservedErrorState::~PreservedErrorState() { errno = errno_; }

}  // namespace kslog::sys

#endif  // !_WIN32
