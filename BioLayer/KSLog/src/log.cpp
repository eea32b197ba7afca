// log.cpp - the exported functions: LogEx, KSLog_SetSink, KSLog_Reconfigure.
//
// LogEx decides first whether anybody wants the line (the destination, by
// level, or the sink, always), so that a filtered line with no sink costs
// neither formatting nor conversion.
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

int Log(const Call& call, va_list* args) {
  const std::shared_ptr<const Settings> settings = CurrentSettings();
  if (!settings) return kDropped;  // the library is being unloaded
  const bool filtered = call.level < settings->min_level || settings->off;
  const bool to_destination = !filtered && settings->destination != nullptr;
  if (!to_destination && !SinkInstalled()) return filtered ? kWritten : kDropped;

  const std::string file = ToUtf8(call.file);
  const std::string function = ToUtf8(call.function);
  const std::string module = ToUtf8(call.module);
  const std::string text = ToUtf8(FormatText(call.format, args));
  KSLogRecord record{};
  record.time_ms = NowMs();
  record.process_id = sys::ProcessId();
  record.thread_id = sys::ThreadId();
  record.file = file.c_str();
  record.function = function.c_str();
  record.line = call.line;
  record.level = call.level;
  record.module = module.c_str();
  record.text = text.c_str();

  const bool sink_ok = DeliverToSink(record);
  if (filtered) return sink_ok ? kWritten : kDropped;
  if (!to_destination) return kDropped;
  return settings->destination->Append(FormatLine(record)) && sink_ok ? kWritten : kDropped;
}

}  // namespace
}  // namespace kslog

extern "C" KSLOG_API int KSLOG_CDECL LogEx(const WCHAR* file, const WCHAR* function,
                                           int32_t line, int32_t level, const WCHAR* module,
                                           const WCHAR* format, ...) {
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
}
