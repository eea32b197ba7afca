// call_gate.h - the one path every store call takes: the interceptor, the
// store's lock, the engine, the trace.
//
// Locking: the process-wide lock is held while the engine answers and the
// call is traced, but NOT while the interceptor runs.  An interceptor may
// therefore call the development interface (and even the store functions,
// whose calls are intercepted and traced in their turn) without deadlock; the
// price is that with several threads an interceptor may run concurrently
// with other calls and must guard its own state.
#ifndef KEEL_ENGINE_CALL_GATE_H
#define KEEL_ENGINE_CALL_GATE_H

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>

#include "KeelAPITest.h"
#include "engine/engine.h"
#include "engine/trace.h"
#include "engine/value_rules.h"

namespace keel {

// The store's process-wide state.  It is created on first use and never
// destroyed (no static destructor runs for it), because clients call
// KA_Free and the release functions from their own unload handlers at
// process exit, after this library's static objects may be gone.
struct StoreState {
  std::mutex lock;
  Engine engine;
  KeelInterceptorFn interceptor = nullptr;
  void* interceptor_user = nullptr;
  Trace trace;
};

StoreState& Store();

// The interceptor's answer to `call`, or nothing to let the store answer
// (no interceptor, KEEL_PASS, or a value outside the 16-bit status range).
std::optional<KA_STATUS> AskInterceptor(const KeelCall& call);

// A copy of the text argument `text` (null stays null), cut at `limit` bytes
// so that an unterminated or enormous argument cannot run the copy away.
std::optional<std::string> CopyCallText(const char* text, size_t limit);

// Answers one store call.  `call` describes it without its text; `text` is
// its text argument, copied (at most `text_limit` bytes) for the
// interceptor and the trace.  `op(engine)` is the store's answer, run under
// the lock unless the interceptor answered.
template <typename Op>
KA_STATUS Answer(KeelCall call, const char* text, size_t text_limit, Op&& op) noexcept {
  try {
    const std::optional<std::string> owned = CopyCallText(text, text_limit);
    call.text = owned ? owned->c_str() : nullptr;
    const std::optional<KA_STATUS> intercepted = AskInterceptor(call);
    StoreState& store = Store();
    std::lock_guard<std::mutex> hold(store.lock);
    KA_STATUS status = KA_E_STORAGE;
    if (intercepted) {
      status = *intercepted;
    } else {
      try {
        status = op(store.engine);
      } catch (...) {  // out of memory half-way: the transaction rolled back
        status = KA_E_STORAGE;
      }
    }
    call.status = status;
    call.intercepted = intercepted ? 1 : 0;
    try {
      store.trace.Append(call);
    } catch (...) {  // a trace that cannot grow loses the entry, not the call
    }
    return status;
  } catch (...) {
    return KA_E_STORAGE;
  }
}

// Answers with the usual text limit, that of a stored value.
template <typename Op>
KA_STATUS Answer(KeelCall call, const char* text, Op&& op) noexcept {
  return Answer(call, text, kMaxValueBytes, static_cast<Op&&>(op));
}

}  // namespace keel

#endif  // KEEL_ENGINE_CALL_GATE_H
