// The authentication policy: reads of secret values pass it, refusals come
// back as the read's status and write nothing, and everything else is left
// alone.
#include <string>
#include <utility>
#include <vector>

#include "store_fixture.h"

namespace keeltest {
namespace {

// A policy that answers `answer` and records what it was asked.
struct Policy {
  int16_t answer = KA_E_AUTH_REFUSED;
  std::vector<std::pair<int64_t, int32_t>> asked;
};

int16_t Ask(void* user, int64_t object, int32_t property) {
  auto* policy = static_cast<Policy*>(user);
  policy->asked.emplace_back(object, property);
  return policy->answer;
}

class KeelAuthPolicy : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    Open();
    card_ = NewCard("example.com", 998);
    ASSERT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_SECRET, 104, "hunter2", -1), KA_OK);
    ASSERT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_PLAIN, 103, "alice", -1), KA_OK);
    ASSERT_EQ(KA_Id_SetProperty(&identity_, KA_ATTR_SECRET, 21, "otp-seed", -1), KA_OK);
  }
  uint32_t card_ = 0;
};

TEST_F(KeelAuthPolicy, WithoutAPolicySecretsAreRead) {
  EXPECT_EQ(ReadValue(KA_Card_GetProperty, card_, 104), std::string("hunter2", 8));
  EXPECT_EQ(ReadValue(KA_Id_GetProperty, identity_, 21), std::string("otp-seed", 9));
}

TEST_F(KeelAuthPolicy, ARefusalIsTheReadsStatusAndWritesNothing) {
  struct Case {
    int16_t answer;
    KA_STATUS status;
  } cases[] = {{KA_E_AUTH_REFUSED, KA_E_AUTH_REFUSED},
               {KA_E_AUTH_CANCELLED, KA_E_AUTH_CANCELLED},
               {7, KA_E_AUTH_REFUSED}};  // not a failure status: still a refusal
  for (const Case& c : cases) {
    Policy policy{c.answer, {}};
    KeelTest_SetAuthPolicy(Ask, &policy);
    char buffer[16] = "untouched";
    uint32_t size = 99;
    EXPECT_EQ(KA_Card_GetProperty(&card_, 104, sizeof buffer, buffer, &size), c.status);
    EXPECT_EQ(KA_Card_GetProperty(&card_, 104, 0, nullptr, &size), c.status) << "size query";
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(size, 99u);
    EXPECT_EQ(KA_Id_GetProperty(&identity_, 21, 0, nullptr, &size), c.status);
    const int64_t card = ObjectOf(card_);
    const int64_t identity = ObjectOf(identity_);
    EXPECT_EQ(policy.asked, (std::vector<std::pair<int64_t, int32_t>>{
                                {card, 104}, {card, 104}, {identity, 21}}));
  }
}

TEST_F(KeelAuthPolicy, PlainValuesMissingValuesAndTheDevInterfaceAreNotAsked) {
  Policy policy;
  KeelTest_SetAuthPolicy(Ask, &policy);
  EXPECT_EQ(ReadValue(KA_Card_GetProperty, card_, 103), std::string("alice", 6));
  uint32_t size = 0;
  EXPECT_EQ(KA_Card_GetProperty(&card_, 105, 0, nullptr, &size), KA_E_NOT_STORED);
  char buffer[16] = {};
  int32_t stored = 0;
  EXPECT_EQ(KeelTest_GetProperty(ObjectOf(card_), 104, buffer, sizeof buffer, &stored, nullptr),
            KA_OK);
  EXPECT_STREQ(buffer, "hunter2");
  EXPECT_TRUE(policy.asked.empty());
}

TEST_F(KeelAuthPolicy, AnAllowingPolicyReadsAndResetRemovesThePolicy) {
  Policy policy{KA_OK, {}};
  KeelTest_SetAuthPolicy(Ask, &policy);
  EXPECT_EQ(ReadValue(KA_Card_GetProperty, card_, 104), std::string("hunter2", 8));
  EXPECT_EQ(policy.asked.size(), 2u) << "the size query and the read";

  Policy refusing;
  KeelTest_SetAuthPolicy(Ask, &refusing);
  KeelTest_SetAuthPolicy(nullptr, &refusing);
  EXPECT_EQ(ReadValue(KA_Card_GetProperty, card_, 104), std::string("hunter2", 8));
  KeelTest_SetAuthPolicy(Ask, &refusing);
  ASSERT_EQ(KeelTest_Reset("memory"), KA_OK);
  Open();
  uint32_t card = NewCard("example.com", 998);
  ASSERT_EQ(KA_Card_SetProperty(&card, KA_ATTR_SECRET, 104, "x", -1), KA_OK);
  EXPECT_EQ(ReadValue(KA_Card_GetProperty, card, 104), std::string("x", 2));
  EXPECT_TRUE(refusing.asked.empty());
}

}  // namespace
}  // namespace keeltest
