// Bad arguments of every kind get their defined status, and a refused call
// changes nothing: no handle opened or closed, no object made or removed.
#include <algorithm>
#include <climits>
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

  // Runs each call, checking its status and that it left the store as it was.
  void Check(KA_STATUS expected, const std::vector<Call>& calls) {
    for (const Call& c : calls) {
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

TEST_F(KeelBadArguments, NullHandlePointersAreBadHandles) {
  Check(KA_E_BAD_HANDLE,
        CallsOnHandles(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &out_));
}

TEST_F(KeelBadArguments, StaleUnknownAndMismatchedHandlesAreBadHandles) {
  uint32_t never = 0xFFFFFFF0u, zero = 0;
  for (uint32_t* h : {&released_, &deleted_, &never, &zero}) {
    Check(KA_E_BAD_HANDLE, CallsOnHandles(h, h, h, h, h, h, &out_));
  }
  Check(KA_E_BAD_HANDLE,
        CallsOnHandles(&identity_, &context_, &app_, &macro_, &shortcut_, &card_, &out_));
  Check(KA_E_BAD_HANDLE,  // a walk goes on only from a card
        {STORE_CALL(KA_Id_GetCard(&identity_, nullptr, 1, 2, &macro_)),
         STORE_CALL(KA_Id_GetCard(&identity_, nullptr, 1, 2, &zero)),
         STORE_CALL(KA_Id_GetCard(&identity_, nullptr, 1, 2, &never))});
}

TEST_F(KeelBadArguments, BadBuffersSizesModesAttributesAndOutPointersAreBadArguments) {
  Check(KA_E_BAD_ARGUMENT,
        {STORE_CALL(KA_Card_GetProperty(&card_, 104, 8, nullptr, &size_)),
         STORE_CALL(KA_Card_GetProperty(&card_, 104, -1, buffer_, &size_)),
         STORE_CALL(KA_App_GetProperty(&app_, 1, INT32_MIN, buffer_, &size_)),
         STORE_CALL(KA_Card_SetProperty(&card_, KA_ATTR_PLAIN, 5, buffer_, INT32_MAX)),
         STORE_CALL(KA_Macro_SetProperty(&macro_, 5, buffer_, -2)),
         STORE_CALL(KA_SetProperty(&context_, 5, buffer_, INT32_MIN)),
         STORE_CALL(KA_Shortcut_SetProperty(&shortcut_, 5, nullptr, 4)),
         STORE_CALL(KA_App_SetProperty(&app_, 5, nullptr, -1)),
         STORE_CALL(KA_Id_GetCard(&identity_, nullptr, 1, 0, &out_)),
         STORE_CALL(KA_Id_GetCard(&identity_, nullptr, 1, 4, &out_)),
         STORE_CALL(KA_Id_GetCard(&identity_, "example.com", 1, -1, &out_)),
         STORE_CALL(KA_Id_GetCard(&identity_, nullptr, 1, 3, &out_)),  // mode 3 needs a domain
         STORE_CALL(KA_Id_GetMacro(&identity_, 1, 3, &out_)),
         STORE_CALL(KA_GetShortcut(&context_, "US", 0, &out_)),
         STORE_CALL(KA_GetShortcut(&context_, "US", 3, &out_)),
         STORE_CALL(KA_Card_SetProperty(&card_, 0, 5, "x", -1)),
         STORE_CALL(KA_Card_SetProperty(&card_, 11, 5, "x", -1)),
         STORE_CALL(KA_Id_SetProperty(&identity_, 20, 5, "x", -1)),
         STORE_CALL(KA_Id_CreateCard(&identity_, "d", 1, nullptr)),
         STORE_CALL(KA_Id_CreateCard(&identity_, nullptr, 1, &out_)),
         STORE_CALL(KA_Id_GetCard(&identity_, nullptr, 1, 1, nullptr)),
         STORE_CALL(KA_Id_GetCardByRefNum(&identity_, 1, nullptr)),
         STORE_CALL(KA_Id_CreateMacro(&identity_, 1, nullptr)),
         STORE_CALL(KA_GetShortcut(&context_, nullptr, 1, &out_)),
         STORE_CALL(KA_CreateShortcut(&context_, nullptr)),
         STORE_CALL(KA_GetApp(&context_, 1, &out_)),
         STORE_CALL(KA_GetIdentity(&context_, 0, nullptr))});
}

}  // namespace
}  // namespace keeltest
