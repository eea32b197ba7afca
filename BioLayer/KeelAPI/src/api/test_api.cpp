// test_api.cpp - the exported development interface (KeelAPITest.h).  Each
// function takes the store's lock for its whole run; none is traced or seen
// by the interceptor.
#include <cstring>
#include <mutex>

#include "KeelAPITest.h"
#include "engine/call_gate.h"

using keel::Engine;
using keel::Locked;
using keel::Retried;
using keel::StoreState;

namespace {

constexpr const char* kFunctionNames[KF_Count] = {
    "KA_Init",
    "KA_Free",
    "KA_Execute",
    "KA_GetApp",
    "KA_GetIdentity",
    "KA_GetProperty",
    "KA_SetProperty",
    "KA_CreateShortcut",
    "KA_GetShortcut",
    "KA_Id_GetProperty",
    "KA_Id_SetProperty",
    "KA_Id_Release",
    "KA_Id_GetCard",
    "KA_Id_GetCardByRefNum",
    "KA_Id_CreateCard",
    "KA_Id_GetMacro",
    "KA_Id_CreateMacro",
    "KA_App_GetProperty",
    "KA_App_SetProperty",
    "KA_App_Release",
    "KA_Shortcut_GetProperty",
    "KA_Shortcut_SetProperty",
    "KA_Shortcut_Delete",
    "KA_Shortcut_Release",
    "KA_Card_GetProperty",
    "KA_Card_SetProperty",
    "KA_Card_Delete",
    "KA_Card_Release",
    "KA_Macro_GetProperty",
    "KA_Macro_SetProperty",
    "KA_Macro_Delete",
    "KA_Macro_Release",
};

// The int a C caller passed as an enum.  C lets any int through an enum
// parameter; reading its bytes instead of loading it as the C++ enum keeps
// an out-of-range value a defined, refusable input.
template <typename Enum>
int RawValue(const Enum& value) {
  static_assert(sizeof(Enum) == sizeof(int), "C enums are int-sized here");
  int raw = 0;
  std::memcpy(&raw, &value, sizeof raw);
  return raw;
}

}  // namespace

extern "C" {

const char* KeelTest_FunctionName(KeelFunction function) {
  const int index = RawValue(function);
  if (index < 0 || index >= KF_Count) return nullptr;
  return kFunctionNames[index];
}

void KeelTest_SetInterceptor(KeelInterceptorFn fn, void* user) {
  Locked(0, [&](StoreState& s) {
    s.interceptor = fn;
    s.interceptor_user = fn != nullptr ? user : nullptr;
    return 0;
  });
}

size_t KeelTest_TraceSize(void) {
  return Locked(size_t{0}, [](StoreState& s) { return s.trace ? s.trace->size() : 0; });
}

int KeelTest_TraceGet(size_t index, KeelCall* out) {
  if (out == nullptr) return 0;
  return Locked(0, [&](StoreState& s) { return s.trace && s.trace->Get(index, out) ? 1 : 0; });
}

void KeelTest_TraceClear(void) {
  Locked(0, [](StoreState& s) {
    if (s.trace) s.trace->Clear();
    return 0;
  });
}

void KeelTest_SetTraceLimit(size_t limit) {
  Locked(0, [&](StoreState& s) {
    if (s.trace) s.trace->SetLimit(limit);
    return 0;
  });
}

uint32_t KeelTest_OpenHandles(void) {
  return Locked(uint32_t{0}, [](StoreState& s) { return s.engine.OpenHandles(); });
}

void KeelTest_SetExecutePolicy(KeelExecutePolicyFn fn, void* user) {
  Locked(0, [&](StoreState& s) {
    s.engine.SetExecutePolicy(fn, user);
    return 0;
  });
}

KA_STATUS KeelTest_Reset(const char* backend) {
  return Locked(static_cast<KA_STATUS>(KA_E_STORAGE), [&](StoreState& s) {
    const KA_STATUS status = s.engine.Reset(backend);
    if (status != KA_OK || !s.trace) return status;
    s.interceptor = nullptr;
    s.interceptor_user = nullptr;
    s.trace->Clear();
    s.trace->SetLimit(keel::kDefaultTraceLimit);
    return status;
  });
}

void KeelTest_SetAuthPolicy(KeelAuthPolicyFn fn, void* user) {
  Locked(0, [&](StoreState& s) {
    s.engine.SetAuthPolicy(fn, user);
    return 0;
  });
}

int64_t KeelTest_SeedCard(const char* domain, int32_t category) {
  return Retried(int64_t{KA_E_STORAGE},
                [&](StoreState& s) { return s.engine.SeedCard(domain, category); });
}

int64_t KeelTest_SeedMacro(uint32_t finger) {
  return Retried(int64_t{KA_E_STORAGE}, [&](StoreState& s) { return s.engine.SeedMacro(finger); });
}

int64_t KeelTest_SeedShortcut(void) {
  return Retried(int64_t{KA_E_STORAGE}, [](StoreState& s) { return s.engine.SeedShortcut(); });
}

int64_t KeelTest_ContextObject(void) {
  return Retried(int64_t{KA_E_STORAGE},
                [](StoreState& s) { return s.engine.SingletonObject(KEEL_CONTEXT, nullptr); });
}

int64_t KeelTest_IdentityObject(void) {
  return Retried(int64_t{KA_E_STORAGE},
                [](StoreState& s) { return s.engine.SingletonObject(KEEL_IDENTITY, nullptr); });
}

int64_t KeelTest_AppObject(const char* name) {
  return Retried(int64_t{KA_E_STORAGE},
                [&](StoreState& s) { return s.engine.SingletonObject(KEEL_APP, name); });
}

KA_STATUS KeelTest_SetProperty(int64_t object, int32_t property, int32_t attribute,
                               const void* value, int32_t size) {
  return Retried(static_cast<KA_STATUS>(KA_E_STORAGE), [&](StoreState& s) {
    return s.engine.SetObjectProperty(object, property, attribute, value, size);
  });
}

KA_STATUS KeelTest_GetProperty(int64_t object, int32_t property, void* buffer, int32_t capacity,
                               int32_t* size, int32_t* attribute) {
  return Retried(static_cast<KA_STATUS>(KA_E_STORAGE), [&](StoreState& s) {
    return s.engine.GetObjectProperty(object, property, buffer, capacity, size, attribute);
  });
}

size_t KeelTest_ListObjects(KeelObjectKind kind, int64_t* ids, size_t capacity) {
  const int raw = RawValue(kind);
  if (raw < KEEL_CONTEXT || raw > KEEL_SHORTCUT) return 0;
  return Locked(size_t{0},
                [&](StoreState& s) { return s.engine.ListObjects(kind, ids, capacity); });
}

int64_t KeelTest_ObjectOfHandle(uint32_t handle) {
  return Retried(int64_t{KA_E_STORAGE},
                [&](StoreState& s) { return s.engine.ObjectOfHandle(handle); });
}

int64_t KeelTest_CardRefNum(int64_t card) {
  return Retried(int64_t{KA_E_STORAGE}, [&](StoreState& s) { return s.engine.CardRefNum(card); });
}

}  // extern "C"
