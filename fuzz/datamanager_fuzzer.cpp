// datamanager_fuzzer.cpp - drives the forty exports of DataManager.h.
//
// Each input is one short session on a fresh store, in three parts:
//   1. what the store holds: cards, macros, shortcuts and the context,
//      identity and application objects, with properties of any bytes and
//      sizes (texts unterminated, invalid UTF-8, longer than any buffer);
//   2. how the store answers: calls of a function (the n-th, or one
//      property) answered with a status of the input's choosing, the
//      authentication and device policies' answers, the registration
//      server's answer;
//   3. up to sixteen export calls, with records of the input's bytes,
//      capacities from 0 to 0xFFFFFFFF and null pointers wherever the
//      interface lets a caller pass one.
// The store is the development store, loaded by DataManager from its store
// folder as in the DataManager suites and scripted through its development
// interface; every log line is formatted (a sink takes them), none written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "DataManager.h"
#include "FuzzRecords.h"
#include "KSLogSink.h"
#include "KeelAPITest.h"
#include "StoreHandles.h"
#include "platform/Env.h"
#include "support/StoreScript.h"

namespace {

using fuzz::EdgeOr;
using fuzz::RecordsOf;
using fuzz::TextField;

constexpr int kMaxSeeds = 8;
constexpr int kMaxCalls = 16;
constexpr DWORD kMaxInputRecords = 2;  // SetQL, DeleteQL
// More records than one input can put in the store (seeds, plus at most
// kMaxInputRecords per call), so that a caller's array of this many records
// honestly has room for any capacity above it.
constexpr DWORD kMaxOutRecords = kMaxSeeds + kMaxCalls * kMaxInputRecords + 1;

// ---- The caller's records ------------------------------------------------

#define DM_TEXT(Record, field) \
  TextField { offsetof(Record, field), sizeof(Record::field) / sizeof(WCHAR) }

constexpr TextField kDomainTexts[] = {DM_TEXT(KS_DOMAIN, Domain)};
constexpr TextField kProfileTexts[] = {DM_TEXT(KS_PROFILE, UserName),
                                       DM_TEXT(KS_PROFILE, Password),
                                       DM_TEXT(KS_PROFILE, Text3101),
                                       DM_TEXT(KS_PROFILE, Text105)};
constexpr TextField kQlTexts[] = {DM_TEXT(KS_QL, Url), DM_TEXT(KS_QL, LoginURL)};
// The three layouts share their storage; a terminator in every text field
// of each leaves whichever the type picks terminated.
constexpr TextField kShortcutTexts[] = {
    TextField{offsetof(KS_SHORTCUT, Web.Url), 2048},
    TextField{offsetof(KS_SHORTCUT, Web.FullAddr), 2048},
    TextField{offsetof(KS_SHORTCUT, Web.IconRef), 2048},
    TextField{offsetof(KS_SHORTCUT, Web.Tip), 256},
    TextField{offsetof(KS_SHORTCUT, Local.IconRef), 2048},
    TextField{offsetof(KS_SHORTCUT, Local.Tip), 256},
    TextField{offsetof(KS_SHORTCUT, Action.IconRef), 2048},
    TextField{offsetof(KS_SHORTCUT, Action.Tip), 256}};
constexpr TextField kVcardTexts[] = {
    DM_TEXT(KS_VCARD, Nickname), DM_TEXT(KS_VCARD, FullName),    DM_TEXT(KS_VCARD, Location),
    DM_TEXT(KS_VCARD, Email),    DM_TEXT(KS_VCARD, Website),     DM_TEXT(KS_VCARD, PhoneMobile),
    DM_TEXT(KS_VCARD, SkypeID)};
// A caller's buffer of 256 characters (the one-time-password exports).
struct Chars256 {
  WCHAR text[256];
};
constexpr TextField kCharsTexts[] = {DM_TEXT(Chars256, text)};

// One record, or (where the interface allows it) now and then none.
template <typename T>
RecordsOf<T> One(FuzzedDataProvider& in, std::span<const TextField> texts, bool nullable = true) {
  const bool none = nullable && in.ConsumeIntegralInRange(0, 7) == 0;
  return RecordsOf<T>(in, none ? 0 : 1, texts);
}

// A caller's output array and the capacity it claims: a null array, or one
// with room for the capacity (never more than the store can fill).
template <typename T>
struct OutArray {
  OutArray(FuzzedDataProvider& in, std::span<const TextField> texts)
      : capacity(EdgeOr<DWORD>(in, {0, 1, 2, 3, 8, kMaxOutRecords, 0xFFFFFFFFu})),
        records(in, in.ConsumeIntegralInRange(0, 4) == 0 ? 0 : std::max<DWORD>(
                    1, std::min(capacity, kMaxOutRecords)), texts) {}
  DWORD capacity;
  RecordsOf<T> records;
};

// A count out-parameter: its address, or now and then null.
struct Count {
  explicit Count(FuzzedDataProvider& in) : null(in.ConsumeIntegralInRange(0, 7) == 0) {}
  PDWORD get() { return null ? nullptr : &value; }
  bool null;
  DWORD value = 0xCCCCCCCCu;
};

KS_PROFILE_TYPE ProfileType(FuzzedDataProvider& in) {
  return EdgeOr<KS_PROFILE_TYPE>(in, {KS_PROFILE_APP, KS_PROFILE_WEB, 0, 3});
}
KS_QL_TYPE TargetType(FuzzedDataProvider& in) { return EdgeOr<KS_QL_TYPE>(in, {WEB, LOCAL, ACTION, 0, 4}); }
teKM_FINGER_INDEX Finger(FuzzedDataProvider& in) {
  return EdgeOr<teKM_FINGER_INDEX>(in, {1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 0, 3, 0x3FF, 0x400});
}

// Records carry their type first; the type chosen for them is usually the
// call's own type.
template <typename T>
void SetTypes(FuzzedDataProvider& in, T* records, DWORD count, KS_QL_TYPE type) {
  for (DWORD i = 0; records != nullptr && i < count; ++i) {
    records[i].Type = in.ConsumeBool() ? type : TargetType(in);
  }
}

// ---- What the store holds ------------------------------------------------

constexpr const char* kAppNames[] = {"KSPasswordReplacement", "KSTouchControl", "KSAPPControl"};
constexpr int32_t kProperties[] = {1,    2,    3,    4,    5,    6,    20,   21,   22,   100,
                                   101,  102,  103,  104,  105,  108,  1000, 1001, 1002, 1003,
                                   1004, 1007, 1010, 1021, 1022, 1023, 1999, 2001, 3001, 3002,
                                   3003, 3004, 3005, 3010, 3011, 3019, 3101};

// A stored value: a number, a text of the input's bytes, or such a text
// stretched to a size around the buffers the library reads with.
std::vector<uint8_t> StoredValue(FuzzedDataProvider& in) {
  if (in.ConsumeBool()) {
    const uint32_t number = EdgeOr<uint32_t>(in, {0, 1, 2, 3, 10, 0xFFFFFFFFu});
    return std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(&number),
                                reinterpret_cast<const uint8_t*>(&number) + sizeof number);
  }
  std::vector<uint8_t> value = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange(0, 96));
  if (in.ConsumeIntegralInRange(0, 3) == 0) {
    const size_t size = in.PickValueInArray({511, 512, 513, 4095, 4096, 4097, 6144, 6145, 8193});
    value.resize(size, in.ConsumeIntegral<uint8_t>());
  }
  return value;
}

