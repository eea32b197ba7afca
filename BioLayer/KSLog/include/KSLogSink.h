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
 * valid only for the duration of the sink call. */
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
 * once KSLog_SetSink returns, the previous sink is no longer called. */
KSLOG_API void KSLOG_CDECL KSLog_SetSink(KSLogSinkFn fn, void* user);

#ifdef __cplusplus
}
#endif

#endif /* KS_LOG_SINK_H */
