// settings.cpp - reading KSLog's settings from the environment.
#include "settings.h"

#include <atomic>
#include <climits>
#include <charconv>
#include <mutex>

#include "ks/never_destroyed.h"
#include "system.h"

namespace kslog {
namespace {

constexpr int32_t kDefaultLevel = 1;

std::shared_ptr<const Settings> ReadSettings() {
  auto settings = std::make_shared<Settings>();
  settings->min_level = ParseLevel(sys::GetEnv("KSLOG_LEVEL"));
  const std::string file = sys::GetEnv("KSLOG_FILE").value_or(std::string());
  if (file == "off") {
    settings->off = true;
  } else if (file == "-") {
    settings->destination = OpenStandardError();
  } else if (file.empty()) {
    settings->destination = OpenFileDestination(DefaultLogFilePath());
  } else {
    settings->destination = OpenFileDestination(file);
  }
  return settings;
}

// Never destroyed, so that lines logged while the process exits (from
// static destructors, or threads still running) find it intact.
struct State {
  std::mutex mutex;
  std::shared_ptr<const Settings> current;  // null until first read
  bool released = false;                    // the library is being unloaded
  // Changes whenever `current` or `released` does; threads compare it with
  // the generation of the settings they keep.
  std::atomic<uint64_t> generation{1};
  // Lines below this level are filtered out by the settings in force
  // (INT32_MAX when logging is off); INT32_MIN while there are none to go
  // by (not read yet, or released), so every line takes the full way.
  std::atomic<int32_t> filtered_below{INT32_MIN};
};

int32_t FilteredBelow(const Settings* settings) {
  if (settings == nullptr) return INT32_MIN;
  return settings->off ? INT32_MAX : settings->min_level;
}

State& GlobalState() {
  static ks::NeverDestroyed<State> state;
  return state.get();
}

// The settings a thread last used, and their generation (0: none yet).
struct ThreadSettings {
  uint64_t generation = 0;
  std::shared_ptr<const Settings> settings;
};
thread_local ThreadSettings t_settings;

// Replaces the settings in force with `fresh` (or releases them, with
// null) and finishes the old destination.
void Replace(std::shared_ptr<const Settings> fresh, bool release) {
  State& state = GlobalState();
  std::shared_ptr<const Settings> old;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.released) return;
    old = std::move(state.current);
    // Finished before the fresh destination takes a line: the old one
    // reserves no room in the file after the fresh one's, and the lines it
    // refuses from then on wait here for the fresh one (SharedSettings).
    if (old && old->destination) old->destination->Finish(/*replaced=*/fresh != nullptr);
    state.current = std::move(fresh);
    state.released = release;
    state.filtered_below.store(FilteredBelow(state.current.get()), std::memory_order_release);
    state.generation.fetch_add(1, std::memory_order_release);
  }
}

}  // namespace

int32_t ParseLevel(const std::optional<std::string>& value) {
  if (!value || value->empty()) return kDefaultLevel;
  const char* begin = value->data();
  const char* end = begin + value->size();
  int32_t level = 0;
  const auto result = std::from_chars(begin, end, level);
  if (result.ec != std::errc() || result.ptr != end) return kDefaultLevel;
  return level;
}

std::shared_ptr<const Settings> SharedSettings() {
  State& state = GlobalState();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.released) return nullptr;
  // Read under the lock: the first lines of concurrent threads wait for one
  // reading instead of opening the destination twice.
  if (!state.current) {
    state.current = ReadSettings();
    state.filtered_below.store(FilteredBelow(state.current.get()), std::memory_order_release);
    state.generation.fetch_add(1, std::memory_order_release);
  }
  return state.current;
}

bool FilteredOut(int32_t level) {
  return level < GlobalState().filtered_below.load(std::memory_order_acquire);
}

const Settings* CurrentSettings() {
  State& state = GlobalState();
  ThreadSettings& mine = t_settings;
  const uint64_t generation = state.generation.load(std::memory_order_acquire);
  if (mine.generation != generation) {
    mine.settings = SharedSettings();
    // The generation read before: a change since then is seen next line.
    mine.generation = generation;
  }
  return mine.settings.get();
}

void ForgetThreadSettings() {
  t_settings.generation = 0;
  t_settings.settings.reset();
}

void ReleaseSettings() { Replace(nullptr, true); }

void FinishAtProcessExit() {
  State& state = GlobalState();
  std::unique_lock<std::mutex> lock(state.mutex, std::try_to_lock);
  if (!lock.owns_lock() || !state.current || !state.current->destination) return;
  state.current->destination->FinishAtExit();
}

void ReloadSettings() { Replace(ReadSettings(), false); }

}  // namespace kslog
