// scoped_env.h - an environment variable set (or unset) for a test's
// while, and put back as it was.
#ifndef TESTS_COMMON_SCOPED_ENV_H
#define TESTS_COMMON_SCOPED_ENV_H

#include <cstdlib>
#include <optional>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace testenv {

// Sets (or, with nullopt, unsets) an environment variable for its lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    Set(value);
  }
  ~ScopedEnv() { Set(saved_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Set(const std::optional<std::string>& value) {
#ifdef _WIN32
    // The C runtime's copy first; "" unsets it there, so an empty value is
    // then set on the process environment, which is what KSLog reads.
    _putenv_s(name_.c_str(), value ? value->c_str() : "");
    SetEnvironmentVariableA(name_.c_str(), value ? value->c_str() : nullptr);
#else
    if (value) {
      setenv(name_.c_str(), value->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
#endif
  }
  std::string name_;
  std::optional<std::string> saved_;
};

}  // namespace testenv

#endif  // TESTS_COMMON_SCOPED_ENV_H
