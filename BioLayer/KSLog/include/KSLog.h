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
 * The integer and %s conversions also take the flags '-' (pad on the right)
 * and '0' (pad numbers with zeros) and a width of up to three digits, as in
 * %08X or %-12s; a %s width counts UTF-16 code units.
 * Anything else after a '%' is written as it stands and consumes no argument,
 * so a malformed format never reads an argument it was not given.  A null
 * file, function, module or format is written as "(null)".
 *
 * A line written to the destination reads
 *   2026-12-05 18:40:01.123 [4711:4712] L1 DataManager src\Domain.cpp GetDomain:42 text
 * that is: local time with milliseconds, [process id:thread id], L and the
 * level, the module, the source file, the function, ':' and the source line,
 * then the text.  An empty module, file or function is written as "-".  Line
 * breaks, tabs and other control characters in any of them are written as
 * \n, \r, \t or \xHH so that one call always makes exactly one line.
 *
 * Where lines go and which are kept are KSLog's own settings, read from the
 * environment on the first call of the process:
 *   KSLOG_FILE   a file path to append to, "-" for standard error, or "off".
 *                Unset or empty: the per-user default, KSLog.log in
 *                $XDG_STATE_HOME/Halvorn (else ~/.local/state/Halvorn) on
 *                POSIX and %LOCALAPPDATA%\Halvorn on Windows.
 *                A missing default folder is created, for its user only.
 *   KSLOG_LEVEL  the lowest level written (default 1: every line); a value
 *                that is not a whole number keeps the default.
 * A destination that cannot be opened is not retried: its lines are dropped.
 * (KSLog_Reconfigure, in KSLogSink.h, reads the settings again.)
 *
 * LogEx is thread-safe, never blocks on the destination for longer than one
 * write (or, for a log file, the reservation of the next stretch of it),
 * never fails its caller, and drops a line it cannot write.  Each line lands
 * whole, so lines of concurrent threads and processes sharing a file never
 * mix, and one thread's lines land in the order it logged them, also across
 * KSLog_Reconfigure; a line written to a log file is part of the file when LogEx returns,
 * so that it survives the process being killed.  While a process writes a
 * log file, the file ends in zero bytes reserved for its next lines; they are
 * given back when the process ends or reconfigures, and the next process to
 * open the file alone repairs what a killed one left.  LogEx leaves errno
 * (and, on Windows, the thread's last-error code) as it found them.
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

/* Writes one line.  Answers 0 when the line was written, or deliberately not
 * written (its level is below KSLOG_LEVEL, or KSLOG_FILE is "off"); answers
 * -1 when it was dropped because the destination could not be opened or the
 * write failed.  Callers may ignore it. */
KSLOG_API int KSLOG_CDECL LogEx(const WCHAR* file, const WCHAR* function,
                                int32_t line, int32_t level,
                                const WCHAR* module, const WCHAR* format, ...);

#ifdef __cplusplus
}
#endif

#endif /* KS_LOG_H */