int64_t SeedObject(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0: {
      const std::string domain = in.ConsumeRandomLengthString(64);
      return KeelTest_SeedCard(domain.c_str(), EdgeOr<int32_t>(in, {998, 999, 0}));
    }
    case 1: return KeelTest_SeedMacro(Finger(in));
    case 2: return KeelTest_SeedShortcut();
    case 3: return KeelTest_ContextObject();
    case 4: return KeelTest_IdentityObject();
    default: return KeelTest_AppObject(in.PickValueInArray(kAppNames));
  }
}

void Seed(FuzzedDataProvider& in) {
  for (int n = in.ConsumeIntegralInRange(0, kMaxSeeds); n > 0; --n) {
    const int64_t object = SeedObject(in);
    if (object <= 0) continue;
    for (int p = in.ConsumeIntegralInRange(0, 4); p > 0; --p) {
      const int32_t property = EdgeOr(in, kProperties);
      const int32_t attribute = in.ConsumeBool() ? KA_ATTR_PLAIN : KA_ATTR_SECRET;
      const std::vector<uint8_t> value = StoredValue(in);
      KeelTest_SetProperty(object, property, attribute, value.data(),
                           static_cast<int32_t>(value.size()));
    }
  }
}

// ---- How the store and the platform answer ---------------------------------

