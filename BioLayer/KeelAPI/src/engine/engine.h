// engine.h - the store's policy: every rule a client sees, on top of a
// storage backend that only keeps objects and properties.
//
// The engine owns the handles, the open context and its init count, and
// turns each store call into backend operations inside one transaction.  It
// publishes its own effects (a new handle, a closed one) only after the
// transaction committed, so a failed call leaves nothing behind.
//
// Not thread-safe by itself: the call gate (call_gate.h) holds the store's
// lock around every method.
#ifndef KEEL_ENGINE_ENGINE_H
#define KEEL_ENGINE_ENGINE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "KeelAPI.h"
#include "KeelAPIAdmin.h"
#include "KeelAPITest.h"
#include "backends/backend_registry.h"
#include "engine/handle_table.h"
#include "engine/transaction.h"
#include "sys/KeelBackend.h"

namespace keel {

class Engine {
 public:
  // Starts on the default backend (backend_registry.h), which is opened by
  // the first call that needs it.  While it cannot be opened, such calls
  // answer KA_E_STORAGE and the next one tries again.
  Engine();
  ~Engine() { Release(); }
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Drops every handle and the open context and starts again on the backend
  // called `backend_name`, with the rules of KeelTest_Reset.  On failure
  // nothing changes.
  KA_STATUS Reset(const char* backend_name);

  // Closes the backend and frees everything the engine holds, for good: the
  // library is being unloaded.  Later calls answer KA_E_STORAGE (or
  // KA_E_BAD_HANDLE for the handles, which are all gone).
  void Release();

  // The store calls, one method each; each answers the status the client
  // gets, with the rules written in KeelAPI.h.
  KA_STATUS Init(const uint8_t* zeros30, const char* app_name, uint32_t zero, uint32_t* context);
  KA_STATUS Free(uint32_t* context);
  KA_STATUS Execute(int16_t command, const char* payload, const uint32_t* length);
  KA_STATUS GetApp(uint32_t* context, uint32_t zero, uint32_t* app);
  KA_STATUS GetIdentity(uint32_t* context, uint32_t zero, uint32_t* identity);
  KA_STATUS CreateShortcut(uint32_t* context, uint32_t* shortcut);
  KA_STATUS GetShortcut(uint32_t* context, const char* region, int16_t mode, uint32_t* shortcut);
  KA_STATUS GetCard(uint32_t* identity, const char* domain, int32_t category, int16_t mode,
                    uint32_t* card);
  KA_STATUS GetCardByRefNum(uint32_t* identity, int64_t ref_num, uint32_t* card);
  KA_STATUS CreateCard(uint32_t* identity, const char* domain, int32_t category, uint32_t* card);
  KA_STATUS GetMacro(uint32_t* identity, uint32_t finger, int16_t mode, uint32_t* macro);
  KA_STATUS CreateMacro(uint32_t* identity, uint32_t finger, uint32_t* macro);

  // Property calls on the handle in *handle, which must be an open handle of
  // `kind` (for KEEL_CONTEXT: the open context).  Writes to cards and the
  // identity take the caller's attribute; the others pass KA_ATTR_PLAIN.
  KA_STATUS Read(uint32_t* handle, KeelObjectKind kind, int32_t property, int32_t capacity,
                 void* buffer, uint32_t* size_out);
  KA_STATUS Write(uint32_t* handle, KeelObjectKind kind, int32_t attribute, int32_t property,
                  const void* value, int32_t size);
  KA_STATUS Release(uint32_t* handle, KeelObjectKind kind);
  KA_STATUS Delete(uint32_t* handle, KeelObjectKind kind);

  // The development interface, with the rules written in KeelAPITest.h.
  uint32_t OpenHandles() const { return handles_.open_count(); }
  int64_t SeedCard(const char* domain, int32_t category);
  int64_t SeedMacro(uint32_t finger);
  int64_t SeedShortcut();
  int64_t SingletonObject(KeelObjectKind kind, const char* app_name);
  KA_STATUS SetObjectProperty(int64_t object, int32_t property, int32_t attribute,
                              const void* value, int32_t size);
  KA_STATUS GetObjectProperty(int64_t object, int32_t property, void* buffer, int32_t capacity,
                              int32_t* size, int32_t* attribute);
  size_t ListObjects(KeelObjectKind kind, int64_t* ids, size_t capacity);
  int64_t ObjectOfHandle(uint32_t handle) const;
  int64_t CardRefNum(int64_t card);
  void SetAuthPolicy(KeelAuthPolicyFn fn, void* user);
  void SetExecutePolicy(KeelExecutePolicyFn fn, void* user);

