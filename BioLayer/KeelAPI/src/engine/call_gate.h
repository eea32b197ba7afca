// call_gate.h - the one path every store call takes: the interceptor, the
// store's lock, the engine, the trace.
//
// Locking: the process-wide lock is held while the engine answers and the
// call is traced, but NOT while the interceptor runs, nor while a call
// waits for another process to let go of the database (RetryWhileBusy).
// An interceptor may therefore call the development interface (and even the
// store functions, whose calls are intercepted and traced in their turn)
// without deadlock; the price is that with several threads an interceptor
// may run concurrently with other calls and must guard its own state.
#ifndef KEEL_ENGINE_CALL_GATE_H
#define KEEL_ENGINE_CALL_GATE_H

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "KeelAPITest.h"
#include "engine/engine.h"
#include "engine/trace.h"
#include "engine/value_rules.h"
#include "sys/KeelBackend.h"

namespace keel {

// The store's process-wide state.  It is created on first use and never
// destroyed by a static destructor, because clients call KA_Free and the
// release functions from their own unload handlers at process exit, in an
// order this library does not control.  What it holds is freed by
// ReleaseStore() when the library is unloaded; calls that come after that
// find it empty and answer an error status.
struct StoreState {
  std::mutex lock;
  Engine engine;
  KeelInterceptorFn interceptor = nullptr;
  void* interceptor_user = nullptr;
  std::optional<Trace> trace{std::in_place};  // empty once released
};

StoreState& Store();

// Closes the store's database and frees the store's state, for good: the
// library is being unloaded (or the process is ending).  Later calls are
// still intercepted, and answered with error statuses.
void ReleaseStore();

// How long a store call keeps trying while other processes hold the
// database, counted from its first try.
inline constexpr auto kBusyPatience = std::chrono::seconds(5);

// Runs `attempt` (a whole store call) under `hold`, the store's lock, and
// again while it answers KEEL_BACKEND_BUSY: each failed try was rolled back
// and published nothing, so trying again is safe.  Past kBusyPatience the
// answer is KA_E_STORAGE.  The backend never waits for another process
// itself; the wait is here, with the lock let go, so that the process's
// other threads go on meanwhile (a read the cache answers, a call on the
// memory backend, a call that needs no store).  Each try begins afresh
// from whatever they left, as if the call had only just come.
template <typename Attempt>
auto RetryWhileBusy(std::unique_lock<std::mutex>& hold, Attempt&& attempt)
    -> decltype(attempt()) {
  const auto deadline = std::chrono::steady_clock::now() + kBusyPatience;
  for (int tries = 1;; ++tries) {
    const auto status = attempt();
    if (status != KEEL_BACKEND_BUSY) return status;
    if (std::chrono::steady_clock::now() >= deadline) return KA_E_STORAGE;
    // A short pause that grows, so that two processes that collided do not
    // collide again at once.
    hold.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(tries < 10 ? tries : 10));
    hold.lock();
  }
}

// The interceptor's answer to `call`, or nothing to let the store answer
// (no interceptor, KEEL_PASS, or a value outside the 16-bit status range).
std::optional<KA_STATUS> AskInterceptor(const KeelCall& call);

// A copy of the text argument `text` (null stays null), cut at `limit` bytes
// so that an unterminated or enormous argument cannot run the copy away.
std::optional<std::string> CopyCallText(const char* text, size_t limit);

// Runs `fn(store, hold)` with `hold` holding the store's lock; an exception
// (out of memory) answers `failed` instead of crossing the C interface.
template <typename R, typename Fn>
R WithLock(R failed, Fn&& fn) noexcept {
  try {
    StoreState& store = Store();
    std::unique_lock<std::mutex> hold(store.lock);
    return fn(store, hold);
  } catch (...) {
    return failed;
  }
}

// Runs `fn(store)` under the store's lock, for the development and
// administration interfaces (neither intercepted nor traced).
template <typename R, typename Fn>
R Locked(R failed, Fn&& fn) noexcept {
  return WithLock(failed, [&](StoreState& s, std::unique_lock<std::mutex>&) { return fn(s); });
}

// As Locked, for a call that answers a status: tried again while other
// processes hold the store, without the lock in between.
template <typename R, typename Fn>
R Retried(R failed, Fn&& fn) noexcept {
  return WithLock(failed, [&](StoreState& s, std::unique_lock<std::mutex>& hold) {
    return RetryWhileBusy(hold, [&] { return fn(s); });
  });
}

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
    std::unique_lock<std::mutex> hold(store.lock);
    KA_STATUS status = KA_E_STORAGE;
    if (intercepted) {
      status = *intercepted;
    } else {
      try {
        status = RetryWhileBusy(hold, [&] { return op(store.engine); });
      } catch (...) {  // out of memory half-way: the transaction rolled back
        status = KA_E_STORAGE;
        if (!hold.owns_lock()) hold.lock();  // it failed while waiting
      }
    }
    call.status = status;
    call.intercepted = intercepted ? 1 : 0;
    try {
      if (store.trace) store.trace->Append(call);
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
