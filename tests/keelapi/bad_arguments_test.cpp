// Bad arguments of every kind get their defined status, and a refused call
// changes nothing: no handle opened or closed, no object made or removed.
#include <climits>
#include <functional>
#include <string>

#include "store_fixture.h"

namespace keeltest {
namespace {

class KeelBadArguments : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    Open();
    card_ = NewCard("example.com", 1);
    ASSERT_EQ(KA_Card_SetProperty(&card_, KA_ATTR_PLAIN, 104, "abcd", 4), KA_OK);
    ASSERT_EQ(KA_GetApp(&context_, 0, &app_), KA_OK);
    ASSERT_EQ(KA_Id_CreateMacro(&identity_, 1, &macro_), KA_OK);
    ASSERT_EQ(KA_CreateShortcut(&context_, &shortcut_), KA_OK);
    released_ = NewCard("example.com", 1);
    ASSERT_EQ(KA_Card_Release(&released_), KA_OK);
    deleted_ = NewCard("example.com", 1);
    ASSERT_EQ(KA_Card_Delete(&deleted_), KA_OK);
  }

  struct Case {
    std::string what;
    std::function<KA_STATUS()> call;
    KA_STATUS expected;
  };

  // Runs each case and checks that it left the store as it was.
  void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      const uint32_t open = KeelTest_OpenHandles();
      const size_t cards = CountOf(KEEL_CARD);
      const size_t macros = CountOf(KEEL_MACRO);
      const size_t shortcuts = CountOf(KEEL_SHORTCUT);
      EXPECT_EQ(c.call(), c.expected) << c.what;
      EXPECT_EQ(KeelTest_OpenHandles(), open) << c.what;
      EXPECT_EQ(CountOf(KEEL_CARD), cards) << c.what;
      EXPECT_EQ(CountOf(KEEL_MACRO), macros) << c.what;
      EXPECT_EQ(CountOf(KEEL_SHORTCUT), shortcuts) << c.what;
    }
  }

  uint32_t card_ = 0, app_ = 0, macro_ = 0, shortcut_ = 0;
  uint32_t released_ = 0, deleted_ = 0;
  uint32_t out_ = 0;
  char buffer_[16] = {};
  uint32_t size_ = 0;
};

