// The development interface: the interceptor, the trace, the open-handle
// count, reset, and seeding and inspecting objects without handles.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <set>
#include <string>

#include "store_fixture.h"

namespace keeltest {
namespace {

using KeelDev = StoreTest;

// Answers `status` for the n-th read of one card property, else passes.
struct NthRead {
  int32_t property;
  int nth;
  KA_STATUS status;
  int seen = 0;
};

int32_t AnswerNthRead(void* user, const KeelCall* call) {
  auto* rule = static_cast<NthRead*>(user);
  if (call->function != KF_Card_GetProperty || call->property != rule->property) {
    return KEEL_PASS;
  }
  return ++rule->seen == rule->nth ? rule->status : KEEL_PASS;
}

TEST_F(KeelDev, InterceptorAnswersTheSecondReadOfAProperty) {
  Open();
  uint32_t card = NewCard("a.com", 1);
  ASSERT_EQ(KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 104, "abcd", 4), KA_OK);
  NthRead rule{104, 2, KA_E_AUTH_REFUSED};
  KeelTest_SetInterceptor(AnswerNthRead, &rule);
  KeelTest_TraceClear();

  char buffer[5] = "####";
  uint32_t size = 99;
  EXPECT_EQ(KA_Card_GetProperty(&card, 105, 0, nullptr, &size), KA_E_NOT_STORED);
  EXPECT_EQ(KA_Card_GetProperty(&card, 104, 4, buffer, &size), KA_OK);
  std::memcpy(buffer, "####", 4);
  size = 99;
  EXPECT_EQ(KA_Card_GetProperty(&card, 104, 4, buffer, &size), KA_E_AUTH_REFUSED);
  EXPECT_STREQ(buffer, "####") << "an intercepted call leaves out-parameters untouched";
  EXPECT_EQ(size, 99u);
  EXPECT_EQ(KA_Card_GetProperty(&card, 104, 4, buffer, &size), KA_OK);
  EXPECT_EQ(rule.seen, 3);

