// key_file_windows.cpp - the key file on Windows: the key sealed with the
// user's data protection (DPAPI, CryptProtectData), in a file whose access
// list lets the user alone in.  Another user, or another machine, cannot
// open it even holding a copy of the file.
#ifdef _WIN32
#include <windows.h>
// windows.h first: dpapi.h needs its types.
#include <dpapi.h>

#include <cstring>
#include <vector>

#include "ks/wipe.h"
#include "platform/key_file.h"
#include "platform/store_location.h"
#include "platform/windows_files.h"

namespace keel {
namespace {

// What a key file may hold at most: a protected 32-byte key takes a few
// hundred bytes.
constexpr DWORD kLargestFile = 64 * 1024;

// Names what the key is bound to inside the protected blob; not a secret.
constexpr wchar_t kDescription[] = L"KeelAPI store key";

// An open file, closed when it goes.
struct File {
  HANDLE handle;
  explicit File(HANDLE h) : handle(h) {}
  ~File() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
};

// Reads the whole file, up to kLargestFile bytes.
bool ReadWhole(HANDLE file, std::vector<BYTE>* bytes) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart > kLargestFile) return false;
  bytes->resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  return bytes->empty() || (ReadFile(file, bytes->data(), static_cast<DWORD>(bytes->size()),
                                     &got, nullptr) &&
                            got == bytes->size());
}

}  // namespace

KeyFileStatus ReadKeyFile(const std::string& path, uint8_t* key, size_t size, std::string* why) {
  const std::wstring wide = windows::Wide(path);
  File file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return KeyFileStatus::kMissing;
    }
    *why = windows::Failure("cannot open the key file", path);
    return KeyFileStatus::kFailed;
  }
  if (!KeepPrivate(path, -1, false, why)) return KeyFileStatus::kFailed;
  std::vector<BYTE> protected_key;
  if (!ReadWhole(file.handle, &protected_key)) {
    *why = windows::Failure("cannot read the key file", path);
    return KeyFileStatus::kFailed;
  }
  DATA_BLOB in{static_cast<DWORD>(protected_key.size()), protected_key.data()};
  DATA_BLOB out{};
  if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                          &out)) {
    *why = windows::Failure("cannot unprotect the key in", path) +
           " (a key file of another user or machine)";
    return KeyFileStatus::kFailed;
  }
  const bool whole = out.cbData == size;
  if (whole) std::memcpy(key, out.pbData, size);
  ks::Wipe(out.pbData, out.cbData);
  LocalFree(out.pbData);
  if (!whole) {
    *why = "the key file " + path + " holds a key of " + std::to_string(out.cbData) +
           " bytes, not " + std::to_string(size);
    return KeyFileStatus::kFailed;
  }
  return KeyFileStatus::kDone;
}

KeyFileStatus CreateKeyFile(const std::string& path, const uint8_t* key, size_t size,
                            std::string* why) {
  DATA_BLOB in{static_cast<DWORD>(size), const_cast<BYTE*>(key)};
  DATA_BLOB out{};
  if (!CryptProtectData(&in, kDescription, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                        &out)) {
    *why = windows::Failure("cannot protect the key for", path);
    return KeyFileStatus::kFailed;
  }
  const std::string draft = path + ".new-" + std::to_string(GetCurrentProcessId());
  const std::wstring wide_draft = windows::Wide(draft);
  DeleteFileW(wide_draft.c_str());  // a draft left by a crashed process of the same id
  windows::PrivateSecurity security;
  bool written = false;
  {
    File file(security.attributes() == nullptr
                  ? INVALID_HANDLE_VALUE
                  : CreateFileW(wide_draft.c_str(), GENERIC_WRITE, 0, security.attributes(),
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD put = 0;
    written = file.handle != INVALID_HANDLE_VALUE &&
              WriteFile(file.handle, out.pbData, out.cbData, &put, nullptr) &&
              put == out.cbData && FlushFileBuffers(file.handle);
  }
  LocalFree(out.pbData);
  if (!written) {
    *why = windows::Failure("cannot write the key file", draft);
    DeleteFileW(wide_draft.c_str());
    return KeyFileStatus::kFailed;
  }
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the name exists:
  // the first process to move wins.
  const BOOL moved = MoveFileExW(wide_draft.c_str(), windows::Wide(path).c_str(),
                                 MOVEFILE_WRITE_THROUGH);
  const DWORD error = GetLastError();
  if (moved) return KeyFileStatus::kDone;
  DeleteFileW(wide_draft.c_str());
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return KeyFileStatus::kExists;
  SetLastError(error);
  *why = windows::Failure("cannot put the key file in place at", path);
  return KeyFileStatus::kFailed;
}

}  // namespace keel
#endif