KA_STATUS Status(FuzzedDataProvider& in) {
  return EdgeOr<KA_STATUS>(in, {KA_E_END, KA_E_BAD_HANDLE, KA_E_ALREADY_INIT, KA_E_BAD_ARGUMENT,
                                KA_E_BUFFER_TOO_SMALL, KA_E_AUTH_REFUSED, KA_E_STORAGE,
                                KA_E_AUTH_CANCELLED, KA_E_NOT_INITIALIZED, KA_E_NOT_STORED,
                                KA_OK, 1});
}

// Answers a policy gives in turn, over and over; none: every call allowed.
struct PolicyAnswers {
  std::vector<KA_STATUS> answers;
  size_t next = 0;
  KA_STATUS Next() { return answers.empty() ? KA_OK : answers[next++ % answers.size()]; }
};
PolicyAnswers g_auth, g_device;

int16_t AuthAnswer(void* user, int64_t, int32_t) { return static_cast<PolicyAnswers*>(user)->Next(); }
int16_t DeviceAnswer(void* user, int16_t, const char*, uint32_t) {
  return static_cast<PolicyAnswers*>(user)->Next();
}

void ScriptPolicy(FuzzedDataProvider& in, PolicyAnswers& policy) {
  policy = PolicyAnswers{};
  for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) policy.answers.push_back(Status(in));
}

void ScriptStore(FuzzedDataProvider& in, dm::test::StoreScript& script) {
  for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n) {
    auto& rule = script.Answer(static_cast<KeelFunction>(in.ConsumeIntegralInRange(0, KF_Count - 1)),
                               Status(in));
    rule.OnCall(in.ConsumeIntegralInRange(0, 6));
    if (in.ConsumeBool()) rule.ForProperty(in.PickValueInArray(kProperties));
  }
  ScriptPolicy(in, g_auth);
  ScriptPolicy(in, g_device);
  KeelTest_SetAuthPolicy(&AuthAnswer, &g_auth);
  KeelTest_SetExecutePolicy(&DeviceAnswer, &g_device);
}

// The registration server: reached or not, as the input says; never the
// network.
class ScriptedServer : public dm::EnvWrapper {
 public:
  ScriptedServer() : EnvWrapper(dm::DefaultEnv()) {}
  bool HttpGet(const dm::WString&, const dm::WString&, uint16_t, const dm::WString&) override {
    return reached;
  }
  bool reached = false;
};
ScriptedServer g_server;

// ---- The exports -----------------------------------------------------------

