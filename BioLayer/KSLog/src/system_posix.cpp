// system_posix.cpp - system.h on POSIX.
#ifndef _WIN32

#include "system.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace kslog::sys {

namespace {

// Every line carries both ids; asking the kernel for them costs two system
// calls a line, so each thread keeps its own answer.  A forked child starts
// with the forking thread's copy, which the fork handler clears.
thread_local uint32_t t_process_id = 0;
thread_local uint64_t t_thread_id = 0;

void ForgetIdsInChild() {
  t_process_id = 0;
  t_thread_id = 0;
}

void WatchForks() {
  static const bool registered = ::pthread_atfork(nullptr, nullptr, &ForgetIdsInChild) == 0;
  (void)registered;
}

}  // namespace

uint32_t ProcessId() {
  if (t_process_id == 0) {
    WatchForks();
    t_process_id = static_cast<uint32_t>(::getpid());
  }
  return t_process_id;
}

uint64_t ThreadId() {
  if (t_thread_id == 0) {
    WatchForks();
#if defined(__linux__)
    t_thread_id = static_cast<uint64_t>(::syscall(SYS_gettid));
#else
    t_thread_id = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(::pthread_self()));
#endif
  }
  return t_thread_id;
}

int64_t MonotonicMs() {
  struct timespec now;
#if defined(CLOCK_MONOTONIC_COARSE)
  ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
#else
  ::clock_gettime(CLOCK_MONOTONIC, &now);
#endif
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void AtFork(void (*prepare)(), void (*parent)(), void (*child)()) {
  ::pthread_atfork(prepare, parent, child);
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

PreservedErrorState::PreservedErrorState() : errno_(errno) {}

PreservedErrorState::~PreservedErrorState() { errno = errno_; }

}  // namespace kslog::sys

#endif  // !_WIN32
