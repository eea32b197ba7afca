// Registration: the identity's text, encrypted, encoded and sent as one GET
// through a loopback proxy, and the result codes of every way it can fail.
#include <openssl/evp.h>

#include <string>
#include <vector>

#include "DataManager.h"
#include "DataManagerUtils.h"
#include "registration/Deployment.h"
#include "registration/Encodings.h"
#include "support/DataManagerTest.h"
#include "support/LoopbackHttp.h"
#include "support/ProfileCards.h"

namespace dm::test {
namespace {

using Registration = DataManagerTest;

const std::string kFreshText = "r" + std::string(27, ';');

void StoreIdentityText(int32_t property, const std::string& value) {
  SetCardText(KeelTest_IdentityObject(), property, value);
}

std::string PercentDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i] == '+' ? ' ' : text[i];
    }
  }
  return out;
}

std::string Base64Decode(const std::string& text) {
  std::string out(text.size(), '\0');
  const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
  out.resize(static_cast<size_t>(std::max(n, 0)));
  for (size_t pad = text.size() - text.find_last_not_of('=') - 1; pad > 0; --pad) out.pop_back();
  return out;
}

// The deployment's decryption of what the service receives.
std::string Decrypt(const std::string& cipher) {
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  std::string plain(cipher.size(), '\0');
  int n = 0, last = 0;
  EVP_DecryptInit_ex(context, EVP_aes_128_cbc(), nullptr, registration::Key(),
                     registration::InitialisationVector());
  EVP_DecryptUpdate(context, reinterpret_cast<unsigned char*>(plain.data()), &n,
                    reinterpret_cast<const unsigned char*>(cipher.data()),
                    static_cast<int>(cipher.size()));
  const bool ok =
      EVP_DecryptFinal_ex(context, reinterpret_cast<unsigned char*>(plain.data()) + n, &last) == 1;
  EVP_CIPHER_CTX_free(context);
  plain.resize(static_cast<size_t>(n + last));
  return ok ? plain : "(does not decrypt)";
}

// What one submission sent: its result, the request line and agent, and
// the data of its query, still Base64, and decrypted.
struct Sent {
  BOOL result = -1;
  std::string line, agent, base64, text;
};

Sent Submit(int status = 200) {
  LoopbackHttp proxy(status);
  ProxyEnvironment through(proxy.port());
  Sent sent;
  sent.result = ::SubmitRegistration();
  const std::vector<LoopbackHttp::Request> requests = proxy.requests();
  if (requests.size() != 1) return sent;
  sent.line = requests[0].line;
  sent.agent = requests[0].Header("User-Agent").value_or("");
  const std::string prefix = std::string("GET http://") + registration::Host() +
                             "/gather.aspx?data=";
  if (sent.line.rfind(prefix, 0) != 0) return sent;
  const std::string data = sent.line.substr(prefix.size(), sent.line.rfind(' ') - prefix.size());
  sent.base64 = PercentDecode(data);
  sent.text = Decrypt(Base64Decode(sent.base64));
  return sent;
}

TEST_P(Registration, AFreshIdentitySendsTwentyEightCharacters) {
  const Sent sent = Submit();
  EXPECT_EQ(sent.result, 0);
  EXPECT_EQ(sent.agent, "Registration");
  EXPECT_EQ(sent.text, kFreshText);
  EXPECT_EQ(sent.base64.size(), 44u) << "32 bytes of ciphertext";
  if (registration::HasDevelopmentSecrets()) {
    // Made with the openssl command line and the development key and IV:
    //   printf 'r;;;;;;;;;;;;;;;;;;;;;;;;;;;' | openssl enc -aes-128-cbc
    //       -K 646576656c6f706d656e742d6b657921 -iv 444556454c4f504d454e542d4f4e4c59 | base64
    EXPECT_EQ(sent.base64, "lWLmLEtBG4UcdGW3WLylRYE3U+WZNiBucB7bYUIIDTA=");
  }
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::SubmitRegistration"),
            "Entering SubmitRegistration() | Exiting SubmitRegistration() With nRet = 0");
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::SendMsg"), "SendHttpRequest Success");
}

