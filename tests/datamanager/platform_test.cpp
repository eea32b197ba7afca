// The platform's own services, called through the default Env: loading the
// store and finding its functions by name, AES-128-CBC against vectors made
// with the openssl command line, and HTTP GETs through a loopback proxy (the
// registration suite sends one with a status of 404 and one refused).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "platform/Env.h"
#include "platform/TextCodec.h"

#ifndef _WIN32
#include "support/LoopbackHttp.h"
#endif

namespace dm::test {
namespace {

std::string Hex(const std::string& bytes) {
  std::string hex;
  char pair[3];
  for (unsigned char byte : bytes) {
    std::snprintf(pair, sizeof pair, "%02x", byte);
    hex += pair;
  }
  return hex;
}

// A function is found only among the store's own exports: not a function it
// lacks, nor one of a library the store itself depends on.
TEST(PlatformLibrary, FindsTheStoresOwnExportsByNameAndNothingElse) {
  Env* env = DefaultEnv();
  WString path;
  ASSERT_TRUE(platform::Utf8ToWide(KEELAPI_LIBRARY_PATH, &path));
  const ModuleHandle store = env->LoadLibrary(path);
  ASSERT_NE(store, nullptr);
  for (const char* exported : {"KA_Init", "KA_GetApp", "KA_Macro_SetProperty", "KeelAdmin_Check"}) {
    EXPECT_NE(env->GetProcAddress(store, exported), nullptr) << exported;
  }
  for (const char* absent : {"KA_Nothing", "KA_", "", "malloc", "sqlite3_open_v2"}) {
    EXPECT_EQ(env->GetProcAddress(store, absent), nullptr) << absent;
  }
  EXPECT_EQ(env->GetProcAddress(nullptr, "KA_Init"), nullptr);
  EXPECT_TRUE(env->FreeLibrary(store));
}

AesKeyBlob KeyBlob() {
  AesKeyBlob blob{8, 2, 0, 0x660E, 16, {}};
  for (uint8_t i = 0; i < 16; ++i) blob.key[i] = i;  // 000102...0f
  return blob;
}

constexpr uint8_t kIv[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                             '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};

// Each made with the openssl command line, key 000102...0f and the IV above:
//   printf '%s' "$plain" | openssl enc -aes-128-cbc
//       -K 000102030405060708090a0b0c0d0e0f -iv 30313233343536373839616263646566 | xxd -p -c 64
const std::pair<std::string, std::string> kVectors[] = {
    {"", "c8b679329b51b5982fd394cb4de6ba78"},
    {"fifteen bytes!!", "274d9d012eca704f98736e1a863a60b5"},
    {"sixteen bytes!!!", "0fbcdffc74ef32f6691b53e9487e0cc250ebec63f712f99a6d4d9ed5945909d8"},
    {"twenty-eight bytes of text!!",
     "b96f11c965c516f808eb496f40c25bd967a7ba43e2a133f27dc5ec09c6d5ef5b"},
};

TEST(PlatformEncrypt, MatchesTheReferenceAndPadsToTheNextWholeBlock) {
  for (const auto& [plain, cipherHex] : kVectors) {
    std::string cipher = "stale";
    EXPECT_TRUE(DefaultEnv()->EncryptAes128Cbc(KeyBlob(), kIv, plain, &cipher)) << plain;
    EXPECT_EQ(Hex(cipher), cipherHex) << "plain text of " << plain.size() << " bytes";
  }
}

TEST(PlatformEncrypt, RefusesABlobThatIsNotAnAes128PlainTextKey) {
  const std::pair<const char*, void (*)(AesKeyBlob&)> cases[] = {
      {"AES-256 algorithm", [](AesKeyBlob& b) { b.algorithm = 0x6610; }},
      {"blob type", [](AesKeyBlob& b) { b.type = 7; }},
      {"blob version", [](AesKeyBlob& b) { b.version = 3; }},
      {"key size", [](AesKeyBlob& b) { b.keySize = 24; }},
  };
  for (const auto& [what, spoil] : cases) {
    AesKeyBlob blob = KeyBlob();
    spoil(blob);
    std::string cipher = "stale";
    EXPECT_FALSE(DefaultEnv()->EncryptAes128Cbc(blob, kIv, "some text", &cipher)) << what;
    EXPECT_EQ(cipher, "") << what;
  }
}

#ifndef _WIN32

WString Wide(const std::string& text) {
  WString wide;
  platform::Utf8ToWide(text, &wide);
  return wide;
}

// curl leaves the default port out of the request line and the host header.
TEST(PlatformHttpGet, SendsOneGetThroughTheProxyWithItsPortAndAgent) {
  const std::string agent = "DataManager platform test/1.0";
  for (const auto& [port, host] : {std::pair<uint16_t, std::string>{80, "registration.example"},
                                   {8080, "registration.example:8080"}}) {
    LoopbackHttp proxy;
    ASSERT_NE(proxy.port(), 0);
    ProxyEnvironment through(proxy.port());
    EXPECT_TRUE(DefaultEnv()->HttpGet(Wide(agent), Wide("registration.example"), port,
                                      Wide("/gather.aspx?data=abc")));
    const std::vector<LoopbackHttp::Request> requests = proxy.requests();
    ASSERT_EQ(requests.size(), 1u) << host;
    EXPECT_EQ(requests[0].line, "GET http://" + host + "/gather.aspx?data=abc HTTP/1.1");
    EXPECT_EQ(requests[0].Header("User-Agent"), agent);
    EXPECT_EQ(requests[0].Header("Host"), host);
  }
}

#endif  // _WIN32

}  // namespace
}  // namespace dm::test
