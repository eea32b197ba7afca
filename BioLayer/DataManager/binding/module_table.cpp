// The module table and the load procedure of the store library.
#include <map>
#include <memory>

#include "binding/ModuleTable.h"

namespace dm::binding {

#ifdef _WIN32
const WCHAR* const kStoreLibraryName = L"KeelAPI.dll";
#else
const WCHAR* const kStoreLibraryName = u"libKeelAPI.so";
#endif
const WCHAR* const kSuiteFolderName = KS_TEXT("Halvorn");

namespace {

// The store library is loaded only from a system new enough for it, unless
// the library itself is of a version that still supports older systems.
constexpr uint32_t kMinimumSystemMajor = 6;
constexpr uint32_t kMinimumSystemMinor = 1;
constexpr uint32_t kMinimumLibraryMajorOnOldSystems = 2;

struct ModuleRecord {
  const WCHAR* name;
  ModuleHandle handle;
  uint32_t references;
};

// Keyed by the name constant's address: the library uses the one key.
using ModuleMap = std::map<const WCHAR*, ModuleRecord>;
ModuleMap* g_table = nullptr;

// The operating-system check is asked once per process.
bool g_systemCheckPending = true;
bool g_systemCheckAnswer = false;

// Set under the loader lock: references are dropped, libraries kept.
bool g_keepLoaded = false;

bool SystemIsRecentEnough() {
  if (g_systemCheckPending) {
    g_systemCheckAnswer =
        CurrentEnv()->IsSystemAtLeast(kMinimumSystemMajor, kMinimumSystemMinor, 0, 0);
    g_systemCheckPending = false;
  }
  return g_systemCheckAnswer;
}

// folder + separator + name, or an empty text when it would not fit in a
// path buffer.
WString JoinPath(const WString& folder, WStringView name) {
  WString path = folder;
  path.push_back(kPathSeparator);
  path.append(name);
  return path.size() < kMaxPath ? path : WString();
}

void Load(ModuleRecord* record) {
  Env* env = CurrentEnv();
  const WString commonFolder = env->CommonProgramFilesFolder();
  WString storeFolder = commonFolder;
  storeFolder.push_back(kPathSeparator);
  storeFolder.append(kSuiteFolderName);
  if (storeFolder.size() >= kMaxPath) storeFolder = commonFolder;  // the append did not fit

  const WString fullPath = JoinPath(storeFolder, record->name);
  const uint32_t version = fullPath.empty() ? 0 : env->FileVersionMS(fullPath);
  const uint32_t major = version >> 16;
  if (!SystemIsRecentEnough() && major < kMinimumLibraryMajorOnOldSystems) return;

  if (record->handle == nullptr && !fullPath.empty()) {
    record->handle = env->LoadLibrary(fullPath);
  }
  if (record->handle == nullptr) {
    record->handle = env->LoadLibrary(record->name);  // the system's search order
  }
}

ModuleRecord* FindOrCreate(const WCHAR* libraryName) {
  if (g_table == nullptr) g_table = new ModuleMap;
  auto [it, inserted] = g_table->try_emplace(libraryName, ModuleRecord{libraryName, nullptr, 0});
  return &it->second;
}

}  // namespace

ModuleHandle EnsureLoaded(const WCHAR* libraryName) {
  ModuleRecord* record = FindOrCreate(libraryName);
  if (record->handle == nullptr) Load(record);
  return record->handle;
}

void AddReference(const WCHAR* libraryName) { ++FindOrCreate(libraryName)->references; }

void ReleaseReference(const WCHAR* libraryName) {
  if (g_table == nullptr) return;
  auto it = g_table->find(libraryName);
  if (it == g_table->end()) return;
  ModuleRecord& record = it->second;
  if (record.references > 0) {
    --record.references;
    if (record.references == 0 && record.handle != nullptr) {
      if (!g_keepLoaded) CurrentEnv()->FreeLibrary(record.handle);
      record.handle = nullptr;
    }
  }
  if (record.references == 0) g_table->erase(it);
  if (g_table->empty()) {
    delete g_table;
    g_table = nullptr;
  }
}

void KeepLibrariesLoaded() { g_keepLoaded = true; }

bool InspectModule(const WCHAR* libraryName, ModuleState* state) {
  if (g_table == nullptr) return false;
  auto it = g_table->find(libraryName);
  if (it == g_table->end()) return false;
  state->handle = it->second.handle;
  state->references = it->second.references;
  return true;
}

void ResetModuleTableForTesting() {
  if (g_table != nullptr) {
    for (auto& [name, record] : *g_table) {
      if (record.handle != nullptr) CurrentEnv()->FreeLibrary(record.handle);
    }
  }
  delete g_table;
  g_table = nullptr;
  g_systemCheckPending = true;
  g_systemCheckAnswer = false;
  g_keepLoaded = false;
}

}  // namespace dm::binding
