// store_location_windows.cpp - the store's files on Windows: the user's
// local application data folder, and files and folders whose access list
// lets the user alone in.
#ifdef _WIN32
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include "platform/store_location.h"
#include "platform/windows_files.h"

namespace keel {
namespace {

constexpr char kStoreFolder[] = "Halvorn";
constexpr char kStoreFile[] = "keel.db";

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// The environment variable `name` (UTF-8), empty when unset.
std::string Variable(const char* name) {
  const std::wstring wide_name = windows::Wide(name);
  const DWORD size = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (size == 0) return "";
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(wide_name.c_str(), value.data(), size);
  value.resize(length < size ? length : 0);
  return windows::Narrow(value);
}

// The store's own folder: Halvorn in the user's local application data
// folder (%LOCALAPPDATA%), as the shell knows it.
std::optional<std::string> StoreFolder(std::string* why) {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_DONT_VERIFY, nullptr,
                              SHGFP_TYPE_CURRENT, folder)) ||
      folder[0] == L'\0') {
    *why = "the user's local application data folder is not known";
    return std::nullopt;
  }
  return windows::Narrow(folder) + "\\" + kStoreFolder;
}

// Whether `sid` is the machine's own: the system account or the
// administrators, who can take any file anyway.
bool IsMachines(PSID sid) {
  return IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid);
}

// Whether `list` lets another user in: no list at all lets everyone in.
bool LetsOthersIn(PACL list, PSID user) {
  if (list == nullptr) return true;
  for (DWORD i = 0; i < list->AceCount; ++i) {
    ACE_HEADER* entry = nullptr;
    if (!GetAce(list, i, reinterpret_cast<void**>(&entry))) return true;
    if (entry->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    const auto sid = reinterpret_cast<PSID>(&reinterpret_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart);
    if (!EqualSid(sid, user) && !IsMachines(sid)) return true;
  }
  return false;
}

// A SID from its string form, freed when it goes.
struct Sid {
  PSID sid = nullptr;
  explicit Sid(const std::wstring& text) {
    if (text.empty() || !ConvertStringSidToSidW(text.c_str(), &sid)) sid = nullptr;
  }
  ~Sid() { LocalFree(sid); }
  Sid(const Sid&) = delete;
  Sid& operator=(const Sid&) = delete;
};

}  // namespace

std::optional<std::string> DefaultStorePath(std::string* why) {
  const std::string chosen = Variable(kStoreFileVariable);
  if (!chosen.empty()) return chosen;
  const std::optional<std::string> folder = StoreFolder(why);
  if (!folder) return std::nullopt;
  return *folder + "\\" + kStoreFile;
}

bool MakePrivateFolderFor(const std::string& file, std::string* why) {
  size_t last = file.size();
  while (last > 0 && !IsSeparator(file[last - 1])) --last;
  if (last <= 1) return true;  // the working folder, or a root
  const size_t folder_end = last - 1;
  windows::PrivateSecurity security;
  if (security.attributes() == nullptr) {
    *why = windows::Failure("cannot make a private security descriptor for", file);
    return false;
  }
  // Every prefix that ends just before a separator, shortest first; a drive
  // ("C:") or the start of a network path exists already.
  for (size_t end = 1; end <= folder_end; ++end) {
    if (!IsSeparator(file[end]) || file[end - 1] == ':' || IsSeparator(file[end - 1])) continue;
    const std::string folder = file.substr(0, end);
    if (CreateDirectoryW(windows::Wide(folder).c_str(), security.attributes()) ||
        GetLastError() == ERROR_ALREADY_EXISTS || GetLastError() == ERROR_ACCESS_DENIED) {
      continue;  // denied: a share's root, or a folder the user may pass through
    }
    *why = windows::Failure("cannot create the folder", folder);
    return false;
  }
  std::string ignored;
  const std::optional<std::string> own = StoreFolder(&ignored);
  if (own && own->size() == folder_end && file.compare(0, folder_end, *own) == 0) {
    return KeepPrivate(*own, -1, true, why);
  }
  return true;
}

bool MakePrivateFile(const std::string& file, std::string* why) {
  windows::PrivateSecurity security;
  if (security.attributes() == nullptr) {
    *why = windows::Failure("cannot make a private security descriptor for", file);
    return false;
  }
  const HANDLE made = CreateFileW(windows::Wide(file).c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  security.attributes(), CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
  if (made != INVALID_HANDLE_VALUE) {
    CloseHandle(made);
    return true;
  }
  if (GetLastError() != ERROR_FILE_EXISTS) {
    *why = windows::Failure("cannot create the file", file);
    return false;
  }
  for (const char* suffix : {"", "-wal", "-shm"}) {
    const std::string path = file + suffix;
    if ((*suffix == '\0' || FileExists(path)) && !KeepPrivate(path, -1, false, why)) return false;
  }
  return true;
}

bool KeepPrivate(const std::string& path, int /*fd*/, bool folder, std::string* why) {
  const std::wstring wide = windows::Wide(path);
  PSID owner = nullptr;
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD looked = GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT,
                                             OWNER_SECURITY_INFORMATION |
                                                 DACL_SECURITY_INFORMATION,
                                             &owner, nullptr, &list, nullptr, &descriptor);
  if (looked != ERROR_SUCCESS) {
    SetLastError(looked);
    *why = windows::Failure("cannot look at", path);
    return false;
  }
  const Sid user(windows::UserSid());
  const bool open = user.sid == nullptr || LetsOthersIn(list, user.sid);
  const bool owned = user.sid != nullptr && owner != nullptr && EqualSid(owner, user.sid);
  LocalFree(descriptor);
  if (!open) return true;
  const std::string what = folder ? "the folder " : "the file ";
  if (!owned) {
    *why = what + path + " lets other users in (its access list) and belongs to another user";
    return false;
  }
  windows::PrivateSecurity security;
  PACL own = security.access_list();
  const DWORD set = own == nullptr ? ERROR_INVALID_ACL
                                   : SetNamedSecurityInfoW(
                                         const_cast<wchar_t*>(wide.c_str()), SE_FILE_OBJECT,
                                         DACL_SECURITY_INFORMATION |
                                             PROTECTED_DACL_SECURITY_INFORMATION,
                                         nullptr, nullptr, own, nullptr);
  if (set != ERROR_SUCCESS) {
    SetLastError(set);
    *why = windows::Failure("cannot make private", path);
    return false;
  }
  RecordRepair(what + path + " let other users in (its access list): now the user's alone");
  return true;
}

bool FileExists(const std::string& file) {
  return GetFileAttributesW(windows::Wide(file).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace keel
#endif
