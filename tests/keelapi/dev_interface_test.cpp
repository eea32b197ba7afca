// The development interface, where the other suites lean on a promise of
// it they could not see broken: an intercepted call leaves the store and
// the caller's out-parameters alone, the trace keeps its own copies,
// and resets forget everything.  Seeded objects are checked where the
// suites walk, read and change them.
#include <cstring>
#include <string>

#include "store_fixture.h"

namespace keeltest {
namespace {

using KeelDev = StoreTest;

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

TEST_F(KeelDev, AnInterceptedCallTouchesNeitherTheStoreNorItsOutParameters) {
  Open();
  uint32_t card = NewCard("a.com", 1);
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
  KeelCall entry{};
  ASSERT_EQ(KeelTest_TraceGet(0, &entry), 1);
  EXPECT_EQ(entry.status, KA_E_AUTH_REFUSED);
  EXPECT_EQ(entry.intercepted, 1);
  ASSERT_EQ(KeelTest_TraceGet(3, &entry), 1);
  EXPECT_EQ(entry.intercepted, 0);
  EXPECT_EQ(CountOf(KEEL_CARD), 1u);
  uint32_t again = 0;
  EXPECT_EQ(InitAs("dmtest", &again), KA_E_ALREADY_INIT) << "the free did not happen";
}

TEST_F(KeelDev, TheTraceKeepsItsOwnCopyOfEachCall) {
  Open();
  char domain[] = "first.com";
  uint32_t card = 0;
  KeelTest_TraceClear();
  ASSERT_EQ(KA_Id_CreateCard(&identity_, domain, 5, &card), KA_OK);
  std::strcpy(domain, "other.xy");
  uint32_t length = 3;  // the payload need not end within *length bytes
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
