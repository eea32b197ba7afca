// locked_file_windows.cpp - locked files through LockFileEx, which the
// system drops when the file's last handle closes, and that with the
// process, however it ends.  The owner opens its file without sharing
// deletion, so no other process can remove it while it is open.
#ifdef _WIN32
#include "platform/locked_file.h"
#include "platform/windows_files.h"

namespace keel {
namespace {

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

// Locks the whole file (its first byte stands for it), waiting or not.
bool Lock(HANDLE file, bool wait) {
  OVERLAPPED at{};
  const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
  return LockFileEx(file, flags, 0, 1, 0, &at) != FALSE;
}

}  // namespace

LockStatus CreateLocked(const std::string& path, FileHandle* file, std::string* why) {
  windows::PrivateSecurity security;
  if (security.attributes() == nullptr) {
    *why = windows::Failure("cannot make a private security descriptor for", path);
    return LockStatus::kFailed;
  }
  const HANDLE handle =
      CreateFileW(windows::Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, security.attributes(), CREATE_NEW,
                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_FILE_EXISTS) return LockStatus::kExists;
    *why = windows::Failure("cannot make", path);
    return LockStatus::kFailed;
  }
  // Another store may hold the new file's lock for a moment, having taken
  // it for an ended owner's; it cannot remove it, and lets go.
  if (!Lock(handle, true)) {
    *why = windows::Failure("cannot lock", path);
    CloseHandle(handle);
    DeleteFileW(windows::Wide(path).c_str());
    return LockStatus::kFailed;
  }
  *file = reinterpret_cast<FileHandle>(handle);
  return LockStatus::kLocked;
}

LockStatus TryLockExisting(const std::string& path, FileHandle* file) {
  const HANDLE handle = CreateFileW(windows::Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? LockStatus::kMissing
                                                                          : LockStatus::kFailed;
  }
  if (!Lock(handle, false)) {
    CloseHandle(handle);
    return LockStatus::kBusy;
  }
  *file = reinterpret_cast<FileHandle>(handle);
  return LockStatus::kLocked;
}

void CloseFile(FileHandle file) {
  if (file != kNoFile) CloseHandle(AsHandle(file));
}

void RemoveFile(const std::string& path) { DeleteFileW(windows::Wide(path).c_str()); }

bool MakeFolder(const std::string& path, std::string* why) {
  windows::PrivateSecurity security;
  if (security.attributes() == nullptr) {
    *why = windows::Failure("cannot make a private security descriptor for", path);
    return false;
  }
  if (CreateDirectoryW(windows::Wide(path).c_str(), security.attributes()) ||
      GetLastError() == ERROR_ALREADY_EXISTS) {
    return true;
  }
  *why = windows::Failure("cannot make", path);
  return false;
}

std::vector<std::string> FolderEntries(const std::string& path) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(windows::Wide(path + "/*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(windows::Narrow(found.cFileName));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

int64_t ThisProcess() { return GetCurrentProcessId(); }

}  // namespace keel
#endif
