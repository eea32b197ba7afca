// Biometric status on the store context, and one-time-password access.
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "DataManager.h"
#include "support/DataManagerTest.h"
#include "support/ProfileCards.h"

namespace dm::test {
namespace {

using BiometricsAndVip = DataManagerTest;

void SetEnrollments(DWORD count) {
  ASSERT_EQ(KeelTest_SetProperty(KeelTest_ContextObject(), 4, KA_ATTR_PLAIN, &count, 4), KA_OK);
}

// Stores a text with its terminator; the empty text as a value of no bytes.
void StoreIdentityText(int32_t property, const std::string& value, int32_t attribute) {
  ASSERT_EQ(KeelTest_SetProperty(KeelTest_IdentityObject(), property, attribute, value.c_str(),
                                 value.empty() ? 0 : -1),
            KA_OK);
}

// Without an open store only the sensor question goes on, and fails.
TEST_P(BiometricsAndVip, TheEnrollmentCountAnswersBothQuestions) {
  struct Case {
    std::optional<DWORD> stored;  // none: no sensor answers
    BOOL enrolled, sensor;
    std::string line;   // the failure line of each question that asks, if any
    bool opens = true;  // the store opens
  };
  const std::vector<Case> cases = {
      {std::nullopt, 0, 0, "KA_GetProperty Failed With Error = -17"},
      {0, 0, 1, ""},
      {1, 1, 1, ""},
      {2, 0, 0, "KA_GetProperty Failed With Error = -10", false},
      {10, 1, 1, ""},
      {11, 0, 0, "KA_GetProperty Returned Illegal Enrollments = 11"},
      {0xFFFFFFFF, 0, 0, "KA_GetProperty Returned Illegal Enrollments = 4294967295"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    FreshStore();
    if (c.stored) SetEnrollments(*c.stored);
    StoreScript script;
    if (!c.opens) script.Answer(KF_Init, KA_E_STORAGE);
    log().Clear();
    EXPECT_EQ(::IsCurrentUserEnrolled(), c.enrolled);
    EXPECT_EQ(::IsSensorConnected(), c.sensor);
    EXPECT_EQ(LinesOf(log(), "KeelAPIUtils::EnumEnrollments"),
              c.line.empty() || !c.opens ? c.line : c.line + " | " + c.line);
  }
  EXPECT_EQ(FunctionOrder(log()),
            "IsCurrentUserEnrolled > DataManagerUtils::IsUserEnrolled > KeelAPIUtils::"
            "EnumEnrollments > DataManagerUtils::IsUserEnrolled > IsCurrentUserEnrolled > "
            "IsSensorConnected > DataManagerUtils::IsSensorConnected > "
            "KeelAPIUtils::EnumEnrollments > DataManagerUtils::IsSensorConnected > "
            "IsSensorConnected");
}

TEST_P(BiometricsAndVip, TheParentWindowAndTheAuthenticationGoToTheContext) {
  uint64_t window = 0x0102030405060708;
  EXPECT_EQ(::SetBioModuleParent(&window), 1);
  EXPECT_EQ(ContextValue(103), window) << "the context of this process has it";

  EXPECT_EQ(::StartAuthentication(), 1);
  const std::vector<KeelCall> calls = CallsOf(KF_Execute);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].command, 2);
  EXPECT_EQ(calls[0].size, 5);
  EXPECT_STREQ(calls[0].text, "<xml>");
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::StartAuthentication"),
            "Entering StartAuthentication() | Exiting StartAuthentication() With bRet = 1");
  StoreScript script;
  script.Answer(KF_Execute, KA_E_STORAGE);
  EXPECT_EQ(::StartAuthentication(), 0);
}

TEST_P(BiometricsAndVip, TheCredentialIdIsEmptyUntilStored) {
  WCHAR id[256];
  std::memset(id, 0x41, sizeof id);
  EXPECT_EQ(::GetVIPCID(id), 1);
  EXPECT_EQ(Utf8(id), "") << "not stored: empty";

  StoreIdentityText(1001, "VSST12345678", KA_ATTR_PLAIN);
  log().Clear();
  KeelTest_TraceClear();
  EXPECT_EQ(::GetVIPCID(id), 1);
  EXPECT_EQ(Utf8(id), "VSST12345678");
  EXPECT_EQ(CallsOf(KF_Id_GetProperty).back().size, 512) << "the read's capacity";
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::GetVIPCID"),
            "Entering GetVIPCID() | Get GetVIPCID Successfully | GetVIPCID Is VSST12345678 | "
            "Exiting GetVIPCID() With bRet = 1");

  StoreScript script;
  script.Answer(KF_Id_GetProperty, KA_E_STORAGE);
  EXPECT_EQ(::GetVIPCID(id), 0);
}

