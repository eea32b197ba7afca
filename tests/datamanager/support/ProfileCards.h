// ProfileCards.h - seeding and inspecting profile cards for the profile
// suites, straight through the store's test interface.
#ifndef DM_TESTS_PROFILE_CARDS_H
#define DM_TESTS_PROFILE_CARDS_H

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "DataManager.h"
#include "KeelAPITest.h"
#include "ks/utf.h"
#include "support/LogCapture.h"
#include "support/StoreScript.h"

namespace dm::test {

inline constexpr int32_t kAppCategory = 998;
inline constexpr int32_t kWebCategory = 999;

// What a profile card holds; unset values are not stored.
struct CardValues {
  std::string user, password;
  std::optional<std::string> text3101, text105;
  std::optional<uint8_t> otp, soFlag;
};

// Stores a text with its terminator on any object: a card, the identity.
inline void SetCardText(int64_t card, int32_t property, const std::string& value,
                        int32_t attribute = KA_ATTR_PLAIN) {
  ASSERT_EQ(KeelTest_SetProperty(card, property, attribute, value.c_str(), -1), KA_OK);
}

inline void SetCardByte(int64_t card, int32_t property, uint8_t value) {
  ASSERT_EQ(KeelTest_SetProperty(card, property, KA_ATTR_PLAIN, &value, 1), KA_OK);
}

// A card of `category` under `domain` holding `values`; answers its id.
inline int64_t SeedProfile(int32_t category, const std::string& domain, const CardValues& values) {
  const int64_t card = KeelTest_SeedCard(domain.c_str(), category);
  EXPECT_GT(card, 0);
  SetCardText(card, 103, values.user);
  SetCardText(card, 104, values.password, KA_ATTR_SECRET);
  if (values.text3101) SetCardText(card, 3101, *values.text3101);
  if (values.text105) SetCardText(card, 105, *values.text105);
  if (values.otp) SetCardByte(card, 1003, *values.otp);
  if (values.soFlag) SetCardByte(card, 1999, *values.soFlag);
  return card;
}
inline int64_t SeedWeb(const std::string& domain, const CardValues& values) {
  return SeedProfile(kWebCategory, domain, values);
}
inline int64_t SeedApp(const std::string& domain, const CardValues& values) {
  return SeedProfile(kAppCategory, domain, values);
}

// The live objects of a kind, in creation order.
inline std::vector<int64_t> Objects(KeelObjectKind kind) {
  std::vector<int64_t> ids(KeelTest_ListObjects(kind, nullptr, 0));
  KeelTest_ListObjects(kind, ids.data(), ids.size());
  return ids;
}
inline std::vector<int64_t> Cards() { return Objects(KEEL_CARD); }

// A stored text property of a card, without its terminator; nullopt when
// the property is not stored.
inline std::optional<std::string> CardText(int64_t card, int32_t property) {
  int32_t size = 0;
  if (KeelTest_GetProperty(card, property, nullptr, 0, &size, nullptr) != KA_OK) {
    return std::nullopt;
  }
  std::string value(static_cast<size_t>(size), '\0');
  if (KeelTest_GetProperty(card, property, value.data(), size, &size, nullptr) != KA_OK) {
    return std::nullopt;
  }
  return std::string(value.c_str());
}

inline std::optional<uint8_t> CardByte(int64_t card, int32_t property) {
  uint8_t value = 0;
  int32_t size = 0;
  if (KeelTest_GetProperty(card, property, &value, 1, &size, nullptr) != KA_OK) return std::nullopt;
  return value;
}

// UTF-16 of a UTF-8 text (the tests' texts are valid).
inline std::u16string U16(const std::string& utf8) {
  std::u16string wide;
  ks::text::Utf8ToUtf16<char16_t>(utf8, &wide);
  return wide;
}

// A field's text, up to its terminator, as UTF-8.
template <size_t Width>
std::string Utf8(const WCHAR (&field)[Width]) {
  return ks::text::Utf16ToUtf8<WCHAR>(ks::text::FieldText<WCHAR>(field, Width));
}

template <size_t Width>
void Fill(WCHAR (&field)[Width], const std::string& utf8) {
  std::basic_string<WCHAR> wide;
  ks::text::Utf8ToUtf16<WCHAR>(utf8, &wide);
  ks::text::CopyToField<WCHAR>(field, Width, wide);
}

inline KS_DOMAIN Domain(const std::string& utf8) {
  KS_DOMAIN domain = {};
  Fill(domain.Domain, utf8);
  return domain;
}

inline KS_PROFILE Profile(KS_PROFILE_TYPE kind, const std::string& user,
                          const std::string& password = "", const std::string& text3101 = "",
                          const std::string& text105 = "", DWORD otp = KS_OTP_MODE_UNSET) {
  KS_PROFILE profile = {};
  profile.ProfileType = kind;
  Fill(profile.UserName, user);
  Fill(profile.Password, password);
  Fill(profile.Text3101, text3101);
  Fill(profile.Text105, text105);
  profile.OtpMode = otp;
  return profile;
}

// A store fault for ScriptFaults: `function` answers `status` on its `nth`
// call (0: every call) of `property` (0: any).
struct StoreFault { KeelFunction function; int16_t status; int32_t property = 0; int nth = 0; };
inline void ScriptFaults(StoreScript& script, const std::vector<StoreFault>& faults) {
  for (const StoreFault& f : faults) {
    StoreScript::Rule& rule = script.Answer(f.function, f.status).OnCall(f.nth);
    if (f.property != 0) rule.ForProperty(f.property);
  }
}

// The store calls of one function, in order.
inline std::vector<KeelCall> CallsOf(KeelFunction function) {
  std::vector<KeelCall> out;
  for (const KeelCall& c : StoreCalls()) {
    if (c.function == function) out.push_back(c);
  }
  return out;
}

inline std::vector<int32_t> PropertiesOf(KeelFunction function) {
  std::vector<int32_t> out;
  for (const KeelCall& c : CallsOf(function)) out.push_back(c.property);
  return out;
}

// The texts of the lines logged under `function`, joined with " | ".
inline std::string LinesOf(const LogCapture& log, const std::string& function) {
  std::string joined;
  for (const LogLine& l : log.lines()) {
    if (l.function == function) joined += (joined.empty() ? "" : " | ") + l.text;
  }
  return joined;
}

// The texts of the last `n` lines, whoever logged them, joined with " | ".
inline std::string LastLines(const LogCapture& log, size_t n) {
  const std::vector<std::string> texts = log.Texts();
  std::string joined;
  for (size_t i = texts.size() > n ? texts.size() - n : 0; i < texts.size(); ++i) {
    joined += (joined.empty() ? "" : " | ") + texts[i];
  }
  return joined;
}

// Who called whom: the functions that logged, each run of lines of one
// function named once, joined with " > ", leaving out the openings (the
// store initialisation and the App and Identity requests).
inline std::string FunctionOrder(const LogCapture& log) {
  std::string joined, last;
  for (const LogLine& l : log.lines()) {
    if (l.function.rfind("DataManagerUtils::Initialize", 0) == 0 ||
        l.function == "KeelAPIUtils::InitKeelAPI" || l.function == last) {
      continue;
    }
    joined += (joined.empty() ? "" : " > ") + l.function;
    last = l.function;
  }
  return joined;
}

// Every card a walk obtained was released before the next card request and
// before the operation returned.
inline void ExpectEachCardReleasedBeforeTheNextRequest() {
  bool holding = false;
  for (const KeelCall& c : StoreCalls()) {
    if (c.function == KF_Id_GetCard) {
      EXPECT_FALSE(holding) << "a card was requested while another was held";
      holding = c.status >= 0;
    } else if (c.function == KF_Card_Release || c.function == KF_Card_Delete) {
      holding = false;
    }
  }
  EXPECT_FALSE(holding) << "the last card was not released";
}

}  // namespace dm::test

#endif  // DM_TESTS_PROFILE_CARDS_H