TEST_F(KeelBadArguments, NullHandlePointersAreBadHandles) {
  uint32_t* null = nullptr;
  Check({
      {"Free", [&] { return KA_Free(null); }, KA_E_BAD_HANDLE},
      {"GetApp", [&] { return KA_GetApp(null, 0, &out_); }, KA_E_BAD_HANDLE},
      {"GetIdentity", [&] { return KA_GetIdentity(null, 0, &out_); }, KA_E_BAD_HANDLE},
      {"GetProperty", [&] { return KA_GetProperty(null, 1, 0, nullptr, &size_); }, KA_E_BAD_HANDLE},
      {"SetProperty", [&] { return KA_SetProperty(null, 1, "x", -1); }, KA_E_BAD_HANDLE},
      {"CreateShortcut", [&] { return KA_CreateShortcut(null, &out_); }, KA_E_BAD_HANDLE},
      {"GetShortcut", [&] { return KA_GetShortcut(null, "US", 1, &out_); }, KA_E_BAD_HANDLE},
      {"Id_GetProperty", [&] { return KA_Id_GetProperty(null, 1, 0, nullptr, &size_); },
       KA_E_BAD_HANDLE},
      {"Id_SetProperty", [&] { return KA_Id_SetProperty(null, KA_ATTR_PLAIN, 1, "x", -1); },
       KA_E_BAD_HANDLE},
      {"Id_Release", [&] { return KA_Id_Release(null); }, KA_E_BAD_HANDLE},
      {"Id_GetCard", [&] { return KA_Id_GetCard(null, nullptr, 1, 1, &out_); }, KA_E_BAD_HANDLE},
      {"Id_GetCardByRefNum", [&] { return KA_Id_GetCardByRefNum(null, 1, &out_); },
       KA_E_BAD_HANDLE},
      {"Id_CreateCard", [&] { return KA_Id_CreateCard(null, "d", 1, &out_); }, KA_E_BAD_HANDLE},
      {"Id_GetMacro", [&] { return KA_Id_GetMacro(null, 1, 1, &out_); }, KA_E_BAD_HANDLE},
      {"Id_CreateMacro", [&] { return KA_Id_CreateMacro(null, 1, &out_); }, KA_E_BAD_HANDLE},
      {"App_GetProperty", [&] { return KA_App_GetProperty(null, 1, 0, nullptr, &size_); },
       KA_E_BAD_HANDLE},
      {"App_SetProperty", [&] { return KA_App_SetProperty(null, 1, "x", -1); }, KA_E_BAD_HANDLE},
      {"App_Release", [&] { return KA_App_Release(null); }, KA_E_BAD_HANDLE},
      {"Shortcut_GetProperty", [&] { return KA_Shortcut_GetProperty(null, 1, 0, nullptr, &size_); },
       KA_E_BAD_HANDLE},
      {"Shortcut_SetProperty", [&] { return KA_Shortcut_SetProperty(null, 1, "x", -1); },
       KA_E_BAD_HANDLE},
      {"Shortcut_Delete", [&] { return KA_Shortcut_Delete(null); }, KA_E_BAD_HANDLE},
      {"Shortcut_Release", [&] { return KA_Shortcut_Release(null); }, KA_E_BAD_HANDLE},
      {"Card_GetProperty", [&] { return KA_Card_GetProperty(null, 1, 0, nullptr, &size_); },
       KA_E_BAD_HANDLE},
      {"Card_SetProperty", [&] { return KA_Card_SetProperty(null, KA_ATTR_PLAIN, 1, "x", -1); },
       KA_E_BAD_HANDLE},
      {"Card_Delete", [&] { return KA_Card_Delete(null); }, KA_E_BAD_HANDLE},
      {"Card_Release", [&] { return KA_Card_Release(null); }, KA_E_BAD_HANDLE},
      {"Macro_GetProperty", [&] { return KA_Macro_GetProperty(null, 1, 0, nullptr, &size_); },
       KA_E_BAD_HANDLE},
      {"Macro_SetProperty", [&] { return KA_Macro_SetProperty(null, 1, "x", -1); },
       KA_E_BAD_HANDLE},
      {"Macro_Delete", [&] { return KA_Macro_Delete(null); }, KA_E_BAD_HANDLE},
      {"Macro_Release", [&] { return KA_Macro_Release(null); }, KA_E_BAD_HANDLE},
  });
}

TEST_F(KeelBadArguments, StaleUnknownAndMismatchedHandlesAreBadHandles) {
  uint32_t never = 0xFFFFFFF0u;
  uint32_t zero = 0;
  Check({
      {"released card read",
       [&] { return KA_Card_GetProperty(&released_, 1, 16, buffer_, &size_); }, KA_E_BAD_HANDLE},
      {"released card write",
       [&] { return KA_Card_SetProperty(&released_, KA_ATTR_PLAIN, 1, "x", -1); }, KA_E_BAD_HANDLE},
      {"released card delete", [&] { return KA_Card_Delete(&released_); }, KA_E_BAD_HANDLE},
      {"deleted card read", [&] { return KA_Card_GetProperty(&deleted_, 1, 16, buffer_, &size_); },
       KA_E_BAD_HANDLE},
      {"deleted card release", [&] { return KA_Card_Release(&deleted_); }, KA_E_BAD_HANDLE},
      {"never handed out", [&] { return KA_Card_GetProperty(&never, 1, 0, nullptr, &size_); },
       KA_E_BAD_HANDLE},
      {"handle 0", [&] { return KA_Macro_Release(&zero); }, KA_E_BAD_HANDLE},
      {"card as macro", [&] { return KA_Macro_GetProperty(&card_, 104, 0, nullptr, &size_); },
       KA_E_BAD_HANDLE},
      {"macro as card", [&] { return KA_Card_Delete(&macro_); }, KA_E_BAD_HANDLE},
      {"app as identity", [&] { return KA_Id_CreateCard(&app_, "d", 1, &out_); }, KA_E_BAD_HANDLE},
      {"identity as context", [&] { return KA_GetIdentity(&identity_, 0, &out_); },
       KA_E_BAD_HANDLE},
      {"context as app", [&] { return KA_App_Release(&context_); }, KA_E_BAD_HANDLE},
      {"shortcut as card", [&] { return KA_Card_Release(&shortcut_); }, KA_E_BAD_HANDLE},
  });
}

