// Reading and writing properties: sizes, copies, too-small buffers, texts
// stored with their NUL, empty and largest values, and attributes.
#include <cstring>
#include <vector>

#include "store_fixture.h"

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

TEST_F(KeelProperties, ValuesAreStoredWholeAsGivenAndEachObjectHasItsOwn) {
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
}

TEST_F(KeelProperties, ValuesUpToOneMebibyteAreStored) {
  const int32_t mib = 1 << 20;
  std::vector<char> big(static_cast<size_t>(mib) + 1, 'q');
  EXPECT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_PLAIN, 9, big.data(), mib), KA_OK);
  uint32_t size = 0;
  EXPECT_EQ(KA_Card_GetProperty(&card_, 9, 0, nullptr, &size), KA_OK);
  EXPECT_EQ(size, static_cast<uint32_t>(mib));
  EXPECT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_PLAIN, 9, big.data(), mib + 1), KA_E_BAD_ARGUMENT);
  big.back() = '\0';  // a text of 1 MiB characters needs 1 MiB + 1 bytes
  EXPECT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_PLAIN, 9, big.data(), -1), KA_E_BAD_ARGUMENT);
  EXPECT_EQ(KA_Card_GetProperty(&card_, 9, 0, nullptr, &size), KA_OK);
  EXPECT_EQ(size, static_cast<uint32_t>(mib)) << "refused writes left the value";
}

TEST_F(KeelProperties, CardAndIdentityWritesKeepTheCallersAttribute) {
  struct Case {
    const char* what;
    int64_t object;
    KA_STATUS(KEEL_CALL* write)(uint32_t*, int32_t, int32_t, const void*, int32_t);
    uint32_t handle;
    int32_t attribute;
  } cases[] = {
      {"card secret", ObjectOf(card_), KA_Card_SetProperty, card_, KA_ATTR_SECRET},
      {"card plain", ObjectOf(card_), KA_Card_SetProperty, card_, KA_ATTR_PLAIN},
      {"identity secret", ObjectOf(identity_), KA_Id_SetProperty, identity_, KA_ATTR_SECRET},
      {"identity plain", ObjectOf(identity_), KA_Id_SetProperty, identity_, KA_ATTR_PLAIN},
  };
  for (Case& c : cases) {
    ASSERT_EQ(c.write(&c.handle, c.attribute, 20, "v", -1), KA_OK) << c.what;
    int32_t attribute = 0;
    EXPECT_EQ(KeelTest_GetProperty(c.object, 20, nullptr, 0, nullptr, &attribute), KA_OK);
    EXPECT_EQ(attribute, c.attribute) << c.what;
  }
}

TEST_F(KeelProperties, OtherWritesStorePlainValues) {
  uint32_t app = 0;
  uint32_t macro = 0;
  uint32_t shortcut = 0;
  ASSERT_EQ(KA_GetApp(&context_, 0, &app), KA_OK);
  ASSERT_EQ(KA_Id_CreateMacro(&identity_, 2, &macro), KA_OK);
  ASSERT_EQ(KA_CreateShortcut(&context_, &shortcut), KA_OK);
  ASSERT_EQ(KA_App_SetProperty(&app, 30, "v", -1), KA_OK);
  ASSERT_EQ(KA_Macro_SetProperty(&macro, 30, "v", -1), KA_OK);
  ASSERT_EQ(KA_Shortcut_SetProperty(&shortcut, 30, "v", -1), KA_OK);
  ASSERT_EQ(KA_SetProperty(&context_, 30, "v", -1), KA_OK);
  for (int64_t object :
       {ObjectOf(app), ObjectOf(macro), ObjectOf(shortcut), KeelTest_ContextObject()}) {
    int32_t attribute = 0;
    char value[2] = {};
    EXPECT_EQ(KeelTest_GetProperty(object, 30, value, 2, nullptr, &attribute), KA_OK);
    EXPECT_EQ(attribute, KA_ATTR_PLAIN) << "object " << object;
    EXPECT_STREQ(value, "v");
  }
  EXPECT_EQ(ReadValue(KA_Macro_GetProperty, macro, 30), std::string("v", 2));
  EXPECT_EQ(ReadValue(KA_Shortcut_GetProperty, shortcut, 30), std::string("v", 2));
  EXPECT_EQ(ReadValue(KA_GetProperty, context_, 30), std::string("v", 2));
}

}  // namespace
}  // namespace keeltest
