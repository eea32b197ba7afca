// log.cpp - the exported functions: LogEx, KSLog_SetSink, KSLog_Reconfigure.
//
// LogEx decides first whether anybody wants the line (the destination, by
// level, or the sink, always), so that a filtered line with no sink costs
// two atomic loads: no formatting, no conversion, no thread-local state.
#include <chrono>
#include <cstdarg>
#include <string>

#include "KSLog.h"
#include "KSLogSink.h"
#include "format.h"
#include "line.h"
#include "settings.h"
#include "sink.h"
#include "system.h"

namespace kslog {
namespace {

constexpr int kWritten = 0;  // also: not written on purpose
constexpr int kDropped = -1;

struct Call {
  const WCHAR* file;
  const WCHAR* function;
  int32_t line;
  int32_t level;
  const WCHAR* module;
  const WCHAR* format;
};

int64_t NowMs() {
  using std::chrono::duration_cast;
  using std::chrono::milliseconds;
  using std::chrono::system_clock;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// One of the UTF-16 arguments a line names its place with (file, function,
// module) and its UTF-8 form, kept from the thread's previous line: the same
// source file and module come line after line, and comparing is cheaper
// than converting.
class KeptText {
 public:
  // Takes `text` for this line; answers true when it differs from the last.
  bool Take(const WCHAR* text) {
    if (kept_ && (text == nullptr) == null_) {
      if (text == nullptr) return false;
      // One pass, up to the first difference or the end of both.
      const WCHAR* kept = wide_.c_str();
      size_t i = 0;
      while (kept[i] == text[i] && kept[i] != 0) ++i;
      if (kept[i] == text[i]) return false;
    }
    kept_ = true;
    null_ = text == nullptr;
    if (null_) {
      wide_.clear();
    } else {
      wide_.assign(text);
    }
    utf8_.clear();
    AppendUtf8(text, &utf8_);
    return true;
  }
  const char* utf8() const { return utf8_.c_str(); }

 private:
  bool kept_ = false;
  bool null_ = false;
  std::basic_string<WCHAR> wide_;
  std::string utf8_;
};

// The texts of one line.  Each thread reuses its own, so that once they
// have grown to the size of the thread's longest line, a line allocates
// nothing.
struct LineTexts {
  KeptText file, function, module;
  std::string place;  // module, file and function as the written line shows them
  bool place_stale = true;  // one of the three changed since `place` was made
  std::string text, line;
};
thread_local LineTexts t_texts;
// How many lines the calling thread is inside: a sink that logs writes a
// line inside another one, which must not reuse the outer line's texts or
// change the settings it uses.
thread_local int t_depth = 0;

class Nesting {
 public:
  Nesting() { ++t_depth; }
  ~Nesting() { --t_depth; }
  Nesting(const Nesting&) = delete;
  Nesting& operator=(const Nesting&) = delete;
};

// Appends `line` to `destination`, or, when a reconfiguration replaced it
// while the line was on its way, where the settings now in force send it.
bool Append(std::string_view line, Destination* destination) {
  std::shared_ptr<const Settings> fresh;
  while (!destination->Append(line)) {
    if (!destination->Replaced()) return false;
    fresh = SharedSettings();
    if (fresh == nullptr || fresh->destination == nullptr) return fresh != nullptr && fresh->off;
    destination = fresh->destination.get();
  }
  return true;
}

int Log(const Call& call, va_list* args, const Settings* settings, LineTexts* texts) {
  if (settings == nullptr) return kDropped;  // the library is being unloaded
  const bool filtered = call.level < settings->min_level || settings->off;
  const bool to_destination = !filtered && settings->destination != nullptr;
  if (!to_destination && !SinkInstalled()) return filtered ? kWritten : kDropped;

  // Each of the three taken, whether or not another one changed.
  const bool file_changed = texts->file.Take(call.file);
  const bool function_changed = texts->function.Take(call.function);
  const bool module_changed = texts->module.Take(call.module);
  if (file_changed || function_changed || module_changed) texts->place_stale = true;
  texts->text.clear();
  AppendFormatted(call.format, args, &texts->text);
  KSLogRecord record{};
  record.time_ms = NowMs();
  record.process_id = sys::ProcessId();
  record.thread_id = sys::ThreadId();
  record.file = texts->file.utf8();
  record.function = texts->function.utf8();
  record.line = call.line;
  record.level = call.level;
  record.module = texts->module.utf8();
  record.text = texts->text.c_str();

  const bool sink_ok = DeliverToSink(record);
  if (filtered) return sink_ok ? kWritten : kDropped;
  if (!to_destination) return kDropped;
  if (texts->place_stale) {
    texts->place.clear();
    AppendPlace(record, &texts->place);
    texts->place_stale = false;
  }
  texts->line.clear();
  AppendLine(record, texts->place, &texts->line);
  return Append(texts->line, settings->destination.get()) && sink_ok ? kWritten : kDropped;
}

int Log(const Call& call, va_list* args) {
  const Nesting nesting;
  if (t_depth == 1) return Log(call, args, CurrentSettings(), &t_texts);
  // Inside another line of this thread: texts and settings of its own.
  LineTexts texts;
  const std::shared_ptr<const Settings> settings = SharedSettings();
  return Log(call, args, settings.get(), &texts);
}

}  // namespace
}  // namespace kslog

extern "C" KSLOG_API int KSLOG_CDECL LogEx(const WCHAR* file, const WCHAR* function,
                                           int32_t line, int32_t level, const WCHAR* module,
                                           const WCHAR* format, ...) {
  // A line the settings filter out, with no sink to see it: nothing to do,
  // and nothing touched (not even the caller's error state).
  if (kslog::FilteredOut(level) && !kslog::SinkInstalled()) return kslog::kWritten;
  const kslog::sys::PreservedErrorState preserved;
  va_list args;
  va_start(args, format);
  int result;
  try {
    result = kslog::Log({file, function, line, level, module, format}, &args);
  } catch (...) {
    result = kslog::kDropped;  // out of memory, most likely: never the caller's problem
  }
  va_end(args);
  return result;
}

extern "C" KSLOG_API void KSLOG_CDECL KSLog_SetSink(KSLogSinkFn fn, void* user) {
  kslog::InstallSink(fn, user);
}

extern "C" KSLOG_API void KSLOG_CDECL KSLog_Reconfigure(void) {
  const kslog::sys::PreservedErrorState preserved;
  try {
    kslog::ReloadSettings();
  } catch (...) {
    // Out of memory while reading: the settings in force stay.
  }
  // The replaced settings close now, unless a line of this thread (a sink
  // that reconfigures) is still using them.
  if (kslog::t_depth == 0) kslog::ForgetThreadSettings();
}
