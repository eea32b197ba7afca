// store_fixture.h - every store test starts from an empty store: in memory,
// or with KEELTEST_BACKEND=sqlite:<folder> a new database under <folder>.
#ifndef KEELAPI_TEST_STORE_FIXTURE_H
#define KEELAPI_TEST_STORE_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "KeelAPI.h"
#include "KeelAPIAdmin.h"
#include "KeelAPITest.h"
#include "support/temp_folder.h"

namespace keeltest {

// Every GetProperty function of the store has this shape.
using Reader = KA_STATUS(KEEL_CALL*)(uint32_t*, int32_t, int32_t, void*, uint32_t*);

// The problems KeelAdmin_Check reports, and its status in *status.
inline std::vector<std::string> Problems(KA_STATUS* status) {
  std::vector<std::string> lines;
  *status = KeelAdmin_Check(
      [](void* user, const char* line) {
        static_cast<std::vector<std::string>*>(user)->push_back(line);
      },
      &lines);
  return lines;
}

// A store call in a table, its text as its name.
struct Call {
  std::string what;
  std::function<KA_STATUS()> call;
};
#define STORE_CALL(call) ::keeltest::Call{#call, [&] { return call; }}

// Every store function that takes a handle, on the handle variables given
// (any may be null), each out-parameter and size to *out.
inline std::vector<Call> CallsOnHandles(uint32_t* context, uint32_t* app, uint32_t* identity,
                                        uint32_t* card, uint32_t* macro, uint32_t* shortcut,
                                        uint32_t* out) {
#define ON(call) Call{#call, [=] { return call; }}
  return {ON(KA_GetApp(context, 0, out)), ON(KA_GetIdentity(context, 0, out)),
          ON(KA_GetProperty(context, 108, 0, nullptr, out)),
          ON(KA_SetProperty(context, 108, "x", -1)), ON(KA_CreateShortcut(context, out)),
          ON(KA_GetShortcut(context, "US", 1, out)),
          ON(KA_Id_GetProperty(identity, 1, 0, nullptr, out)),
          ON(KA_Id_SetProperty(identity, KA_ATTR_PLAIN, 1, "x", -1)),
          ON(KA_Id_GetCard(identity, nullptr, 9, 1, out)),
          ON(KA_Id_GetCardByRefNum(identity, 1, out)), ON(KA_Id_CreateCard(identity, "a", 9, out)),
          ON(KA_Id_GetMacro(identity, 1, 1, out)), ON(KA_Id_CreateMacro(identity, 1, out)),
          ON(KA_App_GetProperty(app, 1, 0, nullptr, out)), ON(KA_App_SetProperty(app, 2, "x", -1)),
          ON(KA_Shortcut_GetProperty(shortcut, 1, 0, nullptr, out)),
          ON(KA_Shortcut_SetProperty(shortcut, 1, "x", -1)),
          ON(KA_Card_GetProperty(card, 1, 0, nullptr, out)),
          ON(KA_Card_SetProperty(card, KA_ATTR_PLAIN, 1, "x", -1)),
          ON(KA_Macro_GetProperty(macro, 1, 0, nullptr, out)),
          ON(KA_Macro_SetProperty(macro, 1, "x", -1)), ON(KA_Shortcut_Delete(shortcut)),
          ON(KA_Shortcut_Release(shortcut)), ON(KA_Card_Delete(card)), ON(KA_Card_Release(card)),
          ON(KA_Macro_Delete(macro)), ON(KA_Macro_Release(macro)), ON(KA_App_Release(app)),
          ON(KA_Id_Release(identity)), ON(KA_Free(context))};
#undef ON
}

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(KeelTest_Reset(Backend().c_str()), KA_OK); }
  void TearDown() override {
    KeelTest_Reset("memory");  // closes the database, drops any interceptor
    folder_.reset();
  }

  // "memory", or a new database under the folder KEELTEST_BACKEND names.
  std::string Backend() {
    constexpr std::string_view kSqlite = "sqlite:";
    const char* chosen = std::getenv("KEELTEST_BACKEND");
    if (chosen == nullptr || std::string_view(chosen).rfind(kSqlite, 0) != 0) return "memory";
    folder_ = std::make_unique<TempFolder>(chosen + kSqlite.size());
    return "sqlite:" + folder_->File("keel.db");
  }

  static KA_STATUS InitAs(const char* app, uint32_t* context) {
    const uint8_t zeros[30] = {};
    return KA_Init(zeros, app, 0, context);
  }

  // Opens the context (expecting the first init) and the identity.
  void Open() {
    ASSERT_EQ(InitAs("dmtest", &context_), KA_OK);
    ASSERT_EQ(KA_GetIdentity(&context_, 0, &identity_), KA_OK);
  }

  uint32_t NewCard(const char* domain, int32_t category) {
    uint32_t card = 0;
    EXPECT_EQ(KA_Id_CreateCard(&identity_, domain, category, &card), KA_OK);
    return card;
  }

  static int64_t ObjectOf(uint32_t handle) { return KeelTest_ObjectOfHandle(handle); }

  // The objects a card walk visits: mode `first` (1 or 3), then mode 2.
  std::vector<int64_t> WalkCards(const char* domain, int32_t category, int16_t first = 1) {
    std::vector<int64_t> seen;
    uint32_t card = 0;
    KA_STATUS status = KA_Id_GetCard(&identity_, domain, category, first, &card);
    while (status == KA_OK && seen.size() < 100000) {
      seen.push_back(ObjectOf(card));
      status = KA_Id_GetCard(&identity_, domain, category, 2, &card);
    }
    EXPECT_EQ(status, KA_E_END);
    return seen;
  }

  // A whole property value read through `read`, or the failing status as
  // text so that a comparison shows it.
  static std::string ReadValue(Reader read, uint32_t handle, int32_t property) {
    uint32_t size = 0;
    KA_STATUS status = read(&handle, property, 0, nullptr, &size);
    if (status != KA_OK) return "status " + std::to_string(status);
    std::string value(size, '\0');
    status = read(&handle, property, static_cast<int32_t>(size), value.data(), &size);
    if (status != KA_OK) return "status " + std::to_string(status);
    return value;
  }

  static size_t CountOf(KeelObjectKind kind) { return KeelTest_ListObjects(kind, nullptr, 0); }

  uint32_t context_ = 0;
  uint32_t identity_ = 0;

 private:
  std::unique_ptr<TempFolder> folder_;
};

}  // namespace keeltest

#endif  // KEELAPI_TEST_STORE_FIXTURE_H
