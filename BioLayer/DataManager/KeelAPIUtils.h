// KeelAPIUtils.h - every call DataManager makes to the credential store.
//
// Each operation makes one store call through the binding and, when the
// store answers with a negative status, writes one failure line naming the
// store function and the status, under this class's source file and the
// operation's own qualified name.  The object operations hand the status
// back unchanged; the context-level operations answer a BOOL.  Nothing is
// retried.
//
// The class holds nothing: it works on the process-wide handles
// (StoreHandles.h) and on object handles that callers keep in their own
// variables, passed by address.
#ifndef DM_KEEL_API_UTILS_H
#define DM_KEEL_API_UTILS_H

#include <cstdint>

#include "KSTypes.h"
#include "KeelAPI.h"

namespace dm {

class KeelAPIUtils {
 public:
  // Initialises the store once per process under `appName`.  Answers 1 when
  // the context is (or already was) open, 0 after a failed KA_Init, which
  // leaves the context at 0 so the next opening tries again.
  BOOL InitKeelAPI(const char* appName);
  // Ask the store for the App and Identity objects of the context.
  BOOL GetApp();
  BOOL GetIdentity();

  // Object operations: one store call each, status handed back.
  KA_STATUS SetAppProperty(int32_t property, const void* value, int32_t size);
  KA_STATUS GetAppProperty(int32_t property, int32_t capacity, void* buffer, uint32_t* size);
  KA_STATUS GetIdentityProperty(int32_t property, int32_t capacity, void* buffer, uint32_t* size);
  KA_STATUS CreateShortcut(uint32_t* shortcut);
  KA_STATUS DeleteShortcut(uint32_t* shortcut);
  KA_STATUS ReleaseShortcut(uint32_t* shortcut);
  KA_STATUS SetShortcutProperty(uint32_t* shortcut, int32_t property, const void* value,
                                int32_t size);
  KA_STATUS GetShortcutProperty(uint32_t* shortcut, int32_t property, int32_t capacity,
                                void* buffer, uint32_t* size);
  KA_STATUS CreateCard(const char* domain, int32_t category, uint32_t* card);
  KA_STATUS GetCard(int64_t refNum, uint32_t* card);
  KA_STATUS DeleteCard(uint32_t* card);
  KA_STATUS ReleaseCard(uint32_t* card);
  KA_STATUS SetCardProperty(uint32_t* card, int32_t attribute, int32_t property,
                            const void* value, int32_t size);
  KA_STATUS GetCardProperty(uint32_t* card, int32_t property, int32_t capacity, void* buffer,
                            uint32_t* size);
  KA_STATUS CreateMacro(uint32_t finger, uint32_t* macro);
  KA_STATUS DeleteMacro(uint32_t* macro);
  KA_STATUS ReleaseMacro(uint32_t* macro);
  KA_STATUS SetMacroProperty(uint32_t* macro, int32_t property, const void* value, int32_t size);
  KA_STATUS GetMacroProperty(uint32_t* macro, int32_t property, int32_t capacity, void* buffer,
                             uint32_t* size);

  // Enumerators: mode 1 first, 2 next (3, cards only: the first card of the
  // domain).  They log nothing; a negative status ends the walk.
  KA_STATUS EnumCards(const char* domain, int32_t category, int16_t mode, uint32_t* card);
  KA_STATUS EnumMacros(uint32_t finger, int16_t mode, uint32_t* macro);
  KA_STATUS EnumShortcuts(int16_t mode, uint32_t* shortcut);

  // Context-level operations: 1 for success, 0 for failure.
  BOOL SetIdentityProperty(int32_t attribute, int32_t property, const char* text);
  // The enrolled-finger count, 0 to 10; a larger answer is refused.
  BOOL EnumEnrollments(DWORD* count);
  BOOL SetTimestamp();
  // The getters leave *value untouched when the store read fails.
  BOOL GetBiometricAttemptLimit(DWORD* limit);
  BOOL SetBiometricAttemptLimit(DWORD limit);
  BOOL GetSkinIndex(DWORD* index);
  BOOL SetSkinIndex(DWORD index);
  BOOL SetBioModuleParent(const void* parentWindow);
  BOOL StartAuthentication();
};

}  // namespace dm

#endif  // DM_KEEL_API_UTILS_H
