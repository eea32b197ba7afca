/*
 * KSLog.h - the suite's log library.
 *
 * One call writes one line.  The line carries the time (with milliseconds),
 * the process and thread ids, the level, the module, the source file, the
 * function and the source line, then the formatted text, encoded as UTF-8.
 *
 * The format is printf-like, in UTF-16, and understands:
 *   %i, %d   a 32-bit signed integer
 *   %u       a 32-bit unsigned integer
 *   %x, %X   a 32-bit unsigned integer in hexadecimal
 *   %li      a 64-bit signed integer (also %lli, %ld, %lu, %llu for 64 bits)
 *   %s       a NUL-terminated UTF-16 string; a null pointer prints "(null)"
 *   %%       a literal percent sign
 * Anything else after a '%' is written as it stands and consumes no argument,
 * so a malformed format never reads an argument it was not given.
 *
 * Where lines go and which are kept are KSLog's own settings, read from the
 * environment on the first call of the process:
 *   KSLOG_FILE   a file path to append to, "-" for standard error, or "off".
 *                Unset or empty: the per-user default, KSLog.log in
 *                $XDG_STATE_HOME/Halvorn (else ~/.local/state/Halvorn) on
 *                POSIX and %LOCALAPPDATA%\Halvorn on Windows.
 *   KSLOG_LEVEL  the lowest level written (default 1: every line).
 *
 * LogEx is thread-safe, never blocks on the destination for longer than one
 * write, never fails its caller, and drops a line it cannot write.
 */
#ifndef KS_LOG_H
#define KS_LOG_H

#include "KSTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#if defined(KSLOG_BUILDING)
#define KSLOG_API __declspec(dllexport)
#else
#define KSLOG_API __declspec(dllimport)
#endif
#define KSLOG_CDECL __cdecl
#else
#define KSLOG_API __attribute__((visibility("default")))
#define KSLOG_CDECL
#endif

/* Writes one line.  Answers 0 when the line was written (or deliberately
 * filtered out by level), -1 when it was dropped.  Callers may ignore it. */
KSLOG_API int KSLOG_CDECL LogEx(const WCHAR* file, const WCHAR* function,
                                int32_t line, int32_t level,
                                const WCHAR* module, const WCHAR* format, ...);

#ifdef __cplusplus
}
#endif

#endif /* KS_LOG_H */
