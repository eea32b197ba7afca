// The administration interface on the store in use: its file, its counts,
// its check and its export.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "KeelAPIAdmin.h"
#include "store_fixture.h"

namespace keeltest {
namespace {

using KeelAdmin = StoreTest;

// Collects what a sink receives.
void Collect(void* user, const char* text) { static_cast<std::string*>(user)->append(text); }

std::string Export(int32_t flags, KA_STATUS* status) {
  std::string document;
  *status = KeelAdmin_Export(flags, Collect, &document);
  return document;
}

TEST_F(KeelAdmin, StoreFileIsTheDatabaseInUseOrEmptyInMemoryAndBadArgumentsAreRefused) {
  int32_t size = 0;
  int64_t size64 = 0;
  ASSERT_EQ(KeelAdmin_StoreFile(nullptr, 0, &size), KA_OK);
  std::string file(static_cast<size_t>(size), '\0');
  ASSERT_EQ(KeelAdmin_StoreFile(file.data(), size, &size), KA_OK);
  file.resize(static_cast<size_t>(size) - 1);
  if (std::getenv("KEELTEST_BACKEND") == nullptr) {
    EXPECT_EQ(file, "");
  } else {
    EXPECT_TRUE(file.ends_with("keel.db")) << file;
  }
  char small[1] = {'#'};
  if (!file.empty()) {
    EXPECT_EQ(KeelAdmin_StoreFile(small, 1, &size), KA_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(small[0], '#');
  }
  for (const Call& c : {STORE_CALL(KeelAdmin_StoreFile(small, 1, nullptr)),
                        STORE_CALL(KeelAdmin_StoreFile(nullptr, 4, &size)),
                        STORE_CALL(KeelAdmin_StoreFile(small, -1, &size)),
                        STORE_CALL(KeelAdmin_CountObjects(KEEL_CARD, nullptr)),
                        STORE_CALL(KeelAdmin_CountObjects(static_cast<KeelObjectKind>(7), &size64)),
                        STORE_CALL(KeelAdmin_Export(0, nullptr, nullptr)),
                        STORE_CALL(KeelAdmin_Check(nullptr, nullptr))}) {
    EXPECT_EQ(c.call(), KA_E_BAD_ARGUMENT) << c.what;
  }
}

TEST_F(KeelAdmin, CountsAndExportsEveryObjectWithholdingSecretsAndTheCheckFindsItSound) {
  Open();
  NewCard("b.com", 2);
  uint32_t card = NewCard("c.com", 1);
  ASSERT_EQ(KA_Card_Delete(&card), KA_OK);
  KeelTest_SeedMacro(3);
  card = NewCard("mail.example.com", 999);
  ASSERT_EQ(KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 103, "al\"ice", -1), KA_OK);
  ASSERT_EQ(KA_Card_SetProperty(&card, KA_ATTR_SECRET, 104, "s3cret-pw", -1), KA_OK);
  const uint8_t otp[2] = {0x02, 0xff};
  ASSERT_EQ(KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 1003, otp, 2), KA_OK);
  for (const auto& [kind, expected] : {std::pair{KEEL_CONTEXT, 1}, {KEEL_APP, 0},
                                        {KEEL_IDENTITY, 1}, {KEEL_CARD, 2}, {KEEL_MACRO, 1},
                                        {KEEL_SHORTCUT, 0}}) {
    int64_t count = -1;
    EXPECT_EQ(KeelAdmin_CountObjects(kind, &count), KA_OK);
    EXPECT_EQ(count, expected) << kind;
  }

