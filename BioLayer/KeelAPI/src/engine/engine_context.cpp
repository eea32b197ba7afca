// engine_context.cpp - the calls made on the context: opening and closing
// it, KA_Execute, the App, the identity, and the shortcuts.
#include <optional>

#include "engine/engine.h"
#include "engine/value_rules.h"
#include "engine/walk_modes.h"

namespace keel {
namespace {

constexpr int kInitBlockBytes = 30;
constexpr int16_t kCommandStartAuthentication = 2;
constexpr int16_t kCommandOpenPrompt = 3;

bool AllZero(const uint8_t* block, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    if (block[i] != 0) return false;
  }
  return true;
}

}  // namespace

KA_STATUS Engine::Init(const uint8_t* zeros30, const char* app_name, uint32_t zero,
                       uint32_t* context) {
  if (zeros30 == nullptr || context == nullptr || zero != 0) return KA_E_BAD_ARGUMENT;
  if (!AllZero(zeros30, kInitBlockBytes)) return KA_E_BAD_ARGUMENT;
  const std::optional<size_t> name_length = StorableTextLength(app_name);
  if (!name_length || *name_length == 0) return KA_E_BAD_ARGUMENT;

  if (context_.inits > 0) {
    if (context_.inits == UINT32_MAX) return KA_E_STORAGE;
    ++context_.inits;
    *context = context_.handle;
    return KA_E_ALREADY_INIT;
  }

  Transaction txn(Backend());
  if (txn.status() != KA_OK) return txn.status();
  int64_t object = 0;
  KeelObjectFiling filing{};
  filing.kind = KEEL_CONTEXT;
  if (const KA_STATUS status = FindOrCreate(filing, &object); status != KA_OK) return status;
  std::string name(app_name, *name_length);  // before the commit: it may throw
  uint32_t handle = 0;
  if (const KA_STATUS status = CommitAndOpen(txn, object, KEEL_CONTEXT, &handle); status != KA_OK) {
    return status;
  }
  context_.handle = handle;
  context_.inits = 1;
  context_.object = object;
  context_.app_name.swap(name);
  *context = handle;
  return KA_OK;
}

KA_STATUS Engine::Free(uint32_t* context) {
  if (context == nullptr || context_.inits == 0 || *context != context_.handle) {
    return KA_E_BAD_HANDLE;
  }
  if (--context_.inits == 0) {
    handles_.CloseAll();
    context_ = Context{};
  }
  return KA_OK;
}

KA_STATUS Engine::Execute(int16_t command, const char* payload, const uint32_t* length) {
  if (length == nullptr || (payload == nullptr && *length != 0)) return KA_E_BAD_ARGUMENT;
  if (command != kCommandStartAuthentication && command != kCommandOpenPrompt) {
    return KA_E_BAD_ARGUMENT;
  }
  // No sensor and no prompt are attached to this store: the policy, when
  // one is installed, answers in their place; without one every command is
  // accepted.
  if (execute_policy_ == nullptr) return KA_OK;
  const int16_t answer = execute_policy_(execute_user_, command, payload, *length);
  // The busy signal would make the engine run the call again.
  return answer == KEEL_BACKEND_BUSY ? KA_E_STORAGE : answer;
}

void Engine::SetExecutePolicy(KeelExecutePolicyFn fn, void* user) {
  execute_policy_ = fn;
  execute_user_ = fn != nullptr ? user : nullptr;
}

KA_STATUS Engine::GetApp(uint32_t* context, uint32_t zero, uint32_t* app) {
  int64_t context_object = 0;
  if (const KA_STATUS s = Subject(context, KEEL_CONTEXT, &context_object); s != KA_OK) return s;
  if (zero != 0 || app == nullptr) return KA_E_BAD_ARGUMENT;
  KeelObjectFiling filing{};
  filing.kind = KEEL_APP;
  filing.name = context_.app_name.c_str();
  return FileAndOpen(filing, Filing::kSingleton, app);
}

KA_STATUS Engine::GetIdentity(uint32_t* context, uint32_t zero, uint32_t* identity) {
  int64_t context_object = 0;
  if (const KA_STATUS s = Subject(context, KEEL_CONTEXT, &context_object); s != KA_OK) return s;
  if (zero != 0 || identity == nullptr) return KA_E_BAD_ARGUMENT;
  KeelObjectFiling filing{};
  filing.kind = KEEL_IDENTITY;
  return FileAndOpen(filing, Filing::kSingleton, identity);
}

KA_STATUS Engine::CreateShortcut(uint32_t* context, uint32_t* shortcut) {
  int64_t context_object = 0;
  if (const KA_STATUS s = Subject(context, KEEL_CONTEXT, &context_object); s != KA_OK) return s;
  if (shortcut == nullptr) return KA_E_BAD_ARGUMENT;
  KeelObjectFiling filing{};
  filing.kind = KEEL_SHORTCUT;
  filing.parent = context_object;
  filing.region = kShortcutRegion;
  return FileAndOpen(filing, Filing::kNew, shortcut);
}

KA_STATUS Engine::GetShortcut(uint32_t* context, const char* region, int16_t mode,
                              uint32_t* shortcut) {
  int64_t context_object = 0;
  if (const KA_STATUS s = Subject(context, KEEL_CONTEXT, &context_object); s != KA_OK) return s;
  if (shortcut == nullptr || !StorableTextLength(region)) return KA_E_BAD_ARGUMENT;
  KeelFilter filter{};
  filter.kind = KEEL_SHORTCUT;
  filter.by = KEEL_BY_REGION;
  filter.region = region;
  return WalkByMode(filter, mode, shortcut);
}

}  // namespace keel
