// Reading and writing properties (sizes, copies, too-small buffers, texts
// with their NUL, empty and largest values, attributes), and the policies
// asked about secret reads and answering KA_Execute in place of a device.
#include <string>
#include <utility>
#include <vector>

#include "store_fixture.h"
#include "sys/KeelBackend.h"

namespace keeltest {
namespace {

class KeelProperties : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    Open();
    card_ = NewCard("example.com", 1);
    ASSERT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_PLAIN, 104, "abcd", 4), KA_OK);
  }
  uint32_t card_ = 0;
};

TEST_F(KeelProperties, ReadAnswersSizeCopiesOrRefusesWithoutWriting) {
  struct Case {
    const char* what;
    int32_t capacity;
    bool with_buffer;
    KA_STATUS expected;
    uint32_t expected_size;  // sentinel 99 when nothing may be written
    const char* expected_buffer;
  } cases[] = {
      {"size query", 0, false, KA_OK, 4, "########"},
      {"exact capacity", 4, true, KA_OK, 4, "abcd####"},
      {"larger capacity", 8, true, KA_OK, 4, "abcd####"},
      {"one byte short", 3, true, KA_E_BUFFER_TOO_SMALL, 99, "########"},
      {"capacity 0 with a buffer", 0, true, KA_E_BUFFER_TOO_SMALL, 99, "########"},
  };
  for (const Case& c : cases) {
    char buffer[9] = "########";
    uint32_t size = 99;
    EXPECT_EQ(KA_Card_GetProperty(&card_, 104, c.capacity, c.with_buffer ? buffer : nullptr, &size),
              c.expected)
        << c.what;
    EXPECT_EQ(size, c.expected_size) << c.what;
    EXPECT_STREQ(buffer, c.expected_buffer) << c.what;
  }
}

TEST_F(KeelProperties, ValuesUpToOneMebibyteAreStoredWholeAsGivenAndEachObjectHasItsOwn) {
  char four[4];
  EXPECT_EQ(KA_Card_GetProperty(&card_, 104, 4, four, nullptr), KA_OK) << "the size may be null";
  uint32_t size = 99;
  EXPECT_EQ(KA_Card_GetProperty(&card_, 105, 0, nullptr, &size), KA_E_NOT_STORED);
  EXPECT_EQ(size, 99u);
  uint32_t other = NewCard("example.com", 1);
  EXPECT_EQ(KA_Card_GetProperty(&other, 104, 0, nullptr, &size), KA_E_NOT_STORED);

  ASSERT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_SECRET, 3, "hunter2", -1), KA_OK);
  EXPECT_EQ(ReadValue(KA_Card_GetProperty, card_, 3), std::string("hunter2", 8)) << "with its NUL";
  const char binary[] = {'\0', 'x', '\0', '\xff'};
  ASSERT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_PLAIN, 7, binary, sizeof binary), KA_OK);
  EXPECT_EQ(ReadValue(KA_Card_GetProperty, card_, 7), std::string(binary, sizeof binary));
  ASSERT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_PLAIN, 7, "z", 1), KA_OK);
  EXPECT_EQ(ReadValue(KA_Card_GetProperty, card_, 7), "z");
  ASSERT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_PLAIN, 8, nullptr, 0), KA_OK);
  EXPECT_EQ(KA_Card_GetProperty(&card_, 8, 0, nullptr, &size), KA_OK);
  EXPECT_EQ(size, 0u);
  char buffer[1] = {'#'};
  EXPECT_EQ(KA_Card_GetProperty(&card_, 8, 0, buffer, &size), KA_OK);
  EXPECT_EQ(buffer[0], '#');

  const int32_t mib = 1 << 20;  // the largest value
  std::vector<char> big(static_cast<size_t>(mib) + 1, 'q');
  EXPECT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_PLAIN, 9, big.data(), mib), KA_OK);
  EXPECT_EQ(KA_Card_GetProperty(&card_, 9, 0, nullptr, &size), KA_OK);
  EXPECT_EQ(size, static_cast<uint32_t>(mib));
  EXPECT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_PLAIN, 9, big.data(), mib + 1), KA_E_BAD_ARGUMENT);
  big.back() = '\0';  // a text of 1 MiB characters needs 1 MiB + 1 bytes
  EXPECT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_PLAIN, 9, big.data(), -1), KA_E_BAD_ARGUMENT);
  EXPECT_EQ(KA_Card_GetProperty(&card_, 9, 0, nullptr, &size), KA_OK);
  EXPECT_EQ(size, static_cast<uint32_t>(mib)) << "refused writes left the value";
}

