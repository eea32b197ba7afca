// Finds the store library among the modules loaded in this process, and
// its functions.
#include <windows.h>
// The process's modules through kernel32 (K32EnumProcessModules), without
// psapi.dll.
#define PSAPI_VERSION 2
#include <psapi.h>

#include <string>
#include <vector>

#include "LoadedStore.h"
#include "ks/utf.h"

namespace dmctl {
namespace {

// The last module named KeelAPI.dll: DataManager loads one store; should a
// program hold another (linked), the last one loaded is DataManager's.
HMODULE LoadedStore(std::wstring* path) {
  std::vector<HMODULE> modules(256);
  DWORD bytes = 0;
  for (;;) {
    if (!EnumProcessModules(GetCurrentProcess(), modules.data(),
                               static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &bytes)) {
      return nullptr;
    }
    if (bytes <= modules.size() * sizeof(HMODULE)) break;
    modules.resize(bytes / sizeof(HMODULE));
  }
  modules.resize(bytes / sizeof(HMODULE));
  HMODULE found = nullptr;
  for (HMODULE module : modules) {
    wchar_t name[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(module, name, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) continue;
    const std::wstring full(name, n);
    const size_t slash = full.find_last_of(L"\\/");
    const std::wstring base = slash == std::wstring::npos ? full : full.substr(slash + 1);
    if (CompareStringOrdinal(base.c_str(), -1, L"KeelAPI.dll", -1, TRUE) == CSTR_EQUAL) {
      found = module;
      *path = full;
    }
  }
  return found;
}

}  // namespace

std::string LoadedStorePath() {
  std::wstring path;
  if (LoadedStore(&path) == nullptr) return {};
  return ks::text::Utf16ToUtf8<wchar_t>(std::wstring_view(path));
}

void* LoadedStoreFunction(const char* name) {
  std::wstring path;
  HMODULE store = LoadedStore(&path);
  if (store == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(store, name));
}

}  // namespace dmctl
