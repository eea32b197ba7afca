// windows_files.cpp - wide paths, error messages and the user's own
// security descriptor.
#ifdef _WIN32
#include "platform/windows_files.h"

#include <sddl.h>

#include <memory>
#include <vector>

#include "ks/utf.h"

namespace keel::windows {

std::wstring Wide(const std::string& path) {
  std::wstring wide;
  ks::text::Utf8ToUtf16(path, &wide);
  return wide;
}

std::string Narrow(const std::wstring& text) { return ks::text::Utf16ToUtf8<wchar_t>(text); }

std::string Failure(const std::string& what, const std::string& path) {
  const DWORD error = GetLastError();
  wchar_t* message = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  std::wstring text = length > 0 ? std::wstring(message, length) : L"";
  LocalFree(message);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  if (text.empty()) text = L"error " + std::to_wstring(error);
  return what + " " + path + ": " + Narrow(text);
}

std::wstring UserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return L"";
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  std::wstring sid;
  if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
    wchar_t* text = nullptr;
    if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
      sid = text;
      LocalFree(text);
    }
  }
  CloseHandle(token);
  return sid;
}

PrivateSecurity::PrivateSecurity() {
  const std::wstring sid = UserSid();
  if (sid.empty()) return;
  // Protected (P): nothing inherited from the folder above; one entry
  // allowing (A) full file access (FA) to the user, inherited by files
  // (OI) and folders (CI) inside.
  const std::wstring sddl = L"D:P(A;OICI;FA;;;" + sid + L")";
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                            &descriptor_, nullptr)) {
    descriptor_ = nullptr;
    return;
  }
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = descriptor_;
  attributes_.bInheritHandle = FALSE;
}

PrivateSecurity::~PrivateSecurity() { LocalFree(descriptor_); }

PACL PrivateSecurity::access_list() const {
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL list = nullptr;
  if (descriptor_ == nullptr ||
      !GetSecurityDescriptorDacl(descriptor_, &present, &list, &defaulted) || !present) {
    return nullptr;
  }
  return list;
}

}  // namespace keel::windows
#endif