TEST_F(KeelBadArguments, BadBuffersAndSizesAreBadArguments) {
  Check({
      {"null buffer with capacity",
       [&] { return KA_Card_GetProperty(&card_, 104, 8, nullptr, &size_); }, KA_E_BAD_ARGUMENT},
      {"negative capacity", [&] { return KA_Card_GetProperty(&card_, 104, -1, buffer_, &size_); },
       KA_E_BAD_ARGUMENT},
      {"most negative capacity",
       [&] { return KA_App_GetProperty(&app_, 1, INT32_MIN, buffer_, &size_); }, KA_E_BAD_ARGUMENT},
      {"huge size",
       [&] { return KA_Card_SetProperty(&card_, KA_ATTR_PLAIN, 5, buffer_, INT32_MAX); },
       KA_E_BAD_ARGUMENT},
      {"size -2", [&] { return KA_Macro_SetProperty(&macro_, 5, buffer_, -2); }, KA_E_BAD_ARGUMENT},
      {"most negative size", [&] { return KA_SetProperty(&context_, 5, buffer_, INT32_MIN); },
       KA_E_BAD_ARGUMENT},
      {"null value with size", [&] { return KA_Shortcut_SetProperty(&shortcut_, 5, nullptr, 4); },
       KA_E_BAD_ARGUMENT},
      {"null text", [&] { return KA_App_SetProperty(&app_, 5, nullptr, -1); }, KA_E_BAD_ARGUMENT},
  });
}

TEST_F(KeelBadArguments, BadModesAttributesAndOutPointersAreBadArguments) {
  Check({
      {"card mode 0", [&] { return KA_Id_GetCard(&identity_, nullptr, 1, 0, &out_); },
       KA_E_BAD_ARGUMENT},
      {"card mode 4", [&] { return KA_Id_GetCard(&identity_, nullptr, 1, 4, &out_); },
       KA_E_BAD_ARGUMENT},
      {"card mode -1", [&] { return KA_Id_GetCard(&identity_, "example.com", 1, -1, &out_); },
       KA_E_BAD_ARGUMENT},
      {"card mode 3 without domain",
       [&] { return KA_Id_GetCard(&identity_, nullptr, 1, 3, &out_); }, KA_E_BAD_ARGUMENT},
      {"macro mode 3", [&] { return KA_Id_GetMacro(&identity_, 1, 3, &out_); }, KA_E_BAD_ARGUMENT},
      {"shortcut mode 0", [&] { return KA_GetShortcut(&context_, "US", 0, &out_); },
       KA_E_BAD_ARGUMENT},
      {"card attribute 0", [&] { return KA_Card_SetProperty(&card_, 0, 5, "x", -1); },
       KA_E_BAD_ARGUMENT},
      {"card attribute 11", [&] { return KA_Card_SetProperty(&card_, 11, 5, "x", -1); },
       KA_E_BAD_ARGUMENT},
      {"identity attribute 20", [&] { return KA_Id_SetProperty(&identity_, 20, 5, "x", -1); },
       KA_E_BAD_ARGUMENT},
      {"null card out", [&] { return KA_Id_CreateCard(&identity_, "d", 1, nullptr); },
       KA_E_BAD_ARGUMENT},
      {"null domain", [&] { return KA_Id_CreateCard(&identity_, nullptr, 1, &out_); },
       KA_E_BAD_ARGUMENT},
      {"null walk out", [&] { return KA_Id_GetCard(&identity_, nullptr, 1, 1, nullptr); },
       KA_E_BAD_ARGUMENT},
      {"null ref out", [&] { return KA_Id_GetCardByRefNum(&identity_, 1, nullptr); },
       KA_E_BAD_ARGUMENT},
      {"null macro out", [&] { return KA_Id_CreateMacro(&identity_, 1, nullptr); },
       KA_E_BAD_ARGUMENT},
      {"null region", [&] { return KA_GetShortcut(&context_, nullptr, 1, &out_); },
       KA_E_BAD_ARGUMENT},
      {"null shortcut out", [&] { return KA_CreateShortcut(&context_, nullptr); },
       KA_E_BAD_ARGUMENT},
      {"GetApp zero not 0", [&] { return KA_GetApp(&context_, 1, &out_); }, KA_E_BAD_ARGUMENT},
      {"GetIdentity null out", [&] { return KA_GetIdentity(&context_, 0, nullptr); },
       KA_E_BAD_ARGUMENT},
  });
  EXPECT_EQ(out_, 0u) << "no refused call wrote its out-parameter";
}

}  // namespace
}  // namespace keeltest
