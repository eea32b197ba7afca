// windows_files.h - what the store's Windows files share: paths as the
// system's wide text, its error messages, and the security descriptor that
// keeps a file or folder to the user alone (the Windows form of modes 0600
// and 0700).
#ifndef KEEL_PLATFORM_WINDOWS_FILES_H
#define KEEL_PLATFORM_WINDOWS_FILES_H
#ifdef _WIN32

#include <windows.h>

#include <string>

namespace keel::windows {

// A UTF-8 path as the system's UTF-16 (empty when it is not valid UTF-8).
std::wstring Wide(const std::string& path);

// UTF-16 text as UTF-8.
std::string Narrow(const std::wstring& text);

// "<what> <path>: <the system's message for the last error>".
std::string Failure(const std::string& what, const std::string& path);

// The user this process runs as, as a SID string ("S-1-5-21-..."), or
// empty when the process token cannot be read.
std::wstring UserSid();

// A security descriptor whose protected access list lets the user alone in,
// with full control, inherited by what a folder holds.  Freed when it goes.
class PrivateSecurity {
 public:
  PrivateSecurity();
  ~PrivateSecurity();
  PrivateSecurity(const PrivateSecurity&) = delete;
  PrivateSecurity& operator=(const PrivateSecurity&) = delete;

  // For CreateFileW and CreateDirectoryW; null when it could not be made,
  // and then the caller fails rather than create a file others can read.
  SECURITY_ATTRIBUTES* attributes() { return descriptor_ != nullptr ? &attributes_ : nullptr; }
  PACL access_list() const;

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace keel::windows

#endif
#endif  // KEEL_PLATFORM_WINDOWS_FILES_H
