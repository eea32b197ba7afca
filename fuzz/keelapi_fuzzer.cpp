// keelapi_fuzzer.cpp - the store's thirty-two functions in any order.
//
// Each input is a run of up to 64 calls on a fresh store in memory.  Every
// call is made on a handle variable of the input's choosing: one of eight
// that earlier calls filled (so handles are used after their release, their
// object's deletion or the last KA_Free, and as the wrong kind), a value the
// input makes up, or a null pointer; its other arguments are drawn towards
// the edges of the interface (sizes -2 .. 1 MiB + 1 and beyond, negative
// capacities, modes out of range, null texts and out-pointers).  Every
// buffer is exactly as large as the call says, so a read or write past it
// is caught.
//
// Besides crashes, one promise of the interface is checked on every call: a
// call that fails leaves the caller's out-parameter (a handle, the size of a
// read) as it was.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzRecords.h"
#include "KeelAPITest.h"

namespace {

using fuzz::EdgeOr;

constexpr int kMaxCalls = 64;
constexpr size_t kSlots = 8;
constexpr uint32_t kUntouched = 0xA5A5A5A5u;
constexpr int32_t kMaxValue = 1048576;

// The caller's handle variables.
uint32_t g_slots[kSlots];

// The handle variable a call is made on.
class HandleArg {
 public:
  explicit HandleArg(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 15)) {
      case 0: pointer_ = nullptr; break;
      case 1:
        made_up_ = EdgeOr<uint32_t>(in, {0, 1, 2, 0xFFFFFFFFu, 0x80000000u});
        pointer_ = &made_up_;
        break;
      default: pointer_ = &g_slots[in.ConsumeIntegralInRange<size_t>(0, kSlots - 1)];
    }
  }
  uint32_t* get() const { return pointer_; }

 private:
  uint32_t made_up_ = 0;
  uint32_t* pointer_;
};

// Where a new handle goes: a slot, now and then null.  Remembers the value
// it held so that a failed call can be seen to leave it alone.
class OutHandle {
 public:
  explicit OutHandle(FuzzedDataProvider& in)
      : pointer_(in.ConsumeIntegralInRange(0, 15) == 0
                     ? nullptr
                     : &g_slots[in.ConsumeIntegralInRange<size_t>(0, kSlots - 1)]),
        before_(pointer_ ? *pointer_ : 0) {}
  uint32_t* get() const { return pointer_; }
  // A failed call, KA_E_END included, writes nothing.
  void Check(KA_STATUS status) const {
    if (status < 0 && status != KA_E_ALREADY_INIT && pointer_ && *pointer_ != before_) std::abort();
  }

 private:
  uint32_t* pointer_;
  uint32_t before_;
};

int32_t Property(FuzzedDataProvider& in) {
  return EdgeOr<int32_t>(in, {1, 4, 103, 104, 108, 2001, 5, 0, -1, INT32_MAX, INT32_MIN});
}
int16_t Mode(FuzzedDataProvider& in) { return EdgeOr<int16_t>(in, {1, 2, 3, 0, 4, -1}); }
int32_t Attribute(FuzzedDataProvider& in) {
  return EdgeOr<int32_t>(in, {KA_ATTR_PLAIN, KA_ATTR_SECRET, 0, 11, 20});
}
int32_t Category(FuzzedDataProvider& in) { return EdgeOr<int32_t>(in, {1, 998, 999, 0, -1}); }
uint32_t Zero(FuzzedDataProvider& in) { return EdgeOr<uint32_t>(in, {0, 0, 0, 1}); }

// A text argument (domain, region, application name): null, or terminated.
class TextArg {
 public:
  TextArg(FuzzedDataProvider& in, std::initializer_list<const char*> usual)
      : null_(in.ConsumeIntegralInRange(0, 7) == 0),
        text_(in.ConsumeBool() ? std::string(fuzz::Pick(in, std::span(usual.begin(), usual.size())))
                               : in.ConsumeRandomLengthString(300)) {}
  const char* get() const { return null_ ? nullptr : text_.c_str(); }

 private:
  bool null_;
  std::string text_;
};

// A read: its capacity and a buffer of that many bytes (or null), and the
// size out-parameter (or null).  A capacity above the largest value comes
// with a buffer of the largest value's size, all a read can fill.
class ReadArgs {
 public:
  explicit ReadArgs(FuzzedDataProvider& in)
      : capacity_(EdgeOr<int32_t>(in, {0, 0, 1, 3, 4, 8, 300, -1, INT32_MIN})),
        buffer_(static_cast<size_t>(std::clamp(capacity_, 0, kMaxValue))),
        null_buffer_(capacity_ == 0 ? in.ConsumeBool() : in.ConsumeIntegralInRange(0, 7) == 0),
        null_size_(in.ConsumeIntegralInRange(0, 7) == 0) {}
  int32_t capacity() const { return capacity_; }
  void* buffer() { return null_buffer_ ? nullptr : buffer_.data(); }
  uint32_t* size() { return null_size_ ? nullptr : &size_; }
  // A read that fails writes neither the buffer's size nor, when too small,
  // anything at all.
  void Check(KA_STATUS status) const {
    if (status < 0 && size_ != kUntouched) std::abort();
  }

