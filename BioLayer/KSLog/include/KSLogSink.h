/*
 * KSLogSink.h - KSLog's development interface: a sink that receives every
 * line as a structured record, so that tests and tools can look at exactly
 * what was logged.  It is not part of what the suite's libraries call.
 */
#ifndef KS_LOG_SINK_H
#define KS_LOG_SINK_H

#include "KSLog.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One log line, every text in UTF-8 and NUL-terminated.  The pointers are
 * valid only for the duration of the sink call.  The texts are as given (a
 * null one reads "(null)"), without the escaping of control characters that
 * the written line gets. */
typedef struct KSLogRecord {
  int64_t time_ms;      /* milliseconds since the Unix epoch */
  uint32_t process_id;
  uint64_t thread_id;
  const char* file;     /* the six arguments of LogEx ... */
  const char* function;
  int32_t line;
  int32_t level;
  const char* module;
  const char* text;     /* ... and the formatted text */
} KSLogRecord;

typedef void (*KSLogSinkFn)(void* user, const KSLogRecord* record);

/* Installs fn (or removes the sink, with a null fn).  The sink sees every
 * line, whatever the level setting, before it is written to the destination.
 * Calls into the sink are serialised.  Installing replaces the previous sink;
 * once KSLog_SetSink returns, the previous sink is no longer called.
 * A sink may call LogEx (that line is written but not handed back to the
 * sink) and KSLog_SetSink.  It must not throw; if it does, the exception is
 * swallowed and LogEx answers -1. */
KSLOG_API void KSLOG_CDECL KSLog_SetSink(KSLogSinkFn fn, void* user);

/* Reads KSLOG_FILE and KSLOG_LEVEL again, exactly as the first LogEx of the
 * process does, and applies them to every line logged after it returns.
 * Lines being written at that moment keep the old level, and land in the old
 * destination or, when it was already let go, the new one: one thread's lines
 * stay in order.  The old destination is closed once no line uses it.
 * Never fails: a destination
 * that cannot be opened makes later lines be dropped (LogEx answers -1). */
KSLOG_API void KSLOG_CDECL KSLog_Reconfigure(void);

#ifdef __cplusplus
}
#endif

#endif /* KS_LOG_SINK_H */
