/*
 * KSTypes.h - the basic types shared by the suite's libraries.
 *
 * On Windows these are the platform's own types from <windows.h>.  Elsewhere
 * we define stand-ins with the same sizes, so that records exchanged through
 * the C interfaces have one layout on every platform:
 *   WCHAR  a UTF-16 code unit (wchar_t on Windows, char16_t elsewhere)
 *   BOOL   a 32-bit signed integer, 1 for success and 0 for failure
 *   DWORD  a 32-bit unsigned integer (never `unsigned long` off Windows,
 *          where that type is 64 bits wide)
 * KS_TEXT("...") spells a UTF-16 literal of the platform's WCHAR type.
 */
#ifndef KS_TYPES_H
#define KS_TYPES_H

#include <stdint.h>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#define KS_TEXT_(s) L##s
#define KS_CALL WINAPI
#else
#ifdef __cplusplus
typedef char16_t WCHAR;
#else
#include <uchar.h>
typedef char16_t WCHAR;
#endif
typedef int32_t BOOL;
typedef uint32_t DWORD;
typedef DWORD* PDWORD;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#define KS_TEXT_(s) u##s
#define KS_CALL
#endif

#define KS_TEXT(s) KS_TEXT_(s)

#ifdef __cplusplus
static_assert(sizeof(WCHAR) == 2, "WCHAR must be a UTF-16 code unit");
static_assert(sizeof(BOOL) == 4, "BOOL must be 32 bits");
static_assert(sizeof(DWORD) == 4, "DWORD must be 32 bits");
#endif

#endif /* KS_TYPES_H */