TEST_F(KeelProperties, CardAndIdentityWritesKeepTheCallersAttributeAndOthersStorePlain) {
  auto attribute_of = [](int64_t object, int32_t property) {
    int32_t attribute = 0;
    char value[2] = {};
    EXPECT_EQ(KeelTest_GetProperty(object, property, value, 2, nullptr, &attribute), KA_OK);
    EXPECT_STREQ(value, "v") << "object " << object;
    return attribute;
  };
  for (const int32_t attribute : {KA_ATTR_SECRET, KA_ATTR_PLAIN}) {
    ASSERT_EQ(KA_Card_SetProperty(&card_, attribute, 20, "v", -1), KA_OK);
    ASSERT_EQ(KA_Id_SetProperty(&identity_, attribute, 20, "v", -1), KA_OK);
    EXPECT_EQ(attribute_of(ObjectOf(card_), 20), attribute);
    EXPECT_EQ(attribute_of(ObjectOf(identity_), 20), attribute);
  }
  uint32_t app = 0, macro = 0, shortcut = 0;
  ASSERT_EQ(KA_GetApp(&context_, 0, &app), KA_OK);
  ASSERT_EQ(KA_Id_CreateMacro(&identity_, 2, &macro), KA_OK);
  ASSERT_EQ(KA_CreateShortcut(&context_, &shortcut), KA_OK);
  ASSERT_EQ(KA_App_SetProperty(&app, 30, "v", -1), KA_OK);
  ASSERT_EQ(KA_Macro_SetProperty(&macro, 30, "v", -1), KA_OK);
  ASSERT_EQ(KA_Shortcut_SetProperty(&shortcut, 30, "v", -1), KA_OK);
  ASSERT_EQ(KA_SetProperty(&context_, 30, "v", -1), KA_OK);
  for (int64_t object :
       {ObjectOf(app), ObjectOf(macro), ObjectOf(shortcut), KeelTest_ContextObject()}) {
    EXPECT_EQ(attribute_of(object, 30), KA_ATTR_PLAIN) << "object " << object;
  }
  EXPECT_EQ(ReadValue(KA_Macro_GetProperty, macro, 30), std::string("v", 2));
  EXPECT_EQ(ReadValue(KA_Shortcut_GetProperty, shortcut, 30), std::string("v", 2));
  EXPECT_EQ(ReadValue(KA_GetProperty, context_, 30), std::string("v", 2));
}

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

class KeelAuthPolicy : public KeelProperties {
 protected:
  void SetUp() override {
    KeelProperties::SetUp();
    ASSERT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_SECRET, 104, "hunter2", -1), KA_OK);
    ASSERT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_PLAIN, 103, "alice", -1), KA_OK);
    ASSERT_EQ(KA_Id_SetProperty(&identity_, KA_ATTR_SECRET, 21, "otp-seed", -1), KA_OK);
  }
};

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

TEST_F(KeelAuthPolicy, PlainValuesMissingValuesAndTheDevInterfaceAreNotAskedSecretsAre) {
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

  policy.answer = KA_OK;
  EXPECT_EQ(ReadValue(KA_Card_GetProperty, card_, 104), std::string("hunter2", 8));
  EXPECT_EQ(policy.asked.size(), 2u) << "the size query and the read";
}

TEST_F(KeelAuthPolicy, WithoutAPolicySecretsAreRead) {
  EXPECT_EQ(ReadValue(KA_Id_GetProperty, identity_, 21), std::string("otp-seed", 9));

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

struct Device {
  int16_t answer = KA_OK;
  std::vector<std::string> asked;  // "<command>:<payload>:<length>"
};

int16_t Execute(void* user, int16_t command, const char* payload, uint32_t length) {
  auto* device = static_cast<Device*>(user);
  device->asked.push_back(std::to_string(command) + ":" +
                          (payload != nullptr ? std::string(payload, length) : "null") + ":" +
                          std::to_string(length));
  return device->answer;
}

TEST_F(KeelAuthPolicy, TheDevicePolicyAnswersWellFormedCommandsOnly) {
  uint32_t five = 5, zero = 0;
  for (const int16_t answer : {int16_t{KA_OK}, int16_t{-9}, int16_t{KEEL_BACKEND_BUSY}}) {
    Device device{answer, {}};
    KeelTest_SetExecutePolicy(Execute, &device);
    const KA_STATUS expected = answer == KEEL_BACKEND_BUSY ? KA_E_STORAGE : answer;
    EXPECT_EQ(KA_Execute(2, "<xml>", &five), expected);
    EXPECT_EQ(KA_Execute(3, nullptr, &zero), expected);
    EXPECT_EQ(KA_Execute(4, "<xml>", &five), KA_E_BAD_ARGUMENT);
    EXPECT_EQ(device.asked, (std::vector<std::string>{"2:<xml>:5", "3:null:0"}));
  }
  ASSERT_EQ(KeelTest_Reset("memory"), KA_OK);
  EXPECT_EQ(KA_Execute(2, "<xml>", &five), KA_OK) << "a reset removes the policy";
}

TEST_F(KeelAuthPolicy, TheEnrollmentCountIsReadOnlyToClients) {
  const uint32_t count = 3;
  EXPECT_EQ(KA_SetProperty(&context_, 4, &count, 4), KA_E_BAD_ARGUMENT);
  uint32_t read = 0;
  EXPECT_EQ(KA_GetProperty(&context_, 4, 4, &read, nullptr), KA_E_NOT_STORED) << "no sensor";
  ASSERT_EQ(KeelTest_SetProperty(KeelTest_ContextObject(), 4, KA_ATTR_PLAIN, &count, 4), KA_OK);
  EXPECT_EQ(KA_GetProperty(&context_, 4, 4, &read, nullptr), KA_OK);
  EXPECT_EQ(read, 3u);
  EXPECT_EQ(KA_Id_SetProperty(&identity_, KA_ATTR_PLAIN, 4, "card 4", -1), KA_OK)
      << "only the context's property 4 is the sensor's";
}

}  // namespace
}  // namespace keeltest
