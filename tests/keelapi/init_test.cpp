// The context's life: init counting, freeing, calls without a context,
// KA_Execute, and the App and identity reached through the context.
#include <cstring>
#include <functional>
#include <iterator>

#include "store_fixture.h"

namespace keeltest {
namespace {

using KeelInit = StoreTest;

TEST_F(KeelInit, InitsAreCountedAndTheContextClosesWhenFreesMatchThem) {
  uint32_t context = 0, identity = 0;
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
  EXPECT_EQ(KA_Free(&context), KA_OK);
  EXPECT_EQ(KA_GetIdentity(&context, 0, &identity), KA_E_NOT_INITIALIZED);
  EXPECT_EQ(KA_Free(&context), KA_E_BAD_HANDLE) << "nothing left to free";

  uint32_t fresh = 0;
  ASSERT_EQ(InitAs("dmtest", &fresh), KA_OK) << "a fresh first init";
  EXPECT_GT(fresh, context) << "handles are never reused";
  EXPECT_EQ(KA_GetIdentity(&context, 0, &identity), KA_E_BAD_HANDLE);
}

TEST_F(KeelInit, LastFreeClosesEveryOpenHandle) {
  Open();
  uint32_t card = NewCard("example.com", 1);
  EXPECT_EQ(KeelTest_OpenHandles(), 3u);
  ASSERT_EQ(KA_Free(&context_), KA_OK);
  EXPECT_EQ(KeelTest_OpenHandles(), 0u);
  EXPECT_EQ(KA_Card_GetProperty(&card, 1, 0, nullptr, nullptr), KA_E_BAD_HANDLE);
  EXPECT_EQ(KA_Id_Release(&identity_), KA_E_BAD_HANDLE);
}

TEST_F(KeelInit, BadInitArgumentsOpenNothing) {
  const uint8_t zeros[30] = {};
  uint8_t dirty[30] = {};
  dirty[29] = 1;
  uint32_t context = 0;
  struct Case {
    const char* what;
    const uint8_t* block;
    const char* app;
    uint32_t zero;
    uint32_t* out;
  } cases[] = {
      {"null block", nullptr, "dmtest", 0, &context}, {"block not zero", dirty, "dmtest", 0, &context},
      {"null name", zeros, nullptr, 0, &context},     {"empty name", zeros, "", 0, &context},
      {"zero not 0", zeros, "dmtest", 1, &context},   {"null context", zeros, "dmtest", 0, nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KA_Init(c.block, c.app, c.zero, c.out), KA_E_BAD_ARGUMENT) << c.what;
    EXPECT_EQ(context, 0u) << c.what;
  }
  EXPECT_EQ(KeelTest_OpenHandles(), 0u);
  EXPECT_EQ(InitAs("dmtest", &context), KA_OK) << "no failed init was counted";
}

TEST_F(KeelInit, ContextCallsWithoutAContextAnswerNotInitialized) {
  uint32_t context = 12345;
  uint32_t out = 0;
  char buffer[8];
  const std::function<KA_STATUS()> calls[] = {
      [&] { return KA_GetApp(&context, 0, &out); },
      [&] { return KA_GetIdentity(&context, 0, &out); },
      [&] { return KA_GetProperty(&context, 104, 8, buffer, nullptr); },
      [&] { return KA_SetProperty(&context, 104, "x", -1); },
      [&] { return KA_CreateShortcut(&context, &out); },
      [&] { return KA_GetShortcut(&context, "US", 1, &out); },
  };
  for (size_t i = 0; i < std::size(calls); ++i) {
    EXPECT_EQ(calls[i](), KA_E_NOT_INITIALIZED) << "call " << i;
  }
  EXPECT_EQ(out, 0u);
}

TEST_F(KeelInit, ExecuteNeedsNoContextAndKnowsTwoCommands) {
  uint32_t five = 5, text_length = 4, zero = 0;
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
      {2, "<xml>", nullptr, KA_E_BAD_ARGUMENT},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KA_Execute(c.command, c.payload, c.length), c.expected) << "command " << c.command;
  }
  EXPECT_EQ(five, 5u);
}

TEST_F(KeelInit, TheAppIsTheFirstInitsAndThereIsOneIdentity) {
  Open();
  uint32_t again = 0;
  ASSERT_EQ(InitAs("someone-else", &again), KA_E_ALREADY_INIT);
  uint32_t app = 0;
  ASSERT_EQ(KA_GetApp(&context_, 0, &app), KA_OK);
  EXPECT_EQ(ReadValue(KA_App_GetProperty, app, 1), std::string("dmtest", 7));
  EXPECT_EQ(CountOf(KEEL_APP), 1u);
  EXPECT_EQ(ObjectOf(identity_), KeelTest_IdentityObject());
  EXPECT_EQ(CountOf(KEEL_IDENTITY), 1u);
}

TEST_F(KeelInit, RepeatedOpeningsShareOneHandleCountingReferences) {
  ASSERT_EQ(InitAs("dmtest", &context_), KA_OK);
  using Get = KA_STATUS(KEEL_CALL*)(uint32_t*, uint32_t, uint32_t*);
  using Release = KA_STATUS(KEEL_CALL*)(uint32_t*);
  const struct Case {
    const char* what;
    Get get;
    Release release;
  } cases[] = {{"app", KA_GetApp, KA_App_Release}, {"identity", KA_GetIdentity, KA_Id_Release}};
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

TEST_F(KeelInit, ExecuteWithoutALengthNeverReadsThePayload) {
  const char unterminated[3] = {'<', 'x', 'm'};  // the sanitizer build catches a read past them
  EXPECT_EQ(KA_Execute(2, unterminated, nullptr), KA_E_BAD_ARGUMENT);
}

}  // namespace
}  // namespace keeltest