 private:
  int32_t capacity_;
  std::vector<uint8_t> buffer_;
  bool null_buffer_;
  bool null_size_;
  uint32_t size_ = kUntouched;
};

// A write: its size and a value of exactly that many bytes (a terminated
// text for -1), or null.  Sizes beyond the largest value come with a small
// buffer: the store must refuse them before it reads a byte.
class WriteArgs {
 public:
  explicit WriteArgs(FuzzedDataProvider& in)
      : size_(EdgeOr<int32_t>(in, {-1, 0, 1, 4, 16, kMaxValue, -2, kMaxValue + 1, INT32_MAX,
                                   INT32_MIN})),
        null_(in.ConsumeIntegralInRange(0, 7) == 0) {
    if (size_ == -1) {
      const std::string text = in.ConsumeRandomLengthString(300);
      value_.assign(text.begin(), text.end());
      value_.push_back(0);
    } else {
      value_ = in.ConsumeBytes<uint8_t>(std::min<int32_t>(std::max(size_, 0), 300));
      if (size_ >= 0 && size_ <= kMaxValue) value_.resize(size_, in.ConsumeIntegral<uint8_t>());
    }
  }
  const void* value() const { return null_ ? nullptr : value_.data(); }
  int32_t size() const { return size_; }

 private:
  int32_t size_;
  bool null_;
  std::vector<uint8_t> value_;
};

// The execute command's payload and its length, passed by address.
class ExecuteArgs {
 public:
  explicit ExecuteArgs(FuzzedDataProvider& in)
      : payload_(in.ConsumeBytes<char>(in.ConsumeIntegralInRange(0, 300))),
        null_payload_(in.ConsumeIntegralInRange(0, 7) == 0),
        null_length_(in.ConsumeIntegralInRange(0, 15) == 0),
        length_(null_payload_ ? EdgeOr<uint32_t>(in, {0, 1, 0xFFFFFFFFu})
                              : in.ConsumeIntegralInRange<uint32_t>(
                                    0, static_cast<uint32_t>(payload_.size()))) {}
  const char* payload() const { return null_payload_ ? nullptr : payload_.data(); }
  uint32_t* length() { return null_length_ ? nullptr : &length_; }

 private:
  std::vector<char> payload_;
  bool null_payload_;
  bool null_length_;
  uint32_t length_;
};

KA_STATUS Init(FuzzedDataProvider& in) {
  std::vector<uint8_t> zeros(30, 0);
  if (in.ConsumeIntegralInRange(0, 7) == 0) zeros[in.ConsumeIntegralInRange(0, 29)] = 1;
  const bool nullZeros = in.ConsumeIntegralInRange(0, 15) == 0;
  TextArg app(in, {"fuzz", "KSPasswordReplacement", ""});
  const uint32_t zero = Zero(in);
  OutHandle context(in);
  const KA_STATUS status = KA_Init(nullZeros ? nullptr : zeros.data(), app.get(), zero, context.get());
  context.Check(status);
  return status;
}

// A read through one of the six property getters.
template <typename Getter>
void Read(FuzzedDataProvider& in, Getter get) {
  HandleArg handle(in);
  const int32_t property = Property(in);
  ReadArgs read(in);
  read.Check(get(handle.get(), property, read.capacity(), read.buffer(), read.size()));
}

// A write through a setter that takes no attribute.
template <typename Setter>
void Write(FuzzedDataProvider& in, Setter set) {
  HandleArg handle(in);
  const int32_t property = Property(in);
  WriteArgs write(in);
  set(handle.get(), property, write.value(), write.size());
}

// A write through a setter that takes an attribute.
template <typename Setter>
void WriteWithAttribute(FuzzedDataProvider& in, Setter set) {
  HandleArg handle(in);
  const int32_t attribute = Attribute(in);
  const int32_t property = Property(in);
  WriteArgs write(in);
  set(handle.get(), attribute, property, write.value(), write.size());
}

// A call that opens a handle from the one it is made on.
template <typename Opener>
void Open(FuzzedDataProvider& in, Opener open) {
  HandleArg handle(in);
  OutHandle out(in);
  out.Check(open(handle.get(), out.get()));
}

