// sink.cpp - the sink registry.
#include "sink.h"

#include <atomic>
#include <mutex>

#include "ks/never_destroyed.h"

namespace kslog {
namespace {

// Recursive, so that a sink may replace itself from inside its own call.
struct State {
  std::recursive_mutex mutex;
  KSLogSinkFn fn = nullptr;
  void* user = nullptr;
  std::atomic<bool> installed{false};
};

// Never destroyed: lines logged while the process exits still find it.
State& GlobalState() {
  static ks::NeverDestroyed<State> state;
  return state.get();
}

thread_local bool inside_sink = false;

}  // namespace

void InstallSink(KSLogSinkFn fn, void* user) {
  State& state = GlobalState();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  state.fn = fn;
  state.user = user;
  state.installed.store(fn != nullptr, std::memory_order_release);
}

bool SinkInstalled() {
  return GlobalState().installed.load(std::memory_order_acquire);
}

bool DeliverToSink(const KSLogRecord& record) {
  if (inside_sink || !SinkInstalled()) return true;
  State& state = GlobalState();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  if (state.fn == nullptr) return true;
  inside_sink = true;
  bool ok = true;
  try {
    state.fn(state.user, &record);
  } catch (...) {
    ok = false;  // a C callback has no business throwing; keep it from the caller
  }
  inside_sink = false;
  return ok;
}

}  // namespace kslog
