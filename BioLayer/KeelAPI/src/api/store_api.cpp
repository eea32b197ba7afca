// store_api.cpp - the 32 exported store functions.  Each one only describes
// itself as a KeelCall and hands the work to the engine through the call
// gate; the rules live in the engine.
#include <algorithm>

#include "KeelAPI.h"
#include "engine/call_gate.h"

using keel::Answer;
using keel::Engine;

namespace {

KeelCall CallOf(KeelFunction function, const uint32_t* handle) {
  KeelCall call{};
  call.function = function;
  call.handle = handle != nullptr ? *handle : 0;
  return call;
}

KeelCall ReadCall(KeelFunction function, const uint32_t* handle, int32_t property,
                  int32_t capacity) {
  KeelCall call = CallOf(function, handle);
  call.property = property;
  call.size = capacity;
  return call;
}

KeelCall WriteCall(KeelFunction function, const uint32_t* handle, int32_t attribute,
                   int32_t property, int32_t size) {
  KeelCall call = CallOf(function, handle);
  call.attribute = attribute;
  call.property = property;
  call.size = size;
  return call;
}

// The read, write, release and delete functions of one kind of object.
KA_STATUS Read(KeelFunction function, KeelObjectKind kind, uint32_t* handle, int32_t property,
               int32_t capacity, void* buffer, uint32_t* size_out) {
  return Answer(ReadCall(function, handle, property, capacity), nullptr, [&](Engine& e) {
    return e.Read(handle, kind, property, capacity, buffer, size_out);
  });
}

KA_STATUS Write(KeelFunction function, KeelObjectKind kind, uint32_t* handle, int32_t attribute,
                int32_t property, const void* value, int32_t size) {
  return Answer(WriteCall(function, handle, attribute, property, size), nullptr,
                [&](Engine& e) { return e.Write(handle, kind, attribute, property, value, size); });
}

KA_STATUS Release(KeelFunction function, KeelObjectKind kind, uint32_t* handle) {
  return Answer(CallOf(function, handle), nullptr,
                [&](Engine& e) { return e.Release(handle, kind); });
}

KA_STATUS Delete(KeelFunction function, KeelObjectKind kind, uint32_t* handle) {
  return Answer(CallOf(function, handle), nullptr,
                [&](Engine& e) { return e.Delete(handle, kind); });
}

}  // namespace