void Call(FuzzedDataProvider& in) {
  switch (static_cast<KeelFunction>(in.ConsumeIntegralInRange(0, KF_Count - 1))) {
    case KF_Init: Init(in); break;
    case KF_Free: KA_Free(HandleArg(in).get()); break;
    case KF_Execute: {
      const int16_t command = EdgeOr<int16_t>(in, {2, 3, 0, 1, 4, -1});
      ExecuteArgs args(in);
      KA_Execute(command, args.payload(), args.length());
      break;
    }
    case KF_GetApp: {
      const uint32_t zero = Zero(in);
      Open(in, [zero](uint32_t* h, uint32_t* out) { return KA_GetApp(h, zero, out); });
      break;
    }
    case KF_GetIdentity: {
      const uint32_t zero = Zero(in);
      Open(in, [zero](uint32_t* h, uint32_t* out) { return KA_GetIdentity(h, zero, out); });
      break;
    }
    case KF_GetProperty: Read(in, KA_GetProperty); break;
    case KF_SetProperty: Write(in, KA_SetProperty); break;
    case KF_CreateShortcut: Open(in, KA_CreateShortcut); break;
    case KF_GetShortcut: {
      TextArg region(in, {"US", "us", ""});
      const int16_t mode = Mode(in);
      Open(in, [&](uint32_t* h, uint32_t* out) { return KA_GetShortcut(h, region.get(), mode, out); });
      break;
    }
    case KF_Id_GetProperty: Read(in, KA_Id_GetProperty); break;
    case KF_Id_SetProperty: WriteWithAttribute(in, KA_Id_SetProperty); break;
    case KF_Id_Release: KA_Id_Release(HandleArg(in).get()); break;
    case KF_Id_GetCard: {
      TextArg domain(in, {"example.com", "a", ""});
      const int32_t category = Category(in);
      const int16_t mode = Mode(in);
      Open(in, [&](uint32_t* h, uint32_t* out) {
        return KA_Id_GetCard(h, domain.get(), category, mode, out);
      });
      break;
    }
    case KF_Id_GetCardByRefNum: {
      const int64_t refNum = EdgeOr<int64_t>(in, {1, 2, 0, -1, INT64_MAX});
      Open(in, [refNum](uint32_t* h, uint32_t* out) { return KA_Id_GetCardByRefNum(h, refNum, out); });
      break;
    }
    case KF_Id_CreateCard: {
      TextArg domain(in, {"example.com", "a", ""});
      const int32_t category = Category(in);
      Open(in, [&](uint32_t* h, uint32_t* out) {
        return KA_Id_CreateCard(h, domain.get(), category, out);
      });
      break;
    }
    case KF_Id_GetMacro: {
      const uint32_t finger = EdgeOr<uint32_t>(in, {1, 2, 512, 0, 0x3FF});
      const int16_t mode = Mode(in);
      Open(in, [&](uint32_t* h, uint32_t* out) { return KA_Id_GetMacro(h, finger, mode, out); });
      break;
    }
    case KF_Id_CreateMacro: {
      const uint32_t finger = EdgeOr<uint32_t>(in, {1, 2, 512, 0, 0x3FF});
      Open(in, [finger](uint32_t* h, uint32_t* out) { return KA_Id_CreateMacro(h, finger, out); });
      break;
    }
    case KF_App_GetProperty: Read(in, KA_App_GetProperty); break;
    case KF_App_SetProperty: Write(in, KA_App_SetProperty); break;
    case KF_App_Release: KA_App_Release(HandleArg(in).get()); break;
    case KF_Shortcut_GetProperty: Read(in, KA_Shortcut_GetProperty); break;
    case KF_Shortcut_SetProperty: Write(in, KA_Shortcut_SetProperty); break;
    case KF_Shortcut_Delete: KA_Shortcut_Delete(HandleArg(in).get()); break;
    case KF_Shortcut_Release: KA_Shortcut_Release(HandleArg(in).get()); break;
    case KF_Card_GetProperty: Read(in, KA_Card_GetProperty); break;
    case KF_Card_SetProperty: WriteWithAttribute(in, KA_Card_SetProperty); break;
    case KF_Card_Delete: KA_Card_Delete(HandleArg(in).get()); break;
    case KF_Card_Release: KA_Card_Release(HandleArg(in).get()); break;
    case KF_Macro_GetProperty: Read(in, KA_Macro_GetProperty); break;
    case KF_Macro_SetProperty: Write(in, KA_Macro_SetProperty); break;
    case KF_Macro_Delete: KA_Macro_Delete(HandleArg(in).get()); break;
    case KF_Macro_Release: KA_Macro_Release(HandleArg(in).get()); break;
    case KF_Count: break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  if (KeelTest_Reset("memory") != KA_OK) std::abort();
  // A short trace, so that dropping its oldest calls is exercised too.
  KeelTest_SetTraceLimit(in.ConsumeIntegralInRange<size_t>(0, 8));
  for (uint32_t& slot : g_slots) slot = 0;
  for (int n = 0; n < kMaxCalls && in.remaining_bytes() > 0; ++n) Call(in);
  return 0;
}
