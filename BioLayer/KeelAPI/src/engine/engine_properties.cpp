// engine_properties.cpp - reading and writing properties through a handle,
// and ending a handle by release or delete.
#include <cstring>

#include "engine/engine.h"
#include "engine/value_rules.h"

namespace keel {
namespace {

// A read answered from a value held in memory, with the rules of a stored
// one: a null buffer asks for the size, a buffer too small is not written.
KA_STATUS ReadHeld(const std::string& value, int32_t capacity, void* buffer, uint32_t* size_out) {
  if (buffer != nullptr) {
    if (value.size() > static_cast<size_t>(capacity)) return KA_E_BUFFER_TOO_SMALL;
    if (!value.empty()) std::memcpy(buffer, value.data(), value.size());
  }
  if (size_out != nullptr) *size_out = static_cast<uint32_t>(value.size());
  return KA_OK;
}

}  // namespace

KA_STATUS Engine::Read(uint32_t* handle, KeelObjectKind kind, int32_t property, int32_t capacity,
                       void* buffer, uint32_t* size_out) {
  int64_t object = 0;
  if (const KA_STATUS s = Subject(handle, kind, &object); s != KA_OK) return s;
  if (const KA_STATUS s = CheckRead(capacity, buffer); s != KA_OK) return s;
  if (IsPerProcess(kind, property)) {
    const auto own = context_.own.find(property);
    if (own != context_.own.end()) return ReadHeld(own->second, capacity, buffer, size_out);
    if (!StartsFromStored(property)) return KA_E_NOT_STORED;
  }
  Transaction txn(Backend());
  if (txn.status() != KA_OK) return txn.status();
  if (const KA_STATUS s = Authenticate(object, property); s != KA_OK) {
    return s == KA_E_END ? KA_E_BAD_HANDLE : s;
  }
  // The backend copies only when the whole value fits, so a buffer that is
  // too small is never written.
  size_t size = 0;
  const int status = backend_->get_property(backend_, object, property, buffer,
                                            static_cast<size_t>(capacity), &size, nullptr);
  if (status == KA_E_END) return KA_E_BAD_HANDLE;  // deleted through another handle
  if (status != KA_OK) return static_cast<KA_STATUS>(status);
  const bool size_query = buffer == nullptr;
  if (!size_query && size > static_cast<size_t>(capacity)) return KA_E_BUFFER_TOO_SMALL;
  if (const KA_STATUS s = txn.Commit(); s != KA_OK) return s;
  if (size_out != nullptr) *size_out = static_cast<uint32_t>(size);
  return KA_OK;
}

KA_STATUS Engine::Authenticate(int64_t object, int32_t property) {
  if (auth_policy_ == nullptr) return KA_OK;  // the default allows: no extra look-up
  size_t size = 0;
  int32_t attribute = 0;
  const int status =
      backend_->get_property(backend_, object, property, nullptr, 0, &size, &attribute);
  if (status == KA_E_NOT_STORED) return KA_OK;  // the read itself answers that
  if (status != KA_OK) return static_cast<KA_STATUS>(status);
  if (attribute != KA_ATTR_SECRET) return KA_OK;
  const int16_t answer = auth_policy_(auth_user_, object, property);
  if (answer == KA_OK) return KA_OK;
  // A refusal must stay a refusal: neither a success nor the busy signal,
  // which would make the engine run the call again.
  return answer > 0 || answer == KEEL_BACKEND_BUSY ? KA_E_AUTH_REFUSED : answer;
}

void Engine::SetAuthPolicy(KeelAuthPolicyFn fn, void* user) {
  auth_policy_ = fn;
  auth_user_ = fn != nullptr ? user : nullptr;
}

// By object id, in one transaction: the write of the store calls and of the
// development interface alike.
KA_STATUS Engine::SetObjectProperty(int64_t object, int32_t property, int32_t attribute,
                                    const void* value, int32_t size) {
  size_t bytes = 0;
  if (const KA_STATUS s = WriteByteCount(value, size, &bytes); s != KA_OK) return s;
  Transaction txn(Backend());
  if (txn.status() != KA_OK) return txn.status();
  const int status = backend_->set_property(backend_, object, property, attribute,
                                            bytes == 0 ? nullptr : value, bytes);
  if (status != KA_OK) return static_cast<KA_STATUS>(status);
  return txn.Commit();
}

KA_STATUS Engine::Write(uint32_t* handle, KeelObjectKind kind, int32_t attribute, int32_t property,
                        const void* value, int32_t size) {
  int64_t object = 0;
  if (const KA_STATUS s = Subject(handle, kind, &object); s != KA_OK) return s;
  if (!IsClientAttribute(attribute) || !IsClientWritable(kind, property)) return KA_E_BAD_ARGUMENT;
  if (IsPerProcess(kind, property)) {
    size_t bytes = 0;
    if (const KA_STATUS s = WriteByteCount(value, size, &bytes); s != KA_OK) return s;
    std::string held(bytes == 0 ? "" : static_cast<const char*>(value), bytes);
    context_.own[property].swap(held);
    return KA_OK;
  }
  const KA_STATUS status = SetObjectProperty(object, property, attribute, value, size);
  return status == KA_E_END ? KA_E_BAD_HANDLE : status;  // deleted through another handle
}

KA_STATUS Engine::Release(uint32_t* handle, KeelObjectKind kind) {
  int64_t object = 0;
  if (const KA_STATUS s = Subject(handle, kind, &object); s != KA_OK) return s;
  if (handles_.FindOpen(*handle)->publishes) {
    // The card this handle created: other processes see it from now on.
    Transaction txn(Backend());
    if (txn.status() != KA_OK) return txn.status();
    const int status = backend_->publish_object(backend_, object);
    // KA_E_END: deleted through another handle, there is nothing to show.
    if (status != KA_OK && status != KA_E_END) return static_cast<KA_STATUS>(status);
    if (const KA_STATUS s = txn.Commit(); s != KA_OK) return s;
  }
  handles_.Close(*handle);
  return KA_OK;
}

KA_STATUS Engine::Delete(uint32_t* handle, KeelObjectKind kind) {
  int64_t object = 0;
  if (const KA_STATUS s = Subject(handle, kind, &object); s != KA_OK) return s;
  Transaction txn(Backend());
  if (txn.status() != KA_OK) return txn.status();
  const int status = backend_->delete_object(backend_, object);
  if (status == KA_E_END) return KA_E_BAD_HANDLE;
  if (status != KA_OK) return static_cast<KA_STATUS>(status);
  if (const KA_STATUS s = txn.Commit(); s != KA_OK) return s;
  handles_.Close(*handle);
  return KA_OK;
}

}  // namespace keel
