// Registration: the identity's text, encrypted, encoded and sent as one GET
// (the platform suite sends one through a proxy), and the result codes of
// every way it can fail.
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "DataManager.h"
#include "DataManagerUtils.h"
#include "registration/Deployment.h"
#include "registration/Encodings.h"
#include "support/DataManagerTest.h"
#include "support/ProfileCards.h"
#include "support/RecordingEnv.h"

namespace dm::test {
namespace {

using Registration = DataManagerTest;

const std::string kFreshText = "r" + std::string(27, ';');
const std::string kQuery =
    std::string("Registration|") + registration::Host() + ":80|/gather.aspx?data=";

// The GET that carries `text` to the service: encrypted under the
// deployment's key bytes and IV (the platform's cipher is checked against
// reference vectors of its own), then Base64- and percent-encoded.
Names Get(const std::string& text) {
  AesKeyBlob blob{8, 2, 0, 0x660E, 16, {}};
  std::copy(std::begin(registration::Key()), std::end(registration::Key()), blob.key);
  std::string cipher;
  EXPECT_TRUE(
      DefaultEnv()->EncryptAes128Cbc(blob, registration::InitialisationVector(), text, &cipher));
  return {kQuery + registration::PercentEncode(registration::Base64(cipher))};
}

// The text holds identity properties 1 to 26 but the passwords, 21 and 22:
// 28 characters for a fresh identity.
TEST_P(Registration, TheIdentitysTextIsSentAsOneGet) {
  RecordingEnv env;
  env.httpAnswer = true;
  EXPECT_EQ(::SubmitRegistration(), 0);
  EXPECT_EQ(env.gets, Get(kFreshText));
  if (registration::HasDevelopmentSecrets()) {
    // Made with the openssl command line and the development key and IV:
    //   printf 'r;;;;;;;;;;;;;;;;;;;;;;;;;;;' | openssl enc -aes-128-cbc
    //       -K 646576656c6f706d656e742d6b657921 -iv 444556454c4f504d454e542d4f4e4c59 | base64
    EXPECT_EQ(env.gets, Names{kQuery + "lWLmLEtBG4UcdGW3WLylRYE3U%2BWZNiBucB7bYUIIDTA%3D"});
  }
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::SubmitRegistration"),
            "Entering SubmitRegistration() | Exiting SubmitRegistration() With nRet = 0");
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::SendMsg"), "SendHttpRequest Success");

  const int64_t identity = KeelTest_IdentityObject();
  SetCardText(identity, 1, "Ann");
  SetCardText(identity, 20, "ann.s");
  SetCardText(identity, 21, "otp-one");
  SetCardText(identity, 22, "otp-two");
  SetCardText(identity, 25, std::string(1023, 'x'));  // the most a field holds
  SetCardText(identity, 26, std::string(1024, 'y'));  // too long: an empty field
  KeelTest_TraceClear();
  env.gets.clear();
  EXPECT_EQ(::SubmitRegistration(), 0);
  EXPECT_EQ(env.gets,
            Get("r;Ann;" + std::string(18, ';') + "ann.s;;;;;" + std::string(1023, 'x') + ";;"));
  std::vector<int32_t> expected;
  for (int32_t i = 0; i < 52; ++i) {  // the sizes, then the texts
    if (i % 26 != 20 && i % 26 != 21) expected.push_back(i % 26 + 1);
  }
  EXPECT_EQ(PropertiesOf(KF_Id_GetProperty), expected);
}

TEST_P(Registration, EachFailureHasItsCodeAndLine) {
  RecordingEnv env;
  env.httpAnswer = false;
  EXPECT_EQ(::SubmitRegistration(), 278);
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::SendMsg"), "SendHttpRequest Failed");
  env.encryptionFails = true;
  log().Clear();
  EXPECT_EQ(::SubmitRegistration(), 277);
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::SendMsg"), "EncryptURL() Failed");
  EXPECT_EQ(env.gets.size(), 1u) << "nothing sent without a cipher";

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
