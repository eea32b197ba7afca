// settings.cpp - reading KSLog's settings from the environment.
#include "settings.h"

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
};

State& GlobalState() {
  static ks::NeverDestroyed<State> state;
  return state.get();
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

std::shared_ptr<const Settings> CurrentSettings() {
  State& state = GlobalState();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.released) return nullptr;
  // Read under the lock: the first lines of concurrent threads wait for one
  // reading instead of opening the destination twice.
  if (!state.current) state.current = ReadSettings();
  return state.current;
}

void ReleaseSettings() {
  State& state = GlobalState();
  std::shared_ptr<const Settings> old;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    old = std::move(state.current);
    state.released = true;
  }
}

void ReloadSettings() {
  std::shared_ptr<const Settings> fresh = ReadSettings();
  State& state = GlobalState();
  std::shared_ptr<const Settings> old;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    old = std::move(state.current);
    state.current = std::move(fresh);
  }
  // `old` is released here, outside the lock; its destination closes when
  // the last line using it is done.
}

}  // namespace kslog
