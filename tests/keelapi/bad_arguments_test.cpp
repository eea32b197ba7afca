// Bad arguments of every kind get their defined status, and a refused call
// changes nothing: no handle opened or closed, no object made or removed.
#include <algorithm>
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
  };

  // Runs each case and checks its status and that it left the store as it
  // was.
  void Check(KA_STATUS expected, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      const uint32_t open = KeelTest_OpenHandles();
      const size_t objects[] = {CountOf(KEEL_CARD), CountOf(KEEL_MACRO), CountOf(KEEL_SHORTCUT)};
      EXPECT_EQ(c.call(), expected) << c.what;
      EXPECT_EQ(KeelTest_OpenHandles(), open) << c.what;
      const size_t after[] = {CountOf(KEEL_CARD), CountOf(KEEL_MACRO), CountOf(KEEL_SHORTCUT)};
      EXPECT_TRUE(std::equal(objects, objects + 3, after)) << c.what;
    }
    EXPECT_EQ(out_, 0u) << "no refused call wrote its out-parameter";
  }

  uint32_t card_ = 0, app_ = 0, macro_ = 0, shortcut_ = 0;
  uint32_t released_ = 0, deleted_ = 0;
  uint32_t out_ = 0;
  char buffer_[16] = {};
  uint32_t size_ = 0;
};

// One row of a table: the call as its own description.
#define CALL(call) Case{#call, [&] { return call; }}

TEST_F(KeelBadArguments, NullHandlePointersAreBadHandles) {
  uint32_t* null = nullptr;
  Check(KA_E_BAD_HANDLE,
        {CALL(KA_Free(null)), CALL(KA_GetApp(null, 0, &out_)),
         CALL(KA_GetIdentity(null, 0, &out_)), CALL(KA_GetProperty(null, 1, 0, nullptr, &size_)),
         CALL(KA_SetProperty(null, 1, "x", -1)), CALL(KA_CreateShortcut(null, &out_)),
         CALL(KA_GetShortcut(null, "US", 1, &out_)),
         CALL(KA_Id_GetProperty(null, 1, 0, nullptr, &size_)),
         CALL(KA_Id_SetProperty(null, KA_ATTR_PLAIN, 1, "x", -1)), CALL(KA_Id_Release(null)),
         CALL(KA_Id_GetCard(null, nullptr, 1, 1, &out_)),
         CALL(KA_Id_GetCardByRefNum(null, 1, &out_)), CALL(KA_Id_CreateCard(null, "d", 1, &out_)),
         CALL(KA_Id_GetMacro(null, 1, 1, &out_)), CALL(KA_Id_CreateMacro(null, 1, &out_)),
         CALL(KA_App_GetProperty(null, 1, 0, nullptr, &size_)),
         CALL(KA_App_SetProperty(null, 1, "x", -1)), CALL(KA_App_Release(null)),
         CALL(KA_Shortcut_GetProperty(null, 1, 0, nullptr, &size_)),
         CALL(KA_Shortcut_SetProperty(null, 1, "x", -1)), CALL(KA_Shortcut_Delete(null)),
         CALL(KA_Shortcut_Release(null)), CALL(KA_Card_GetProperty(null, 1, 0, nullptr, &size_)),
         CALL(KA_Card_SetProperty(null, KA_ATTR_PLAIN, 1, "x", -1)), CALL(KA_Card_Delete(null)),
         CALL(KA_Card_Release(null)), CALL(KA_Macro_GetProperty(null, 1, 0, nullptr, &size_)),
         CALL(KA_Macro_SetProperty(null, 1, "x", -1)), CALL(KA_Macro_Delete(null)),
         CALL(KA_Macro_Release(null))});
}

TEST_F(KeelBadArguments, StaleUnknownAndMismatchedHandlesAreBadHandles) {
  uint32_t never = 0xFFFFFFF0u;
  uint32_t zero = 0;
  Check(KA_E_BAD_HANDLE,
        {CALL(KA_Card_GetProperty(&released_, 1, 16, buffer_, &size_)),
         CALL(KA_Card_SetProperty(&released_, KA_ATTR_PLAIN, 1, "x", -1)),
         CALL(KA_Card_Delete(&released_)),
         CALL(KA_Card_GetProperty(&deleted_, 1, 16, buffer_, &size_)),
         CALL(KA_Card_Release(&deleted_)), CALL(KA_Card_GetProperty(&never, 1, 0, nullptr, &size_)),
         CALL(KA_Macro_Release(&zero)), CALL(KA_Macro_GetProperty(&card_, 104, 0, nullptr, &size_)),
         CALL(KA_Card_Delete(&macro_)), CALL(KA_Id_CreateCard(&app_, "d", 1, &out_)),
         CALL(KA_GetIdentity(&identity_, 0, &out_)), CALL(KA_App_Release(&context_)),
         CALL(KA_Card_Release(&shortcut_))});
}

TEST_F(KeelBadArguments, BadBuffersSizesModesAttributesAndOutPointersAreBadArguments) {
  Check(KA_E_BAD_ARGUMENT,
        {CALL(KA_Card_GetProperty(&card_, 104, 8, nullptr, &size_)),
         CALL(KA_Card_GetProperty(&card_, 104, -1, buffer_, &size_)),
         CALL(KA_App_GetProperty(&app_, 1, INT32_MIN, buffer_, &size_)),
         CALL(KA_Card_SetProperty(&card_, KA_ATTR_PLAIN, 5, buffer_, INT32_MAX)),
         CALL(KA_Macro_SetProperty(&macro_, 5, buffer_, -2)),
         CALL(KA_SetProperty(&context_, 5, buffer_, INT32_MIN)),
         CALL(KA_Shortcut_SetProperty(&shortcut_, 5, nullptr, 4)),
         CALL(KA_App_SetProperty(&app_, 5, nullptr, -1)),
         CALL(KA_Id_GetCard(&identity_, nullptr, 1, 0, &out_)),
         CALL(KA_Id_GetCard(&identity_, nullptr, 1, 4, &out_)),
         CALL(KA_Id_GetCard(&identity_, "example.com", 1, -1, &out_)),
         CALL(KA_Id_GetCard(&identity_, nullptr, 1, 3, &out_)),  // mode 3 needs a domain
         CALL(KA_Id_GetMacro(&identity_, 1, 3, &out_)),
         CALL(KA_GetShortcut(&context_, "US", 0, &out_)),
         CALL(KA_Card_SetProperty(&card_, 0, 5, "x", -1)),
         CALL(KA_Card_SetProperty(&card_, 11, 5, "x", -1)),
         CALL(KA_Id_SetProperty(&identity_, 20, 5, "x", -1)),
         CALL(KA_Id_CreateCard(&identity_, "d", 1, nullptr)),
         CALL(KA_Id_CreateCard(&identity_, nullptr, 1, &out_)),
         CALL(KA_Id_GetCard(&identity_, nullptr, 1, 1, nullptr)),
         CALL(KA_Id_GetCardByRefNum(&identity_, 1, nullptr)),
         CALL(KA_Id_CreateMacro(&identity_, 1, nullptr)),
         CALL(KA_GetShortcut(&context_, nullptr, 1, &out_)),
         CALL(KA_CreateShortcut(&context_, nullptr)), CALL(KA_GetApp(&context_, 1, &out_)),
         CALL(KA_GetIdentity(&context_, 0, nullptr))});
}

#undef CALL

}  // namespace
}  // namespace keeltest
