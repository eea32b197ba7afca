// Finds the store library among the modules loaded in this process.
#include <windows.h>

#include <string>

#include "Command.h"
#include "ks/utf.h"

namespace dmctl {

std::string LoadedStorePath() {
  HMODULE store = GetModuleHandleW(L"KeelAPI.dll");
  if (store == nullptr) return {};
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(store, path, MAX_PATH);
  return ks::text::Utf16ToUtf8<wchar_t>(std::wstring_view(path, n));
}

}  // namespace dmctl