extern "C" {

KA_STATUS KEEL_CALL KA_Init(const uint8_t* zeros30, const char* appName, uint32_t zero,
                            uint32_t* context) {
  KeelCall call = CallOf(KF_Init, nullptr);  // takes no handle: *context is output
  return Answer(call, appName, [&](Engine& e) { return e.Init(zeros30, appName, zero, context); });
}

KA_STATUS KEEL_CALL KA_Free(uint32_t* context) {
  return Answer(CallOf(KF_Free, context), nullptr, [&](Engine& e) { return e.Free(context); });
}

KA_STATUS KEEL_CALL KA_Execute(int16_t command, const char* payload, uint32_t* length) {
  KeelCall call = CallOf(KF_Execute, nullptr);
  call.command = command;
  const uint32_t payload_length = length != nullptr ? *length : 0;
  call.size = static_cast<int32_t>(std::min<uint32_t>(payload_length, INT32_MAX));
  // The payload need not be NUL-terminated: copy at most *length bytes, and
  // none without a length (the call is refused, the payload never read).
  const size_t limit = std::min<size_t>(payload_length, keel::kMaxValueBytes);
  return Answer(call, payload, limit,
                [&](Engine& e) { return e.Execute(command, payload, length); });
}

KA_STATUS KEEL_CALL KA_GetApp(uint32_t* context, uint32_t zero, uint32_t* app) {
  return Answer(CallOf(KF_GetApp, context), nullptr,
                [&](Engine& e) { return e.GetApp(context, zero, app); });
}

KA_STATUS KEEL_CALL KA_GetIdentity(uint32_t* context, uint32_t zero, uint32_t* identity) {
  return Answer(CallOf(KF_GetIdentity, context), nullptr,
                [&](Engine& e) { return e.GetIdentity(context, zero, identity); });
}

KA_STATUS KEEL_CALL KA_GetProperty(uint32_t* context, int32_t property, int32_t capacity,
                                   void* buffer, uint32_t* sizeOut) {
  return Read(KF_GetProperty, KEEL_CONTEXT, context, property, capacity, buffer, sizeOut);
}

KA_STATUS KEEL_CALL KA_SetProperty(uint32_t* context, int32_t property, const void* value,
                                   int32_t size) {
  return Write(KF_SetProperty, KEEL_CONTEXT, context, KA_ATTR_PLAIN, property, value, size);
}

KA_STATUS KEEL_CALL KA_CreateShortcut(uint32_t* context, uint32_t* shortcut) {
  return Answer(CallOf(KF_CreateShortcut, context), nullptr,
                [&](Engine& e) { return e.CreateShortcut(context, shortcut); });
}

KA_STATUS KEEL_CALL KA_GetShortcut(uint32_t* context, const char* region, int16_t mode,
                                   uint32_t* shortcut) {
  KeelCall call = CallOf(KF_GetShortcut, context);
  call.mode = mode;
  return Answer(call, region,
                [&](Engine& e) { return e.GetShortcut(context, region, mode, shortcut); });
}

KA_STATUS KEEL_CALL KA_Id_GetProperty(uint32_t* identity, int32_t property, int32_t capacity,
                                      void* buffer, uint32_t* sizeOut) {
  return Read(KF_Id_GetProperty, KEEL_IDENTITY, identity, property, capacity, buffer, sizeOut);
}

KA_STATUS KEEL_CALL KA_Id_SetProperty(uint32_t* identity, int32_t attribute, int32_t property,
                                      const void* value, int32_t size) {
  return Write(KF_Id_SetProperty, KEEL_IDENTITY, identity, attribute, property, value, size);
}

KA_STATUS KEEL_CALL KA_Id_Release(uint32_t* identity) {
  return Release(KF_Id_Release, KEEL_IDENTITY, identity);
}

KA_STATUS KEEL_CALL KA_Id_GetCard(uint32_t* identity, const char* domain, int32_t category,
                                  int16_t mode, uint32_t* card) {
  KeelCall call = CallOf(KF_Id_GetCard, identity);
  call.category = category;
  call.mode = mode;
  return Answer(call, domain,
                [&](Engine& e) { return e.GetCard(identity, domain, category, mode, card); });
}

KA_STATUS KEEL_CALL KA_Id_GetCardByRefNum(uint32_t* identity, int64_t refNum, uint32_t* card) {
  KeelCall call = CallOf(KF_Id_GetCardByRefNum, identity);
  call.ref_num = refNum;
  return Answer(call, nullptr,
                [&](Engine& e) { return e.GetCardByRefNum(identity, refNum, card); });
}

KA_STATUS KEEL_CALL KA_Id_CreateCard(uint32_t* identity, const char* domain, int32_t category,
                                     uint32_t* card) {
  KeelCall call = CallOf(KF_Id_CreateCard, identity);
  call.category = category;
  return Answer(call, domain,
                [&](Engine& e) { return e.CreateCard(identity, domain, category, card); });
}

KA_STATUS KEEL_CALL KA_Id_GetMacro(uint32_t* identity, uint32_t finger, int16_t mode,
                                   uint32_t* macro) {
  KeelCall call = CallOf(KF_Id_GetMacro, identity);
  call.finger = finger;
  call.mode = mode;
  return Answer(call, nullptr,
                [&](Engine& e) { return e.GetMacro(identity, finger, mode, macro); });
}

KA_STATUS KEEL_CALL KA_Id_CreateMacro(uint32_t* identity, uint32_t finger, uint32_t* macro) {
  KeelCall call = CallOf(KF_Id_CreateMacro, identity);
  call.finger = finger;
  return Answer(call, nullptr, [&](Engine& e) { return e.CreateMacro(identity, finger, macro); });
}

KA_STATUS KEEL_CALL KA_App_GetProperty(uint32_t* app, int32_t property, int32_t capacity,
                                       void* buffer, uint32_t* sizeOut) {
  return Read(KF_App_GetProperty, KEEL_APP, app, property, capacity, buffer, sizeOut);
}

KA_STATUS KEEL_CALL KA_App_SetProperty(uint32_t* app, int32_t property, const void* value,
                                       int32_t size) {
  return Write(KF_App_SetProperty, KEEL_APP, app, KA_ATTR_PLAIN, property, value, size);
}

KA_STATUS KEEL_CALL KA_App_Release(uint32_t* app) { return Release(KF_App_Release, KEEL_APP, app); }

KA_STATUS KEEL_CALL KA_Shortcut_GetProperty(uint32_t* shortcut, int32_t property, int32_t capacity,
                                            void* buffer, uint32_t* sizeOut) {
  return Read(KF_Shortcut_GetProperty, KEEL_SHORTCUT, shortcut, property, capacity, buffer,
              sizeOut);
}

KA_STATUS KEEL_CALL KA_Shortcut_SetProperty(uint32_t* shortcut, int32_t property, const void* value,
                                            int32_t size) {
  return Write(KF_Shortcut_SetProperty, KEEL_SHORTCUT, shortcut, KA_ATTR_PLAIN, property, value,
               size);
}

KA_STATUS KEEL_CALL KA_Shortcut_Delete(uint32_t* shortcut) {
  return Delete(KF_Shortcut_Delete, KEEL_SHORTCUT, shortcut);
}

KA_STATUS KEEL_CALL KA_Shortcut_Release(uint32_t* shortcut) {
  return Release(KF_Shortcut_Release, KEEL_SHORTCUT, shortcut);
}

KA_STATUS KEEL_CALL KA_Card_GetProperty(uint32_t* card, int32_t property, int32_t capacity,
                                        void* buffer, uint32_t* sizeOut) {
  return Read(KF_Card_GetProperty, KEEL_CARD, card, property, capacity, buffer, sizeOut);
}

KA_STATUS KEEL_CALL KA_Card_SetProperty(uint32_t* card, int32_t attribute, int32_t property,
                                        const void* value, int32_t size) {
  return Write(KF_Card_SetProperty, KEEL_CARD, card, attribute, property, value, size);
}

KA_STATUS KEEL_CALL KA_Card_Delete(uint32_t* card) {
  return Delete(KF_Card_Delete, KEEL_CARD, card);
}

KA_STATUS KEEL_CALL KA_Card_Release(uint32_t* card) {
  return Release(KF_Card_Release, KEEL_CARD, card);
}

KA_STATUS KEEL_CALL KA_Macro_GetProperty(uint32_t* macro, int32_t property, int32_t capacity,
                                         void* buffer, uint32_t* sizeOut) {
  return Read(KF_Macro_GetProperty, KEEL_MACRO, macro, property, capacity, buffer, sizeOut);
}

KA_STATUS KEEL_CALL KA_Macro_SetProperty(uint32_t* macro, int32_t property, const void* value,
                                         int32_t size) {
  return Write(KF_Macro_SetProperty, KEEL_MACRO, macro, KA_ATTR_PLAIN, property, value, size);
}

KA_STATUS KEEL_CALL KA_Macro_Delete(uint32_t* macro) {
  return Delete(KF_Macro_Delete, KEEL_MACRO, macro);
}

KA_STATUS KEEL_CALL KA_Macro_Release(uint32_t* macro) {
  return Release(KF_Macro_Release, KEEL_MACRO, macro);
}

}  // extern "C"
