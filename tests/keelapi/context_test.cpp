// The context's life (init counting, freeing, calls without a context,
// KA_Execute, the App and identity reached through it) and the development
// interface's promises the other suites lean on without seeing them broken.
#include <cstring>
#include <string>

#include "store_fixture.h"

namespace keeltest {
namespace {

using KeelInit = StoreTest;
using KeelDev = StoreTest;

TEST_F(KeelInit, GoodInitsAreCountedAndTheContextClosesWhenFreesMatchThem) {
  const uint8_t zeros[30] = {};
  uint8_t dirty[30] = {};
  dirty[29] = 1;
  uint32_t context = 12345, identity = 0, out = 0;
  char buffer[8];
  for (const Call& c : {STORE_CALL(KA_Init(nullptr, "dmtest", 0, &context)),
                        STORE_CALL(KA_Init(dirty, "dmtest", 0, &context)),
                        STORE_CALL(KA_Init(zeros, nullptr, 0, &context)),
                        STORE_CALL(KA_Init(zeros, "", 0, &context)),
                        STORE_CALL(KA_Init(zeros, "dmtest", 1, &context)),
                        STORE_CALL(KA_Init(zeros, "dmtest", 0, nullptr))}) {
    EXPECT_EQ(c.call(), KA_E_BAD_ARGUMENT) << c.what;
  }
  EXPECT_EQ(KeelTest_OpenHandles(), 0u);
  for (const Call& c : {STORE_CALL(KA_GetApp(&context, 0, &out)),
                        STORE_CALL(KA_GetIdentity(&context, 0, &out)),
                        STORE_CALL(KA_GetProperty(&context, 104, 8, buffer, nullptr)),
                        STORE_CALL(KA_SetProperty(&context, 104, "x", -1)),
                        STORE_CALL(KA_CreateShortcut(&context, &out)),
                        STORE_CALL(KA_GetShortcut(&context, "US", 1, &out))}) {
    EXPECT_EQ(c.call(), KA_E_NOT_INITIALIZED) << c.what << " before any init";
  }
  EXPECT_EQ(out, 0u);
  EXPECT_EQ(context, 12345u) << "no refused call wrote the context";
  ASSERT_EQ(InitAs("dmtest", &context), KA_OK);
  EXPECT_NE(context, 0u);
  for (int i = 0; i < 2; ++i) {
    uint32_t again = 0;
    EXPECT_EQ(InitAs("other", &again), KA_E_ALREADY_INIT);
    EXPECT_EQ(again, context);
  }
  uint32_t wrong = context + 1;
  EXPECT_EQ(KA_Free(&wrong), KA_E_BAD_HANDLE);
  EXPECT_EQ(KA_Free(nullptr), KA_E_BAD_HANDLE);
  EXPECT_EQ(KeelTest_OpenHandles(), 1u);
  for (int i = 0; i < 2; ++i) ASSERT_EQ(KA_Free(&context), KA_OK) << "failed frees do not count";
  EXPECT_EQ(KA_GetIdentity(&context, 0, &identity), KA_OK) << "one init is still counted";
  uint32_t card = 0;
  ASSERT_EQ(KA_Id_CreateCard(&identity, "a.com", 1, &card), KA_OK);
  EXPECT_EQ(KA_Free(&context), KA_OK);
  EXPECT_EQ(KeelTest_OpenHandles(), 0u) << "the last free closes every handle";
  EXPECT_EQ(KA_Card_GetProperty(&card, 1, 0, nullptr, nullptr), KA_E_BAD_HANDLE);
  EXPECT_EQ(KA_Id_Release(&identity), KA_E_BAD_HANDLE);
  EXPECT_EQ(KA_GetIdentity(&context, 0, &identity), KA_E_NOT_INITIALIZED);
  EXPECT_EQ(KA_Free(&context), KA_E_BAD_HANDLE) << "nothing left to free";

  uint32_t fresh = 0;
  ASSERT_EQ(InitAs("dmtest", &fresh), KA_OK) << "a fresh first init";
  EXPECT_GT(fresh, context) << "handles are never reused";
  EXPECT_EQ(KA_GetIdentity(&context, 0, &identity), KA_E_BAD_HANDLE);
}

TEST_F(KeelInit, ExecuteNeedsNoContextAndKnowsTwoCommands) {
  uint32_t five = 5, text_length = 4, zero = 0;
  // Without a length the payload is never read: the sanitizer build catches
  // a read past these three bytes.
  const char unterminated[3] = {'<', 'x', 'm'};
  struct Case {
    int16_t command;
    const char* payload;
    uint32_t* length;
    KA_STATUS expected;
  } cases[] = {
      {2, "<xml>", &five, KA_OK},
      {3, "open", &text_length, KA_OK},
      {1, "<xml>", &five, KA_E_BAD_ARGUMENT},
      {4, "<xml>", &five, KA_E_BAD_ARGUMENT},
      {2, nullptr, &five, KA_E_BAD_ARGUMENT},
      {3, nullptr, &zero, KA_OK},  // a prompt without a command
      {2, unterminated, nullptr, KA_E_BAD_ARGUMENT},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KA_Execute(c.command, c.payload, c.length), c.expected) << "command " << c.command;
  }
  EXPECT_EQ(five, 5u);
}

TEST_F(KeelInit, TheAppIsTheFirstInitsAndRepeatedOpeningsShareOneHandleCountingReferences) {
  ASSERT_EQ(InitAs("dmtest", &context_), KA_OK);
  uint32_t app = 0;
  ASSERT_EQ(InitAs("someone-else", &app), KA_E_ALREADY_INIT);
  ASSERT_EQ(KA_GetApp(&context_, 0, &app), KA_OK);
  EXPECT_EQ(ReadValue(KA_App_GetProperty, app, 1), std::string("dmtest", 7));
  ASSERT_EQ(KA_GetIdentity(&context_, 0, &identity_), KA_OK);
  EXPECT_EQ(ObjectOf(identity_), KeelTest_IdentityObject());
  ASSERT_EQ(KA_App_Release(&app), KA_OK);
  ASSERT_EQ(KA_Id_Release(&identity_), KA_OK);
  using Get = KA_STATUS(KEEL_CALL*)(uint32_t*, uint32_t, uint32_t*);
  using Release = KA_STATUS(KEEL_CALL*)(uint32_t*);
  const struct Case {
    const char* what;
    Get get;
    Release release;
    KeelObjectKind kind;
  } cases[] = {{"app", KA_GetApp, KA_App_Release, KEEL_APP},
               {"identity", KA_GetIdentity, KA_Id_Release, KEEL_IDENTITY}};
  constexpr int kOpenings = 1000;
  for (const Case& c : cases) {
    uint32_t first = 0;
    ASSERT_EQ(c.get(&context_, 0, &first), KA_OK) << c.what;
    for (int i = 1; i < kOpenings; ++i) {  // a client asks again at each of its openings
      uint32_t again = 0;
      ASSERT_EQ(c.get(&context_, 0, &again), KA_OK) << c.what;
      ASSERT_EQ(again, first) << c.what;
    }
    EXPECT_EQ(KeelTest_OpenHandles(), 2u) << c.what << ": the context and one handle";
    EXPECT_EQ(CountOf(c.kind), 1u) << c.what;
    for (int i = 0; i < kOpenings; ++i) ASSERT_EQ(c.release(&first), KA_OK) << c.what << i;
    EXPECT_EQ(c.release(&first), KA_E_BAD_HANDLE) << c.what << ": every reference is gone";
    EXPECT_EQ(KeelTest_OpenHandles(), 1u) << c.what;
  }
}

TEST_F(KeelInit, StoredContextPropertiesOutliveTheContextAndPerProcessOnesDoNot) {
  const uint32_t default_limit = 3;
  const int64_t context = KeelTest_ContextObject();
  ASSERT_EQ(KeelTest_SetProperty(context, 104, KA_ATTR_PLAIN, &default_limit, 4), KA_OK);
  const struct Case {
    int32_t property;
    uint64_t written;
    KA_STATUS next_status;  // what the next context reads
    uint64_t next_value;
  } cases[] = {
      {103, 0x1122334455667788u, KA_E_NOT_STORED, 0},  // the parent window: per process
      {104, 0, KA_OK, default_limit},  // the attempt limit: per process, from the stored default
      {108, 7, KA_OK, 7},              // the skin index: stored
      {2001, ~uint64_t{0}, KA_OK, ~uint64_t{0}},  // the timestamp: stored
  };
  ASSERT_EQ(InitAs("dmtest", &context_), KA_OK);
  for (const Case& c : cases) {
    ASSERT_EQ(KA_SetProperty(&context_, c.property, &c.written, sizeof c.written), KA_OK);
    uint64_t read = 1;
    EXPECT_EQ(KA_GetProperty(&context_, c.property, sizeof read, &read, nullptr), KA_OK);
    EXPECT_EQ(read, c.written) << c.property << ": the context reads what it wrote";
  }
  ASSERT_EQ(KA_Free(&context_), KA_OK);
  ASSERT_EQ(InitAs("dmtest", &context_), KA_OK);
  for (const Case& c : cases) {
    uint64_t read = 0;
    EXPECT_EQ(KA_GetProperty(&context_, c.property, sizeof read, &read, nullptr), c.next_status)
        << c.property;
    EXPECT_EQ(read, c.next_value) << c.property;
  }
  uint32_t stored = 0;
  EXPECT_EQ(KeelTest_GetProperty(context, 104, &stored, 4, nullptr, nullptr), KA_OK);
  EXPECT_EQ(stored, default_limit) << "no client write reaches the stored default";
}

// What an interceptor saw, and what it answers.
struct Observed {
  KeelCall call{};
  std::string text;
  uint32_t open_handles = 0;
  size_t trace_size = 0;
  int32_t answer = KEEL_PASS;
};

int32_t Observe(void* user, const KeelCall* call) {
  auto* seen = static_cast<Observed*>(user);
  seen->call = *call;
  seen->text = call->text != nullptr ? call->text : "(null)";
  // Runs without the store's lock: inspecting the store must not deadlock.
  seen->open_handles = KeelTest_OpenHandles();
  seen->trace_size = KeelTest_TraceSize();
  return seen->answer;
}

TEST_F(KeelDev, TheTraceCopiesEachCallAndAnInterceptedOneChangesNothing) {
  Open();
  char domain[] = "first.com";
  uint32_t card = 0;
  KeelTest_TraceClear();
  ASSERT_EQ(KA_Id_CreateCard(&identity_, domain, 5, &card), KA_OK);
  std::strcpy(domain, "other.xy");  // the trace keeps its own copy
  uint32_t length = 3;              // the payload need not end within *length bytes
  ASSERT_EQ(KA_Execute(2, "<xml>", &length), KA_OK);
  KeelCall entry{};
  ASSERT_EQ(KeelTest_TraceGet(0, &entry), 1);
  EXPECT_EQ(entry.function, KF_Id_CreateCard);
  EXPECT_STREQ(entry.text, "first.com");
  EXPECT_EQ(entry.category, 5);
  ASSERT_EQ(KeelTest_TraceGet(1, &entry), 1);
  EXPECT_STREQ(entry.text, "<xm");
  EXPECT_EQ(KeelTest_TraceGet(2, &entry), 0);
  EXPECT_EQ(KeelTest_TraceGet(0, nullptr), 0);

  ASSERT_EQ(KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 104, "abcd", 4), KA_OK);
  Observed seen{.answer = KA_E_AUTH_REFUSED};
  KeelTest_SetInterceptor(Observe, &seen);
  KeelTest_TraceClear();
  char buffer[5] = "####";
  uint32_t size = 99;
  EXPECT_EQ(KA_Card_GetProperty(&card, 104, 4, buffer, &size), KA_E_AUTH_REFUSED);
  EXPECT_STREQ(buffer, "####");
  EXPECT_EQ(size, 99u);
  EXPECT_EQ(seen.call.property, 104);
  EXPECT_EQ(seen.open_handles, 3u);
  EXPECT_EQ(seen.trace_size, 0u) << "a call is traced once answered";
  seen.answer = KA_OK;
  EXPECT_EQ(KA_Card_Delete(&card), KA_OK);
  EXPECT_EQ(KA_Free(&context_), KA_OK);
  seen.answer = 70000;  // outside the status range: the store answers
  EXPECT_EQ(KA_Id_GetCard(&identity_, "a.com", 7, 9, &card), KA_E_BAD_ARGUMENT);

