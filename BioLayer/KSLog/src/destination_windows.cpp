// destination_windows.cpp - destination.h on Windows: disk files through a
// file-mapping view (mapped_file_windows.cpp), anything else with handles
// opened with FILE_APPEND_DATA only, so that every WriteFile lands whole at
// the end.
#ifdef _WIN32

#include "destination.h"

#include <windows.h>

#include <mutex>
#include <optional>

#include "ks/utf.h"
#include "mapped_destination.h"
#include "mapped_file.h"
#include "system.h"

namespace kslog {
namespace {

// Writes all of `bytes` to `handle`.  A file opened for appending takes the
// whole buffer in one WriteFile; the loop only matters for a pipe or console
// that takes part of it.
bool WriteAll(HANDLE handle, std::string_view bytes) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    const DWORD chunk = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteFile(handle, p, chunk, &written, nullptr) || written == 0) return false;
    p += written;
    left -= written;
  }
  return true;
}

// Windows already keeps each append whole; this lock makes that hold for
// every line of this process also where append mode is only emulated (as
// "seek to the end, then write"), across all our handles: a reconfiguration
// briefly has two open on the same file.  Never freed, like the settings.
std::mutex& WriteLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

class FileDestination final : public Destination {
 public:
  explicit FileDestination(HANDLE handle) : handle_(handle) {}
  ~FileDestination() override { CloseHandle(handle_); }
  FileDestination(const FileDestination&) = delete;
  FileDestination& operator=(const FileDestination&) = delete;

  bool Append(std::string_view line) override {
    std::lock_guard<std::mutex> lock(WriteLock());
    return WriteAll(handle_, line);
  }

 private:
  HANDLE handle_;
};

// Asks for the handle at every line: a program (or the C runtime's _dup2)
// may point standard error elsewhere after KSLog read its settings, and the
// handle we would have kept is then closed.
class StandardErrorDestination final : public Destination {
 public:
  bool Append(std::string_view line) override {
    std::lock_guard<std::mutex> lock(WriteLock());
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    return WriteAll(handle, line);
  }
};

}  // namespace

std::wstring WidePath(const std::string& utf8) {
  std::wstring wide;
  ks::text::Utf8ToUtf16<wchar_t>(utf8, &wide);  // came from UTF-16: always valid
  return wide;
}

std::unique_ptr<Destination> OpenFileDestination(const std::string& path) {
  if (std::unique_ptr<MappedFile> file = MappedFile::Open(path)) {
    return MakeMappedDestination(path, std::move(file));
  }
  const std::wstring wide = WidePath(path);
  if (wide.empty()) return nullptr;
  const HANDLE handle =
      CreateFileW(wide.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<FileDestination>(handle);
}

std::unique_ptr<Destination> OpenStandardError() {
  return std::make_unique<StandardErrorDestination>();
}

std::string DefaultLogFilePath() {
  const std::optional<std::string> base = sys::GetEnv("LOCALAPPDATA");
  if (!base || base->empty()) return {};
  const std::string folder = *base + "\\Halvorn";
  CreateDirectoryW(WidePath(folder).c_str(), nullptr);  // opening the file tells if it worked
  return folder + "\\KSLog.log";
}

}  // namespace kslog

#endif  // _WIN32