void CallExport(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 39)) {
    case 0: {
      const KS_PROFILE_TYPE type = ProfileType(in);
      OutArray<KS_DOMAIN> domains(in, kDomainTexts);
      Count count(in);
      GetDomain(type, domains.records.get(), domains.capacity, count.get());
      break;
    }
    case 1:
    case 2: {
      const bool query = in.ConsumeBool();
      const KS_PROFILE_TYPE type = ProfileType(in);
      auto domain = One<KS_DOMAIN>(in, kDomainTexts);
      OutArray<KS_PROFILE> profiles(in, kProfileTexts);
      Count count(in);
      (query ? QueryProfile : GetProfile)(type, domain.get(), profiles.records.get(),
                                          profiles.capacity, count.get());
      break;
    }
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 10: {
      static constexpr BOOL (*kProfileCalls[])(KS_PROFILE_TYPE, PKS_DOMAIN, PKS_PROFILE) = {
          IsProfileExist, SetSingleProfile, UpdateProfile,
          GetSOAccount,   SetSOAccount,     SetSingleOTPProfile};
      const auto call = in.PickValueInArray(kProfileCalls);
      const KS_PROFILE_TYPE type = ProfileType(in);
      auto domain = One<KS_DOMAIN>(in, kDomainTexts);
      auto profile = One<KS_PROFILE>(in, kProfileTexts);
      call(type, domain.get(), profile.get());
      break;
    }
    case 8: GetSOProfile(); break;
    case 9: SetSOProfile(); break;
    case 11:
    case 12: {
      const auto call = in.ConsumeBool() ? GetSetting : SetSetting;
      const DWORD selector = EdgeOr<DWORD>(in, {1, 2, 0, 3});
      auto setting = One<KS_SETTING>(in, {});
      call(selector, setting.get());
      break;
    }
    case 13: {
      const DWORD slot = EdgeOr<DWORD>(in, {0, 1, 5, 9, 10, 11});
      Count a(in), b(in), c(in);
      GetHotkeyState(slot, a.get(), b.get(), c.get());
      break;
    }
    case 14: {
      const DWORD slot = EdgeOr<DWORD>(in, {0, 1, 5, 9, 10, 11});
      SetHotkeyState(slot, in.ConsumeIntegral<DWORD>(), in.ConsumeIntegral<DWORD>(),
                     in.ConsumeIntegral<DWORD>());
      break;
    }
    case 15: {
      DWORD index = 0;  // the one out-pointer the interface requires
      GetSkinIndex(&index);
      break;
    }
    case 16: SetSkinIndex(in.ConsumeIntegral<DWORD>()); break;
    case 17: {
      const teKM_FINGER_INDEX finger = Finger(in);
      OutArray<KS_QL> launches(in, kQlTexts);
      Count count(in);
      GetQL(finger, launches.records.get(), launches.capacity, count.get(), in.ConsumeBool());
      break;
    }
    case 18:
    case 19: {
      const auto call = in.ConsumeBool() ? SetQL : DeleteQL;
      const teKM_FINGER_INDEX finger = Finger(in);
      const DWORD number = in.ConsumeIntegralInRange<DWORD>(0, kMaxInputRecords);
      // A null array is never read, whatever number comes with it.
      const bool none = in.ConsumeIntegralInRange(0, 7) == 0;
      RecordsOf<KS_QL> launches(in, none ? 0 : number, kQlTexts);
      SetTypes(in, launches.get(), number, TargetType(in));
      call(finger, launches.get(), none ? in.ConsumeIntegral<DWORD>() : number);
      break;
    }
    case 20: DeleteQLAll(Finger(in)); break;
    case 21:
    case 22: {
      const bool byType = in.ConsumeBool();
      const KS_QL_TYPE type = TargetType(in);
      OutArray<KS_SHORTCUT> shortcuts(in, kShortcutTexts);
      Count count(in);
      if (byType) {
        GetShortcut(type, shortcuts.records.get(), shortcuts.capacity, count.get());
      } else {
        GetShortcutInfo(shortcuts.records.get(), shortcuts.capacity, count.get());
      }
      break;
    }
    case 23:
    case 24:
    case 25:
    case 26:
    case 27:
    case 28:
    case 29: {
      static constexpr BOOL (*kShortcutCalls[])(KS_QL_TYPE, PKS_SHORTCUT) = {
          IsShortcutExist,
          IsShortcutShowed,
          SetSingleShortcut,
          ActivateSingleShortcut,
          IsShortcutExistUsingProfile,
          IsShortcutShowedUsingProfile,
          ActivateSingleShortcutUsingProfile};
      const auto call = in.PickValueInArray(kShortcutCalls);
      const KS_QL_TYPE type = TargetType(in);
      auto shortcut = One<KS_SHORTCUT>(in, kShortcutTexts);
      SetTypes(in, shortcut.get(), 1, type);
      call(type, shortcut.get());
      break;
    }
    case 30:
    case 31: {
      const auto call = in.ConsumeBool() ? GetvCard : SetvCard;
      auto vcard = One<KS_VCARD>(in, kVcardTexts);
      call(vcard.get());
      break;
    }
    case 32: IsCurrentUserEnrolled(); break;
    case 33: IsSensorConnected(); break;
    case 34: {
      // The caller's 8-byte window handle, passed by address (or null).
      uint64_t window = in.ConsumeIntegral<uint64_t>();
      SetBioModuleParent(in.ConsumeIntegralInRange(0, 7) == 0 ? nullptr : &window);
      break;
    }
    case 35: StartAuthentication(); break;
    case 36:
      g_server.reached = in.ConsumeBool();
      SubmitRegistration();
      break;
    case 37: {
      // A caller's 256 characters, or null.
      const bool none = in.ConsumeIntegralInRange(0, 7) == 0;
      RecordsOf<Chars256> id(in, none ? 0 : 1, kCharsTexts);
      GetVIPCID(id.get() ? id.get()->text : nullptr);
      break;
    }
    case 38: {
      // Both buffers are required, 256 characters each.
      RecordsOf<Chars256> first(in, 1, kCharsTexts), second(in, 1, kCharsTexts);
      GetVIPOTP(first.get()->text, second.get()->text);
      break;
    }
    default: {
      // A command is a terminated text, or null; the flag is required.
      const bool none = in.ConsumeIntegralInRange(0, 7) == 0;
      const std::string command = in.ConsumeRandomLengthString(300);
      DWORD succeeded = 0;
      LaunchVIPPromptUIWithCmd(none ? nullptr : command.c_str(), &succeeded);
      break;
    }
  }
}