  ASSERT_EQ(KeelTest_TraceSize(), 4u);
  KeelCall entry{};
  ASSERT_EQ(KeelTest_TraceGet(2, &entry), 1);
  EXPECT_EQ(entry.status, KA_E_AUTH_REFUSED);
  EXPECT_EQ(entry.intercepted, 1);
  ASSERT_EQ(KeelTest_TraceGet(3, &entry), 1);
  EXPECT_EQ(entry.status, KA_OK);
  EXPECT_EQ(entry.intercepted, 0);
}

int32_t AnswerOkToEverything(void*, const KeelCall*) { return KA_OK; }

TEST_F(KeelDev, InterceptedCallsLeaveTheStoreUntouched) {
  Open();
  const uint32_t open = KeelTest_OpenHandles();
  KeelTest_SetInterceptor(AnswerOkToEverything, nullptr);
  uint32_t card = 4242;
  EXPECT_EQ(KA_Id_CreateCard(&identity_, "a.com", 1, &card), KA_OK);
  EXPECT_EQ(card, 4242u);
  EXPECT_EQ(KA_Free(&context_), KA_OK);
  EXPECT_EQ(KA_Id_Release(&identity_), KA_OK);
  KeelTest_SetInterceptor(nullptr, nullptr);
  EXPECT_EQ(CountOf(KEEL_CARD), 0u);
  EXPECT_EQ(KeelTest_OpenHandles(), open);
  uint32_t again = 0;
  EXPECT_EQ(InitAs("dmtest", &again), KA_E_ALREADY_INIT) << "the free did not happen";
}

struct Observed {
  std::string text;
  KeelCall call{};
  uint32_t open_handles = 0;
  size_t trace_size = 0;
  int32_t answer = KEEL_PASS;
};

int32_t Observe(void* user, const KeelCall* call) {
  auto* seen = static_cast<Observed*>(user);
  seen->call = *call;
  seen->text = call->text != nullptr ? call->text : "(null)";
  // The interceptor runs without the store's lock: inspection is allowed.
  seen->open_handles = KeelTest_OpenHandles();
  seen->trace_size = KeelTest_TraceSize();
  return seen->answer;
}

TEST_F(KeelDev, InterceptorSeesTheArgumentsAndMayInspectTheStore) {
  Open();
  Observed seen;
  KeelTest_SetInterceptor(Observe, &seen);
  KeelTest_TraceClear();
  uint32_t card = 0;
  ASSERT_EQ(KA_Id_GetCard(&identity_, "a.com", 7, 3, &card), KA_E_END);
  EXPECT_EQ(seen.call.function, KF_Id_GetCard);
  EXPECT_EQ(seen.call.handle, identity_);
  EXPECT_EQ(seen.call.category, 7);
  EXPECT_EQ(seen.call.mode, 3);
  EXPECT_EQ(seen.call.status, 0);
  EXPECT_EQ(seen.call.intercepted, 0);
  EXPECT_EQ(seen.text, "a.com");
  EXPECT_EQ(seen.open_handles, 2u);
  EXPECT_EQ(seen.trace_size, 0u) << "a call is traced once answered";

  uint32_t length = 3;  // the payload need not end within *length bytes
  ASSERT_EQ(KA_Execute(2, "<xml>", &length), KA_OK);
  EXPECT_EQ(seen.text, "<xm");
  EXPECT_EQ(seen.call.size, 3);
  EXPECT_EQ(seen.call.command, 2);

  seen.answer = 70000;  // outside the status range: the store answers
  EXPECT_EQ(KA_Id_GetCard(&identity_, "a.com", 7, 9, &card), KA_E_BAD_ARGUMENT);
}

TEST_F(KeelDev, TraceKeepsEveryCallWithItsOwnCopyOfTheText) {
  Open();
  char domain[] = "first.com";
  uint32_t card = 0;
  KeelTest_TraceClear();
  ASSERT_EQ(KA_Id_CreateCard(&identity_, domain, 5, &card), KA_OK);
  std::strcpy(domain, "other.xy");
  ASSERT_EQ(KA_Card_GetProperty(&card, 99, 16, nullptr, nullptr), KA_E_BAD_ARGUMENT);
  ASSERT_EQ(KA_Card_Release(&card), KA_OK);

  ASSERT_EQ(KeelTest_TraceSize(), 3u);
  KeelCall entry{};
  ASSERT_EQ(KeelTest_TraceGet(0, &entry), 1);
  EXPECT_EQ(entry.function, KF_Id_CreateCard);
  EXPECT_STREQ(entry.text, "first.com");
  EXPECT_EQ(entry.category, 5);
  EXPECT_EQ(entry.status, KA_OK);
  ASSERT_EQ(KeelTest_TraceGet(1, &entry), 1);
  EXPECT_EQ(entry.function, KF_Card_GetProperty);
  EXPECT_EQ(entry.handle, card);
  EXPECT_EQ(entry.property, 99);
  EXPECT_EQ(entry.size, 16);
  EXPECT_EQ(entry.status, KA_E_BAD_ARGUMENT);
  EXPECT_EQ(entry.text, nullptr);
  ASSERT_EQ(KeelTest_TraceGet(2, &entry), 1);
  EXPECT_EQ(entry.function, KF_Card_Release);
  EXPECT_EQ(KeelTest_TraceGet(3, &entry), 0);
  EXPECT_EQ(KeelTest_TraceGet(0, nullptr), 0);
  KeelTest_TraceClear();
  EXPECT_EQ(KeelTest_TraceSize(), 0u);
}

TEST_F(KeelDev, TraceLimitDropsTheOldestCalls) {
  KeelTest_SetTraceLimit(2);
  for (int16_t command : {10, 11, 12}) KA_Execute(command, nullptr, nullptr);
  ASSERT_EQ(KeelTest_TraceSize(), 2u);
  KeelCall entry{};
  ASSERT_EQ(KeelTest_TraceGet(0, &entry), 1);
  EXPECT_EQ(entry.command, 11);
  KeelTest_SetTraceLimit(0);
  EXPECT_EQ(KeelTest_TraceSize(), 0u);
  KA_Execute(13, nullptr, nullptr);
  EXPECT_EQ(KeelTest_TraceSize(), 0u);
  ASSERT_EQ(KeelTest_Reset(nullptr), KA_OK);
  KA_Execute(14, nullptr, nullptr);
  EXPECT_EQ(KeelTest_TraceSize(), 1u) << "reset restores tracing";
}

TEST_F(KeelDev, FunctionNamesCoverTheThirtyTwoFunctions) {
  std::set<std::string> names;
  for (int f = 0; f < KF_Count; ++f) {
    const char* name = KeelTest_FunctionName(static_cast<KeelFunction>(f));
    ASSERT_NE(name, nullptr) << f;
    EXPECT_EQ(std::string(name).rfind("KA_", 0), 0u) << name;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 32u);
  EXPECT_STREQ(KeelTest_FunctionName(KF_Id_GetCardByRefNum), "KA_Id_GetCardByRefNum");
  EXPECT_EQ(KeelTest_FunctionName(KF_Count), nullptr);
}

TEST_F(KeelDev, OpenHandlesCountsWhatIsHandedOutAndNotEnded) {
  EXPECT_EQ(KeelTest_OpenHandles(), 0u);
  Open();
  EXPECT_EQ(KeelTest_OpenHandles(), 2u);
  uint32_t a = NewCard("a.com", 1);
  uint32_t b = NewCard("a.com", 1);
  EXPECT_EQ(KeelTest_OpenHandles(), 4u);
  ASSERT_EQ(KA_Card_Release(&a), KA_OK);
  ASSERT_EQ(KA_Card_Delete(&b), KA_OK);
  EXPECT_EQ(KeelTest_OpenHandles(), 2u);
  ASSERT_EQ(KA_Id_Release(&identity_), KA_OK);
  EXPECT_EQ(KeelTest_OpenHandles(), 1u);
  ASSERT_EQ(KA_Free(&context_), KA_OK);
  EXPECT_EQ(KeelTest_OpenHandles(), 0u);
}

TEST_F(KeelDev, ResetDropsEverythingAndNeverReusesHandles) {
  Open();
  const uint32_t card = NewCard("a.com", 1);
  Observed seen;
  KeelTest_SetInterceptor(Observe, &seen);
  ASSERT_EQ(KeelTest_Reset("memory"), KA_OK);
  EXPECT_EQ(KeelTest_OpenHandles(), 0u);
  EXPECT_EQ(KeelTest_TraceSize(), 0u);
  EXPECT_EQ(CountOf(KEEL_CARD), 0u);
  EXPECT_EQ(KeelTest_ObjectOfHandle(card), KA_E_BAD_HANDLE);
  uint32_t out = 0;
  EXPECT_EQ(KA_GetIdentity(&context_, 0, &out), KA_E_NOT_INITIALIZED);
  const uint32_t old_card = card;
  Open();
  EXPECT_GT(context_, old_card);
  EXPECT_TRUE(seen.text.empty()) << "the interceptor was removed and saw no call";
}

TEST_F(KeelDev, ResetToAnUnknownBackendChangesNothing) {
  Open();
  NewCard("a.com", 1);
  for (const char* name : {"nosuch", "sqlite:", "Memory", ""}) {
    EXPECT_EQ(KeelTest_Reset(name), KA_E_BAD_ARGUMENT) << name;
  }
  EXPECT_EQ(CountOf(KEEL_CARD), 1u);
  EXPECT_EQ(KeelTest_OpenHandles(), 3u);
}

TEST_F(KeelDev, SeededObjectsAreWhatTheStoreWouldHaveMade) {
  const int64_t first = KeelTest_SeedCard("seed.com", 4);
  const int64_t second = KeelTest_SeedCard("seed.com", 4);
  const int64_t macro = KeelTest_SeedMacro(6);
  const int64_t shortcut = KeelTest_SeedShortcut();
  ASSERT_GT(first, 0);
  EXPECT_GT(second, first) << "ids grow in creation order";
  EXPECT_EQ(KeelTest_SeedCard(nullptr, 4), KA_E_BAD_ARGUMENT);

  Open();
  EXPECT_EQ(ObjectOf(identity_), KeelTest_IdentityObject());
  EXPECT_EQ(WalkCards("seed.com", 4), (std::vector<int64_t>{first, second}));
  uint32_t walk = 0;
  ASSERT_EQ(KA_Id_GetMacro(&identity_, 6, 1, &walk), KA_OK);
  EXPECT_EQ(ObjectOf(walk), macro);
  ASSERT_EQ(KA_GetShortcut(&context_, "US", 1, &walk), KA_OK);
  EXPECT_EQ(ObjectOf(walk), shortcut);
  ASSERT_EQ(KA_Id_GetCardByRefNum(&identity_, KeelTest_CardRefNum(second), &walk), KA_OK);
  EXPECT_EQ(ObjectOf(walk), second);
  EXPECT_EQ(ReadValue(KA_Card_GetProperty, walk, 1), std::string("seed.com", 9));
  EXPECT_EQ(KeelTest_CardRefNum(macro), KA_E_END);
}

TEST_F(KeelDev, SingletonObjectsAreFoundOrCreatedOnce) {
  const int64_t context = KeelTest_ContextObject();
  EXPECT_EQ(KeelTest_ContextObject(), context);
  const int64_t app = KeelTest_AppObject("dmtest");
  EXPECT_EQ(KeelTest_AppObject("dmtest"), app);
  EXPECT_NE(KeelTest_AppObject("other"), app);
  EXPECT_EQ(KeelTest_AppObject(""), KA_E_BAD_ARGUMENT);
  EXPECT_EQ(KeelTest_AppObject(nullptr), KA_E_BAD_ARGUMENT);
  Open();
  uint32_t handle = 0;
  ASSERT_EQ(KA_GetApp(&context_, 0, &handle), KA_OK);
  EXPECT_EQ(ObjectOf(handle), app);
  EXPECT_EQ(ObjectOf(context_), context);
  EXPECT_EQ(CountOf(KEEL_APP), 2u);
  EXPECT_EQ(CountOf(KEEL_CONTEXT), 1u);
}

TEST_F(KeelDev, SeededPropertiesAreReadBackWithTheirAttribute) {
  const int64_t card = KeelTest_SeedCard("seed.com", 1);
  ASSERT_EQ(KeelTest_SetProperty(card, 3, 77, "secret", -1), KA_OK);
  char value[16] = {};
  int32_t size = 0;
  int32_t attribute = 0;
  EXPECT_EQ(KeelTest_GetProperty(card, 3, value, sizeof value, &size, &attribute), KA_OK);
  EXPECT_STREQ(value, "secret");
  EXPECT_EQ(size, 7);
  EXPECT_EQ(attribute, 77);
  size = 0;
  EXPECT_EQ(KeelTest_GetProperty(card, 3, value, 3, &size, nullptr), KA_E_BUFFER_TOO_SMALL);
  EXPECT_EQ(size, 7) << "inspection tells the size even when it does not fit";
  EXPECT_EQ(KeelTest_GetProperty(card, 4, nullptr, 0, &size, nullptr), KA_E_NOT_STORED);
  EXPECT_EQ(KeelTest_GetProperty(card, 3, nullptr, 4, &size, nullptr), KA_E_BAD_ARGUMENT);
  EXPECT_EQ(KeelTest_SetProperty(card + 1000, 3, 0, "x", -1), KA_E_END);
  EXPECT_EQ(KeelTest_GetProperty(card + 1000, 3, nullptr, 0, &size, nullptr), KA_E_END);
  EXPECT_EQ(KeelTest_SetProperty(card, 3, 0, "x", -5), KA_E_BAD_ARGUMENT);
}

TEST_F(KeelDev, ListObjectsAnswersTheCountAndCopiesWhatFits) {
  const int64_t a = KeelTest_SeedCard("x", 1);
  const int64_t b = KeelTest_SeedCard("y", 2);
  const int64_t c = KeelTest_SeedCard("x", 1);
  int64_t ids[2] = {0, 0};
  EXPECT_EQ(KeelTest_ListObjects(KEEL_CARD, ids, 2), 3u);
  EXPECT_EQ(ids[0], a);
  EXPECT_EQ(ids[1], b);
  int64_t all[4] = {};
  ASSERT_EQ(KeelTest_ListObjects(KEEL_CARD, all, 4), 3u);
  EXPECT_EQ(all[2], c);
  // Not kinds, though inside the enumeration's range of values.
  EXPECT_EQ(KeelTest_ListObjects(static_cast<KeelObjectKind>(0), all, 4), 0u);
  EXPECT_EQ(KeelTest_ListObjects(static_cast<KeelObjectKind>(7), all, 4), 0u);
}

TEST_F(KeelDev, ObjectOfHandleOutlivesReleaseAndDelete) {
  Open();
  uint32_t card = NewCard("a.com", 1);
  const int64_t object = ObjectOf(card);
  ASSERT_GT(object, 0);
  ASSERT_EQ(KA_Card_Delete(&card), KA_OK);
  EXPECT_EQ(ObjectOf(card), object);
  EXPECT_EQ(KeelTest_ObjectOfHandle(0), KA_E_BAD_HANDLE);
}

}  // namespace
}  // namespace keeltest