  KeelTest_SetInterceptor(nullptr, nullptr);
  ASSERT_EQ(KeelTest_TraceSize(), 4u);
  ASSERT_EQ(KeelTest_TraceGet(0, &entry), 1);
  EXPECT_EQ(entry.status, KA_E_AUTH_REFUSED);
  EXPECT_EQ(entry.intercepted, 1);
  ASSERT_EQ(KeelTest_TraceGet(3, &entry), 1);
  EXPECT_EQ(entry.intercepted, 0);
  EXPECT_EQ(CountOf(KEEL_CARD), 1u);
  uint32_t again = 0;
  EXPECT_EQ(InitAs("dmtest", &again), KA_E_ALREADY_INIT) << "the free did not happen";
}

TEST_F(KeelDev, ResetForgetsEverythingAndNeverReusesHandles) {
  Open();
  const uint32_t card = NewCard("a.com", 1);
  Observed seen;
  KeelTest_SetInterceptor(Observe, &seen);
  KeelTest_SetTraceLimit(0);
  for (const char* name : {"nosuch", "sqlite:", "Memory", ""}) {
    EXPECT_EQ(KeelTest_Reset(name), KA_E_BAD_ARGUMENT) << name;
  }
  EXPECT_EQ(KeelTest_OpenHandles(), 3u) << "a refused reset changes nothing";
  ASSERT_EQ(KeelTest_Reset("memory"), KA_OK);
  EXPECT_EQ(KeelTest_OpenHandles(), 0u);
  EXPECT_EQ(CountOf(KEEL_CARD), 0u);
  EXPECT_EQ(KeelTest_ObjectOfHandle(card), KA_E_BAD_HANDLE);
  Open();
  EXPECT_GT(context_, card);
  EXPECT_EQ(KeelTest_TraceSize(), 2u) << "tracing is back";
  EXPECT_TRUE(seen.text.empty()) << "the interceptor was removed";
}

}  // namespace
}  // namespace keeltest