// ---- The process and one input -------------------------------------------

void Discard(void*, const KSLogRecord*) {}

std::filesystem::path g_root;

void RemoveRoot() {
  std::error_code ignored;
  std::filesystem::remove_all(g_root, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A store folder of our own holding the development store under the
  // store's name, as DataManager looks for it.
  char folder[] = "/tmp/dm-fuzz-XXXXXX";
  if (::mkdtemp(folder) == nullptr) std::abort();
  g_root = folder;
  std::atexit(RemoveRoot);
  std::filesystem::create_directories(g_root / "Halvorn");
  std::filesystem::create_symlink(KEELAPI_LIBRARY_PATH, g_root / "Halvorn" / "libKeelAPI.so");
  ::setenv("CommonProgramFiles", g_root.c_str(), 1);
  // Lines are formatted for the sink and written nowhere.
  ::setenv("KSLOG_FILE", "off", 1);
  KSLog_SetSink(&Discard, nullptr);
  dm::SetEnv(&g_server);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  if (KeelTest_Reset("memory") != KA_OK) std::abort();
  KeelTest_SetTraceLimit(0);
  // The store's handles are forgotten, as the store dropped them; the store
  // library stays loaded for the whole process, as in a client.
  dm::ResetStoreHandlesForTesting();

  Seed(in);
  dm::test::StoreScript script;
  ScriptStore(in, script);
  for (int n = 0; n < kMaxCalls && in.remaining_bytes() > 0; ++n) CallExport(in);
  return 0;
}