  KA_STATUS status = KA_E_STORAGE;
  const std::string plain = Export(0, &status);
  ASSERT_EQ(status, KA_OK);
  EXPECT_EQ(plain.rfind("{\"format\": \"keel-export\", \"version\": 1, \"objects\": [", 0), 0u);
  EXPECT_EQ(plain.substr(plain.size() - 4), "\n]}\n");
  const std::string card_id = std::to_string(ObjectOf(card));
  for (const std::string& expected :
       {"{\"id\": " + card_id + ", \"kind\": \"card\"", std::string("\"category\": 999"),
        std::string("{\"number\": 1, \"attribute\": -20, \"size\": 17, "
                    "\"text\": \"mail.example.com\"}"),
        std::string("\"text\": \"al\\\"ice\""),
        std::string("{\"number\": 104, \"attribute\": 10, \"size\": 10, "
                    "\"secret\": \"withheld\"}"),
        std::string("{\"number\": 1003, \"attribute\": -20, \"size\": 2, \"hex\": \"02ff\"}"),
        std::string("\"kind\": \"context\""), std::string("\"kind\": \"identity\"")}) {
    EXPECT_NE(plain.find(expected), std::string::npos) << expected << "\nin\n" << plain;
  }
  EXPECT_EQ(plain.find("s3cret"), std::string::npos);
  for (const int32_t flags : {1, 2, 4, -1, INT32_MIN}) {  // none hands a secret out
    EXPECT_EQ(Export(flags, &status), "") << flags;
    EXPECT_EQ(status, KA_E_BAD_ARGUMENT) << flags;
  }

  const std::vector<std::string> problems = Problems(&status);
  EXPECT_EQ(status, KA_OK) << "the store is sound";
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST_F(KeelAdmin, IdentityTextsAreReadAndSecretsNeverHandedOut) {
  int32_t size = -1;
  char buffer[16] = {};
  EXPECT_EQ(KeelAdmin_GetIdentityText(3, buffer, sizeof buffer, &size), KA_E_NOT_STORED);
  int64_t identities = -1;
  ASSERT_EQ(KeelAdmin_CountObjects(KEEL_IDENTITY, &identities), KA_OK);
  EXPECT_EQ(identities, 0) << "a look makes no identity";

  Open();
  ASSERT_EQ(KA_Id_SetProperty(&identity_, KA_ATTR_PLAIN, 3, "Alice", -1), KA_OK);
  ASSERT_EQ(KA_Id_SetProperty(&identity_, KA_ATTR_SECRET, 5, "s3cret", -1), KA_OK);
  // A policy that would allow the store's own read of the secret.
  int asked = 0;
  KeelTest_SetAuthPolicy(
      [](void* user, int64_t, int32_t) -> int16_t { ++*static_cast<int*>(user); return KA_OK; },
      &asked);
  struct Case {
    const char* what;
    int32_t property;
    bool with_buffer;
    int32_t capacity;
    KA_STATUS status;
    int32_t size;        // -1: left as it was
    std::string buffer;  // what the buffer holds after, up to its first NUL
  } cases[] = {
      {"a text", 3, true, 16, KA_OK, 6, "Alice"},
      {"a size query", 3, false, 0, KA_OK, 6, "####"},
      {"too small a buffer", 3, true, 5, KA_E_BUFFER_TOO_SMALL, 6, "####"},
      {"a secret", 5, true, 16, KA_E_AUTH_REFUSED, -1, "####"},
      {"a secret's size", 5, false, 0, KA_E_AUTH_REFUSED, -1, "####"},
      {"an absent property", 7, true, 16, KA_E_NOT_STORED, -1, "####"},
      {"a negative capacity", 3, true, -1, KA_E_BAD_ARGUMENT, -1, "####"},
      {"a null buffer with a capacity", 3, false, 16, KA_E_BAD_ARGUMENT, -1, "####"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::strcpy(buffer, "####");
    size = -1;
    EXPECT_EQ(KeelAdmin_GetIdentityText(c.property, c.with_buffer ? buffer : nullptr, c.capacity,
                                        &size),
              c.status);
    EXPECT_EQ(size, c.size);
    EXPECT_EQ(std::string(buffer), c.buffer);
  }
  EXPECT_EQ(asked, 0) << "a secret is refused without asking";
  EXPECT_EQ(KeelAdmin_GetIdentityText(3, buffer, sizeof buffer, nullptr), KA_E_BAD_ARGUMENT);
}

}  // namespace
}  // namespace keeltest
