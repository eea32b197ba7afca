// call_gate.cpp - the store's never-destroyed state and the interceptor.
#include "engine/call_gate.h"

#include <cstdint>

#include "ks/never_destroyed.h"

namespace keel {

StoreState& Store() {
  static ks::NeverDestroyed<StoreState> state;
  return state.get();
}

void ReleaseStore() {
  StoreState& store = Store();
  std::lock_guard<std::mutex> hold(store.lock);
  store.engine.Release();
  store.trace.reset();
  // The interceptor stays: it holds no memory, and the calls that clients
  // make from their own exit handlers, which may run after this, still
  // reach it (and are answered with error statuses).
}

std::optional<KA_STATUS> AskInterceptor(const KeelCall& call) {
  KeelInterceptorFn fn = nullptr;
  void* user = nullptr;
  {
    StoreState& store = Store();
    std::lock_guard<std::mutex> hold(store.lock);
    fn = store.interceptor;
    user = store.interceptor_user;
  }
  if (fn == nullptr) return std::nullopt;
  const int32_t answer = fn(user, &call);
  if (answer == KEEL_PASS || answer < INT16_MIN || answer > INT16_MAX) return std::nullopt;
  return static_cast<KA_STATUS>(answer);
}

std::optional<std::string> CopyCallText(const char* text, size_t limit) {
  if (text == nullptr) return std::nullopt;
  size_t length = 0;
  while (length < limit && text[length] != '\0') ++length;
  return std::string(text, length);
}

}  // namespace keel