TEST_P(Registration, TheTextHoldsPropertiesOneToTwentySixButThePasswords) {
  StoreIdentityText(1, "Ann");
  StoreIdentityText(20, "ann.s");
  StoreIdentityText(21, "otp-one");
  StoreIdentityText(22, "otp-two");
  StoreIdentityText(25, std::string(1023, 'x'));  // the most a field holds
  StoreIdentityText(26, std::string(1024, 'y'));  // too long: an empty field
  KeelTest_TraceClear();
  const Sent sent = Submit(404);  // any answer counts
  EXPECT_EQ(sent.result, 0);
  EXPECT_EQ(sent.text, "r;Ann;" + std::string(18, ';') + "ann.s;;;;;" + std::string(1023, 'x') +
                           ";;");
  std::vector<int32_t> expected;
  for (int pass = 0; pass < 2; ++pass) {  // the size, then the text
    for (int32_t p = 1; p <= 26; ++p) {
      if (p != 21 && p != 22) expected.push_back(p);
    }
  }
  EXPECT_EQ(PropertiesOf(KF_Id_GetProperty), expected);
}

TEST_P(Registration, EachFailureHasItsCodeAndLine) {
  class NoCipher : public EnvWrapper {
   public:
    NoCipher() : EnvWrapper(DefaultEnv()) {}
    bool EncryptAes128Cbc(const AesKeyBlob&, const uint8_t (&)[16], std::string_view,
                          std::string* cipher) override {
      cipher->clear();
      return false;
    }
  };
  {
    LoopbackHttp closed(200, /*listening=*/false);
    ProxyEnvironment through(closed.port());
    EXPECT_EQ(::SubmitRegistration(), 278);
    EXPECT_EQ(LinesOf(log(), "DataManagerUtils::SendMsg"), "SendHttpRequest Failed");
  }
  NoCipher noCipher;
  SetEnv(&noCipher);
  log().Clear();
  EXPECT_EQ(::SubmitRegistration(), 277);
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::SendMsg"), "EncryptURL() Failed");
  SetEnv(nullptr);

  StoreScript script;
  script.Answer(KF_Init, KA_E_STORAGE);
  ResetStoreHandlesForTesting();  // a process whose store does not open
  log().Clear();
  EXPECT_EQ(::SubmitRegistration(), 270);
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::SubmitRegistration"),
            "Entering SubmitRegistration() | InitializeSetting Failed | Exiting "
            "SubmitRegistration() With nRet = 270");
  EXPECT_EQ(log().Texts().back(), "Exiting SubmitRegistration() With bRet = 270");
  for (const LogLine& l : log().lines()) {
    EXPECT_EQ(l.level, l.text == "InitializeSetting Failed" ? 3 : 1) << l.text;
  }
}

TEST_P(Registration, TheTextIsGivenOnlyToABufferOfItsExactSize) {
  ASSERT_EQ(DataManagerUtils().InitializeSetting(2), 1);
  DataManagerUtils worker;
  DWORD size = 0;
  ASSERT_EQ(worker.GetRegistrationInfo(nullptr, &size), 1);
  EXPECT_EQ(size, 29u);
  std::string buffer(64, '#');
  for (const DWORD wrong : {30u, 28u}) {
    DWORD given = wrong;
    EXPECT_EQ(worker.GetRegistrationInfo(buffer.data(), &given), 0);
    EXPECT_EQ(given, wrong) << "left unchanged";
    EXPECT_EQ(buffer, std::string(64, '#')) << "nothing written";
  }
  EXPECT_EQ(worker.GetRegistrationInfo(buffer.data(), &size), 1);
  EXPECT_EQ(std::string(buffer.c_str()), kFreshText);
}

TEST(RegistrationEncodings, Base64AndPercentEncodingFollowTheirTables) {
  const std::vector<std::pair<std::string, std::string>> base64 = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"},
      {"\xfb\xff", "+/8="}};
  for (const auto& [in, out] : base64) EXPECT_EQ(registration::Base64(in), out);
  EXPECT_EQ(registration::PercentEncode("aZ09 +/=-_.~\x01\xff"),
            "aZ09+%2B%2F%3D%2D%5F%2E%7E%01%FF");
}

DM_IN_MEMORY(Registration);

}  // namespace
}  // namespace dm::test
