// A file only its owner can read, on Windows: a new file takes its folder's
// default ACL (the user's, under the user's profile); a replacement is
// written beside the old file and moved over it.
#include <windows.h>

#include "PrivateFile.h"
#include "ks/utf.h"

namespace dmctl {
namespace {

std::wstring Wide(const std::string& path) {
  std::wstring wide;
  if (!ks::text::Utf8ToUtf16<wchar_t>(path, &wide)) wide.clear();
  return wide;
}

std::string Failure(const std::string& what, const std::string& path) {
  return what + " " + path + ": error " + std::to_string(GetLastError());
}

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

PrivateFile::~PrivateFile() { Abandon(); }

PrivateFile::Opened PrivateFile::Open(const std::string& path, bool replace) {
  path_ = path;
  written_ = replace ? path + ".new-" + std::to_string(GetCurrentProcessId()) : path;
  const std::wstring name = Wide(written_);
  if (name.empty()) {
    error_ = "the file name is not UTF-8: " + path;
    written_.clear();
    return Opened::kFailed;
  }
  const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr,
                                  replace ? CREATE_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    const bool exists = !replace && (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS);
    error_ = exists ? path + " exists" : Failure("cannot create", written_);
    written_.clear();
    return exists ? Opened::kExists : Opened::kFailed;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  return Opened::kOpen;
}

bool PrivateFile::Write(const char* data, size_t size) {
  while (!failed_ && size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD done = 0;
    if (!WriteFile(AsHandle(handle_), data, chunk, &done, nullptr) || done == 0) {
      error_ = Failure("cannot write", written_);
      failed_ = true;
      break;
    }
    data += done;
    size -= done;
  }
  return !failed_;
}

bool PrivateFile::Finish() {
  if (handle_ == -1) return false;
  if (!failed_ && !FlushFileBuffers(AsHandle(handle_))) {
    error_ = Failure("cannot write", written_);
    failed_ = true;
  }
  CloseHandle(AsHandle(handle_));
  handle_ = -1;
  if (!failed_ && written_ != path_ &&
      !MoveFileExW(Wide(written_).c_str(), Wide(path_).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error_ = Failure("cannot put in place", path_);
    failed_ = true;
  }
  if (failed_) DeleteFileW(Wide(written_).c_str());
  written_.clear();
  return !failed_;
}

void PrivateFile::Abandon() {
  if (handle_ != -1) {
    CloseHandle(AsHandle(handle_));
    handle_ = -1;
    DeleteFileW(Wide(written_).c_str());
  }
  written_.clear();
}

}  // namespace dmctl
