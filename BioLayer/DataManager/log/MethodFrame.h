// MethodFrame.h - the entry and exit lines that every exported function and
// every worker method writes around its work, in one place.
//
//   DM_LOG_FUNCTION("DataManagerUtils::SetSOAccount");
//   return RunMethod(DM_METHOD_LINES("SetSOAccount()"), __LINE__, [&] { ... });
//
// logs "Entering SetSOAccount()", runs the work and logs "Exiting
// SetSOAccount() With bRet = %i" with its result.  The counting and listing
// methods add "; Count = %u" and hand the count to their caller.
#ifndef DM_LOG_METHOD_FRAME_H
#define DM_LOG_METHOD_FRAME_H

#include <cstdint>
#include <optional>

#include "KSTypes.h"
#include "log/Log.h"

namespace dm {

inline constexpr const WCHAR* kWorkerSource = KS_TEXT(".\\DataManagerUtils");

// A method's qualified name and its two lines, and the source file they are
// logged under (the worker's, unless an exported function's).
struct MethodLines {
  const WCHAR* function;  // "DataManagerUtils::GetDomain"
  const WCHAR* entering;  // "Entering GetDomain()"
  const WCHAR* exiting;   // one %i for the result (counted methods: then %u for the count)
  const WCHAR* source = kWorkerSource;
};

// Logs lines.entering, runs body() (which answers the method's result),
// logs lines.exiting with that result and answers it.  `line` is the
// method's source line, for both lines.
//
// Some methods leave a few paths without their exit line (a slot out of
// range, a read that ends the method at once): their body answers
// kLeaveSilently there, and the method answers 0.
inline constexpr std::nullopt_t kLeaveSilently = std::nullopt;

template <typename Body>
BOOL RunMethod(const MethodLines& lines, int32_t line, Body&& body) {
  log::Write(lines.source, lines.function, line, 1, lines.entering);
  const std::optional<BOOL> bRet = body();
  if (!bRet) return FALSE;
  log::Write(lines.source, lines.function, line, 1, lines.exiting, *bRet);
  return *bRet;
}

// RunMethod for a method that answers a count as well: body(n) answers the
// result and leaves the count in n, which starts at 0.  The exit line shows
// both; the count is handed to *count unless count is null.
template <typename Body>
BOOL RunCountedMethod(const MethodLines& lines, int32_t line, PDWORD count, Body&& body) {
  log::Write(lines.source, lines.function, line, 1, lines.entering);
  DWORD n = 0;
  const BOOL bRet = body(n);
  if (count != nullptr) *count = n;
  log::Write(lines.source, lines.function, line, 1, lines.exiting, bRet, n);
  return bRet;
}

}  // namespace dm

// The lines of the method whose DM_LOG_FUNCTION is in scope, from the name
// its lines show, such as "GetDomain()".
#define DM_METHOD_LINES(name)                                                           \
  ::dm::MethodLines {                                                                   \
    kLogFunction, KS_TEXT("Entering " name), KS_TEXT("Exiting " name " With bRet = %i") \
  }
#define DM_COUNTED_METHOD_LINES(name)                          \
  ::dm::MethodLines {                                          \
    kLogFunction, KS_TEXT("Entering " name),                   \
        KS_TEXT("Exiting " name " With bRet = %i; Count = %u") \
  }

// The lines of the counted worker method `method` (its name without the
// class) whose lines show it as `shown`, such as "GetProfile" shown as
// "GetProfile(KS_PROFILE_TYPE,PKS_DOMAIN,PKS_PROFILE,DWORD,PDWORD)".
#define DM_WORKER_COUNTED_LINES(method, shown)                        \
  ::dm::MethodLines {                                                 \
    KS_TEXT("DataManagerUtils::" method), KS_TEXT("Entering " shown), \
        KS_TEXT("Exiting " shown " With bRet = %i; Count = %u")       \
  }

#endif  // DM_LOG_METHOD_FRAME_H
