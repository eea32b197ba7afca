// The identity card: seven fields kept as identity properties.
#include <optional>
#include <string>
#include <vector>

#include "DataManager.h"
#include "support/DataManagerTest.h"
#include "support/ProfileCards.h"

namespace dm::test {
namespace {

using VCard = DataManagerTest;
using Fields = std::vector<std::string>;

const std::vector<int32_t> kCardProperties = {1, 2, 3, 4, 5, 6, 20};
const Fields kAlice = {"ali", "Alice Lidell", "Zürich", "alice@example.com", "alice.example",
                       "+41 79 000", "alice.s"};

KS_VCARD Card(const Fields& values) {
  KS_VCARD card = {};
  WCHAR(*fields[])[256] = {&card.Nickname, &card.FullName,    &card.Location, &card.Email,
                           &card.Website,  &card.PhoneMobile, &card.SkypeID};
  for (size_t i = 0; i < values.size(); ++i) Fill(*fields[i], values[i]);
  return card;
}

Fields Read(const KS_VCARD& card) {
  return {Utf8(card.Nickname), Utf8(card.FullName),    Utf8(card.Location), Utf8(card.Email),
          Utf8(card.Website),  Utf8(card.PhoneMobile), Utf8(card.SkypeID)};
}

std::optional<std::string> Stored(int32_t property) {
  return CardText(KeelTest_IdentityObject(), property);
}

void Store(int32_t property, const std::string& value) {
  SetCardText(KeelTest_IdentityObject(), property, value);
}

TEST_P(VCard, ACardRoundTripsThroughItsSevenProperties) {
  KS_VCARD card = Card(kAlice);
  EXPECT_EQ(::GetvCard(&card), 1);
  EXPECT_EQ(Read(card), Fields(7, "")) << "a fresh identity";
  EXPECT_EQ(PropertiesOf(KF_Id_GetProperty), kCardProperties) << "size queries only";
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::GetvCard"),
            "Entering GetvCard() | Get vCard Successfully | Nickname Is  | FullName Is  | "
            "Location Is  | Email Is  | Website Is  | PhoneMobile Is  | SkypeID Is  | Exiting "
            "GetvCard() With bRet = 1");

  Store(7, "not a card field");
  card = Card(kAlice);
  KeelTest_TraceClear();
  EXPECT_EQ(::SetvCard(&card), 1);
  EXPECT_EQ(PropertiesOf(KF_Id_SetProperty), kCardProperties);
  EXPECT_EQ(CallsOf(KF_Id_SetProperty)[0].attribute, KA_ATTR_PLAIN);
  EXPECT_EQ(Stored(3), "Zürich");
  EXPECT_EQ(Stored(7), "not a card field");
  EXPECT_EQ(LinesOf(log(), "DataManagerUtils::SetvCard"),
            "Entering SetvCard() | Set vCard Successfully | Nickname Is ali | FullName Is Alice "
            "Lidell | Location Is Zürich | Email Is alice@example.com | Website Is alice.example "
            "| PhoneMobile Is +41 79 000 | SkypeID Is alice.s | Exiting SetvCard() With bRet = 1");
  KS_VCARD back = {};
  EXPECT_EQ(::GetvCard(&back), 1);
  EXPECT_EQ(Read(back), kAlice);

  card = {};
  EXPECT_EQ(::SetvCard(&card), 1);
  for (int32_t p : kCardProperties) EXPECT_EQ(Stored(p), "") << p;

  // Texts that do not fit a field are neither cut nor overrun.
  Store(1, "\xC3\x28");             // not UTF-8
  Store(2, std::string(256, 'x'));  // one code unit too many for the field
  Store(3, std::string(255, 'y'));  // fits exactly
  EXPECT_EQ(::GetvCard(&card), 1);
  EXPECT_EQ(Read(card), (Fields{"", "", std::string(255, 'y'), "", "", "", ""}));

  for (WCHAR& c : card.Email) c = u'e';  // no terminator: written up to the width
  EXPECT_EQ(::SetvCard(&card), 1);
  EXPECT_EQ(Stored(4), std::string(256, 'e'));
}

TEST_P(VCard, TheFirstOtherFailureStopsWithoutRollback) {
  {
    StoreScript script;
    script.Answer(KF_Id_SetProperty, KA_E_STORAGE).ForProperty(4);
    KS_VCARD card = Card(kAlice);
    EXPECT_EQ(::SetvCard(&card), 0);
    EXPECT_EQ(Stored(3), "Zürich");
    EXPECT_EQ(Stored(4), std::nullopt);
    EXPECT_EQ(Stored(5), std::nullopt);
    EXPECT_EQ(log().Count("Set vCard Successfully"), 0u);
  }
  StoreScript script;
  script.Answer(KF_Id_GetProperty, KA_E_STORAGE).ForProperty(3);
  KS_VCARD card = Card({"a", "b", "c", "d", "e", "f", "g"});
  EXPECT_EQ(::GetvCard(&card), 0);
  EXPECT_EQ(Read(card), (Fields{"ali", "Alice Lidell", "", "d", "e", "f", "g"}))
      << "fields after the failing one keep what the caller left";
}

DM_ON_EVERY_BACKEND(VCard);

}  // namespace
}  // namespace dm::test