  // The administration interface, with the rules written in KeelAPIAdmin.h.
  std::string StoreFile() const;
  KA_STATUS CountObjects(KeelObjectKind kind, int64_t* count);
  KA_STATUS Check(KeelAdminSink sink, void* user);
  KA_STATUS Export(KeelAdminSink sink, void* user);
  KA_STATUS IdentityText(int32_t property, char* buffer, int32_t capacity, int32_t* size);

 private:
  // The backend, opened on first need.  Null when it cannot be opened
  // (open_problem_ says why) and after Release().
  KeelBackend* Backend();

  // Asks the authentication policy whether property `property` of `object`
  // may be read, when it holds a secret: KA_OK, or the refusal.
  KA_STATUS Authenticate(int64_t object, int32_t property);

  // The object of the open handle in *handle when it is one of `kind`
  // (KEEL_CONTEXT: the open context).  KA_OK, KA_E_BAD_HANDLE, or
  // KA_E_NOT_INITIALIZED for a context call while no context is open.
  KA_STATUS Subject(const uint32_t* handle, KeelObjectKind kind, int64_t* object) const;

  // Where a mode-2 walk goes on from: the object named by the handle in
  // *from, open or remembered closed (handle_table.h), when it is one of
  // `kind`.  KA_E_BAD_HANDLE else.
  KA_STATUS WalkStart(const uint32_t* from, KeelObjectKind kind, int64_t* after) const;

  // Commits `txn`, then opens a handle on `object` into *out (`publishes`:
  // it created its card, see HandleEntry).
  KA_STATUS CommitAndOpen(Transaction& txn, int64_t object, KeelObjectKind kind, uint32_t* out,
                          bool publishes = false);

  // One walk step: the first object of `filter` after `after`, as a new
  // handle in *out, or KA_E_END with *out untouched.
  KA_STATUS Walk(const KeelFilter& filter, int64_t after, uint32_t* out);
  // A client's walk request: mode 1 the first object of `filter`, mode 2 the
  // next after the one *out names; any other mode is a bad argument.
  KA_STATUS WalkByMode(const KeelFilter& filter, int16_t mode, uint32_t* out);

  // Inside the caller's open transaction: creates an object as `filing` says
  // (a card with its domain as property 1) and answers its id.
  KA_STATUS CreateObject(const KeelObjectFiling& filing, int64_t* id);
  // In one transaction of its own: a new object as `filing` says (kNew), or
  // the singleton of filing.kind (kSingleton), opened as a new handle in *out.
  enum class Filing { kNew, kSingleton };
  KA_STATUS FileAndOpen(const KeelObjectFiling& filing, Filing how, uint32_t* out);
  // Creates `filing` under the one object of `parent_kind` (made when
  // missing), in one transaction; answers the new id or a negative status.
  int64_t SeedChild(KeelObjectKind parent_kind, KeelObjectFiling filing);

  // Inside the caller's open transaction: the singleton of filing.kind,
  // created when missing (an App with its name as property 1).
  KA_STATUS FindOrCreate(const KeelObjectFiling& filing, int64_t* id);

  // Stores `text` with its NUL as property 1, attribute KA_ATTR_PLAIN.
  KA_STATUS StoreName(int64_t object, const char* text);

  struct Context {
    uint32_t handle = 0;   // the open context handle (valid while inits > 0)
    uint32_t inits = 0;    // KA_Init calls not yet matched by KA_Free
    int64_t object = 0;    // the store-wide context object
    std::string app_name;  // from the KA_Init that opened the context
    // The context's own values of the properties kept per process
    // (IsPerProcess in value_rules.h), once this context wrote them.
    std::map<int32_t, std::string> own;
  };

  BackendChoice choice_;
  KeelBackend* backend_ = nullptr;
  std::string open_problem_;  // why the backend could not be opened
  bool released_ = false;
  HandleTable handles_;
  Context context_;
  KeelAuthPolicyFn auth_policy_ = nullptr;
  void* auth_user_ = nullptr;
  KeelExecutePolicyFn execute_policy_ = nullptr;
  void* execute_user_ = nullptr;
};

}  // namespace keel

#endif  // KEEL_ENGINE_ENGINE_H
