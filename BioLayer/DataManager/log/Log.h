// Log.h - the one way DataManager writes a log line.
//
// Every line goes to KSLog's LogEx with level 1 (unless a call site says
// otherwise) and the module "DataManager".  A file names its source once and
// a function its qualified name once; after that a call site reads like the
// line it writes:
//
//   DM_LOG_SOURCE(".\\DataManagerUtils");        // once per file
//   DM_LOG_FUNCTION("DataManagerUtils::GetDomain");  // once per function
//   DM_LOG("Exiting GetDomain() With bRet = %i; Count = %u", bRet, *count);
//
// Arguments are checked at compile time against what the formats use: 32-bit
// integers for %i and %u, a 64-bit integer for %li, a WCHAR string for %s.
// A 16-bit store status is widened to 32 bits with its sign.
#ifndef DM_LOG_LOG_H
#define DM_LOG_LOG_H

#include <cstdint>
#include <type_traits>

#include "KSLog.h"
#include "KSTypes.h"

namespace dm::log {

inline constexpr const WCHAR* kModule = KS_TEXT("DataManager");

// Normalises one argument to the exact type LogEx reads for it.
inline int32_t Arg(int16_t v) { return v; }
inline int32_t Arg(int32_t v) { return v; }
inline uint32_t Arg(uint32_t v) { return v; }
inline int64_t Arg(int64_t v) { return v; }
inline const WCHAR* Arg(const WCHAR* v) { return v; }
inline const WCHAR* Arg(WCHAR* v) { return v; }
#ifdef _WIN32
inline uint32_t Arg(unsigned long v) { return static_cast<uint32_t>(v); }  // DWORD
#endif
template <typename T>
void Arg(T) = delete;  // anything else is a mistake at the call site

template <typename... Args>
void Write(const WCHAR* file, const WCHAR* function, int32_t line, int32_t level,
           const WCHAR* format, Args... args) {
  // LogEx's answer is ignored: nothing the library does depends on logging.
  (void)LogEx(file, function, line, level, kModule, format, Arg(args)...);
}

}  // namespace dm::log

#define DM_LOG_SOURCE(file) \
  namespace {               \
  constexpr const WCHAR* kLogSource = KS_TEXT(file); \
  }
#define DM_LOG_FUNCTION(name) constexpr const WCHAR* kLogFunction = KS_TEXT(name)

#define DM_LOG_LEVEL(level, format, ...) \
  ::dm::log::Write(kLogSource, kLogFunction, __LINE__, level, KS_TEXT(format) __VA_OPT__(, ) __VA_ARGS__)
#define DM_LOG(format, ...) DM_LOG_LEVEL(1, format __VA_OPT__(, ) __VA_ARGS__)

#endif  // DM_LOG_LOG_H