TEST_P(BiometricsAndVip, OneTimePasswordsNeedTheFirstAndTakeTheSecondIfThere) {
  struct Case {
    std::optional<std::string> first, second;  // "" is a value of no bytes
    int16_t policy;  // the authentication policy's answer for the secrets
    BOOL result;
    const char* last;  // before the frame's exit line: no worker's exit line on a refusal
  };
  const std::vector<Case> cases = {
      {"111111", "222222", KA_OK, 1, "Exiting GetVIPOTP() With bRet = 1;"},
      {"111111", std::nullopt, KA_OK, 1, "Exiting GetVIPOTP() With bRet = 1;"},
      {std::nullopt, "222222", KA_OK, 0, "KA_Id_GetProperty Failed With Error = -17"},
      {"", "222222", KA_OK, 0, "Exiting InitializeProfile() With bRet = 1"},
      {"111111", "222222", KA_E_AUTH_CANCELLED, 0, "KA_Id_GetProperty Failed With Error = -9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.last);
    FreshStore();
    if (c.first) StoreIdentityText(21, *c.first, KA_ATTR_SECRET);
    if (c.second) StoreIdentityText(22, *c.second, KA_ATTR_SECRET);
    KeelTest_SetAuthPolicy([](void* user, int64_t, int32_t) { return *static_cast<int16_t*>(user); },
                           const_cast<int16_t*>(&c.policy));
    log().Clear();
    WCHAR first[256], second[256];
    std::memset(first, 0x41, sizeof first);
    std::memset(second, 0x41, sizeof second);
    EXPECT_EQ(::GetVIPOTP(first, second), c.result);
    EXPECT_EQ(Utf8(first), c.result ? *c.first : "");
    EXPECT_EQ(Utf8(second), c.result && c.second ? *c.second : "");
    EXPECT_EQ(LastLines(log(), 2), std::string(c.last) + " | Exiting GetVIPOTP() With bRet = " +
                                       std::to_string(c.result));
  }
}

// "résumé" as a caller passes it, in the system code page: UTF-8 on POSIX,
// the ANSI code page on Windows.
std::string ResumeInSystemCodePage() {
#ifdef _WIN32
  char text[16] = {};
  WideCharToMultiByte(CP_ACP, 0, L"r\u00e9sum\u00e9", -1, text, sizeof text, nullptr, nullptr);
  return text;
#else
  return "r\xC3\xA9sum\xC3\xA9";
#endif
}

// The store gets the UTF-8 text, cut to the caller's length in bytes; a
// command that is not text in the system code page gets none, and is refused.
TEST_P(BiometricsAndVip, ThePromptGetsTheCommandAsUtf8WithTheCallersLength) {
  struct Case {
    const char* command;
    std::optional<std::string> sent;
    std::string logged;
  };
  const std::string resume = ResumeInSystemCodePage(), utf8 = "r\xC3\xA9sum\xC3\xA9";
  std::vector<Case> cases = {{nullptr, std::nullopt, ""},
                             {"help.chm", "help.chm", "help.chm"},
                             {"", "", ""},
                             {resume.c_str(), utf8.substr(0, resume.size()), utf8}};
  if (resume.size() == 8) cases.push_back({"\xFF", std::nullopt, ""});  // a code page of UTF-8
  for (const Case& c : cases) {
    const bool refused = c.command != nullptr && !c.sent;
    SCOPED_TRACE(c.logged);
    log().Clear();
    KeelTest_TraceClear();
    DWORD flag = 7;
    EXPECT_EQ(::LaunchVIPPromptUIWithCmd(c.command, &flag), !refused);
    EXPECT_EQ(flag, refused ? 0u : 1u);
    const std::vector<KeelCall> calls = StoreCalls();
    ASSERT_EQ(calls.size(), 1u) << "the prompt opens nothing first";
    EXPECT_EQ(calls[0].command, 3);
    EXPECT_EQ(calls[0].size, static_cast<int32_t>(c.command ? std::strlen(c.command) : 0));
    EXPECT_EQ(calls[0].text != nullptr ? std::optional<std::string>(calls[0].text) : std::nullopt,
              c.sent);
    EXPECT_EQ(
        LinesOf(log(), "DataManagerUtils::LaunchVIPPromptUIWithCmd"),
        "Help File Path: " + c.logged + (refused ? " | KA_Execute Failed With Error = -4" : ""));
  }
}

DM_IN_MEMORY(BiometricsAndVip);

}  // namespace
}  // namespace dm::test
