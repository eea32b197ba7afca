// Processes on one store: two write and walk at once, neither fails
// because of the other, neither ever sees a half-written card or value;
// each keeps its own attempt limit.
#include <string>
#include <vector>

#include "support/disk_fixture.h"

namespace keeltest {
namespace {

using KeelTwoProcesses = DiskTest;

constexpr int32_t kCategory = 999;
constexpr int kCardsEach = 40;
constexpr int32_t kProperties[] = {103, 104, 105, 3101};

// The value each property of the card filed under `domain` must hold: it
// names the card and the property, and 105 spans several pages of the
// database, so that a torn write would show.
std::string Expected(const std::string& domain, int32_t property) {
  std::string value = domain + "/" + std::to_string(property);
  if (property == 105) value += std::string(6000, 'u');
  return value + '\0';
}

// Checks every card of the category: property 1 is always there (it is
// written with the card), every other property is either not stored yet or
// whole.  A card deleted meanwhile answers KA_E_BAD_HANDLE and is skipped.
// "" when all is well, else what was wrong.
std::string CheckWalk(uint32_t* identity) {
  uint32_t card = 0;
  KA_STATUS walk = KA_Id_GetCard(identity, nullptr, kCategory, 1, &card);
  for (; walk == KA_OK; walk = KA_Id_GetCard(identity, nullptr, kCategory, 2, &card)) {
    char buffer[8192];
    uint32_t size = 0;
    KA_STATUS status = KA_Card_GetProperty(&card, 1, sizeof buffer, buffer, &size);
    if (status == KA_OK) {
      const std::string domain(buffer);
      for (const int32_t property : kProperties) {
        status = KA_Card_GetProperty(&card, property, sizeof buffer, buffer, &size);
        if (status == KA_OK && std::string(buffer, size) != Expected(domain, property)) {
          return "a torn value in property " + std::to_string(property) + " of " + domain;
        }
        if (status != KA_OK && status != KA_E_NOT_STORED && status != KA_E_BAD_HANDLE) break;
      }
    }
    if (status != KA_OK && status != KA_E_NOT_STORED && status != KA_E_BAD_HANDLE) {
      return "a read answered " + std::to_string(status);
    }
    KA_Card_Release(&card);
  }
  return walk == KA_E_END ? "" : "a walk answered " + std::to_string(walk);
}

// One of the two processes: creates its cards, each with its four
// properties, deletes every fifth at once, and walks the whole category
// after every few.  Exit code 0, or 1 with the reason on `report`.
int Worker(const std::string& db, int who, int report) {
  auto fail = [&](const std::string& why) {
    (void)!write(report, why.data(), why.size());
    return 1;
  };
  uint32_t context = 0;
  uint32_t identity = 0;
  if (!OpenStoreAt(db, &context, &identity)) return fail("cannot open the store");
  for (int i = 0; i < kCardsEach; ++i) {
    const std::string domain = "p" + std::to_string(who) + "-" + std::to_string(i) + ".com";
    uint32_t card = 0;
    KA_STATUS status = KA_Id_CreateCard(&identity, domain.c_str(), kCategory, &card);
    for (const int32_t property : kProperties) {
      const int32_t attribute = property == 104 ? KA_ATTR_SECRET : KA_ATTR_PLAIN;
      if (status == KA_OK) {
        status = KA_Card_SetProperty(&card, attribute, property,
                                     Expected(domain, property).c_str(), -1);
      }
    }
    if (status == KA_OK) status = i % 5 == 4 ? KA_Card_Delete(&card) : KA_Card_Release(&card);
    if (status != KA_OK) return fail("a write answered " + std::to_string(status));
    if (i % 4 == 3) {
      if (const std::string problem = CheckWalk(&identity); !problem.empty()) return fail(problem);
    }
  }
  return 0;
}

TEST_F(KeelTwoProcesses, WritingAndWalkingAtOnceNeverFailsNorShowsAHalfWrittenCard) {
  Close();  // a child must not inherit an open database
  Pipe report;
  const pid_t first = Spawn([&] { return Worker(db_, 1, report.write_end()); });
  const pid_t second = Spawn([&] { return Worker(db_, 2, report.write_end()); });
  report.CloseWriteEnd();
  const int first_exit = WaitFor(first);
  const int second_exit = WaitFor(second);
  std::string reported;
  char buffer[256];
  for (ssize_t n; (n = read(report.read_end(), buffer, sizeof buffer)) > 0;) {
    reported.append(buffer, n);
  }
  EXPECT_EQ(first_exit, 0) << reported;
  EXPECT_EQ(second_exit, 0) << reported;

  ASSERT_EQ(Reopen(), KA_OK);
  KA_STATUS status = KA_E_STORAGE;
  EXPECT_TRUE(Problems(&status).empty());
  EXPECT_EQ(status, KA_OK);
  Open();
  EXPECT_EQ(CheckWalk(&identity_), "");
  EXPECT_EQ(WalkCards(nullptr, kCategory).size(), 2u * (kCardsEach - kCardsEach / 5));
}

TEST_F(KeelTwoProcesses, EachKeepsItsOwnAttemptLimitAndAKilledOneLeavesItsLoweredLimitNowhere) {
  const uint32_t stored_limit = 5;
  ASSERT_EQ(KeelTest_SetProperty(KeelTest_ContextObject(), 104, KA_ATTR_PLAIN, &stored_limit,
                                 sizeof stored_limit),
            KA_OK);
  Close();
  Pipe ready, go;
  // Each process sets its limit, says so, and (unless it is the one killed
  // right after lowering its limit to 0) reads it back once every process
  // has set its own.
  auto process = [&](uint32_t limit, bool killed) {
    return Spawn([&, limit, killed] {
      uint32_t context = 0, identity = 0, read_back = 0;
      if (!OpenStoreAt(db_, &context, &identity) ||
          KA_SetProperty(&context, 104, &limit, sizeof limit) != KA_OK || !ready.Send()) {
        return 2;
      }
      if (killed) raise(SIGKILL);
      if (!go.Receive() ||
          KA_GetProperty(&context, 104, sizeof read_back, &read_back, nullptr) != KA_OK) {
        return 3;
      }
      return read_back == limit ? 0 : 1;
    });
  };
  const std::vector<pid_t> readers = {process(11, false), process(12, false), process(13, false)};
  const pid_t lowered = process(0, true);
  for (size_t i = 0; i <= readers.size(); ++i) ASSERT_TRUE(ready.Receive());
  EXPECT_EQ(WaitFor(lowered), 128 + SIGKILL);
  for (size_t i = 0; i < readers.size(); ++i) ASSERT_TRUE(go.Send());
  for (const pid_t reader : readers) EXPECT_EQ(WaitFor(reader), 0) << "it read another's limit";

  ASSERT_EQ(Reopen(), KA_OK);
  Open();
  uint32_t limit = 0;
  EXPECT_EQ(KA_GetProperty(&context_, 104, sizeof limit, &limit, nullptr), KA_OK);
  EXPECT_EQ(limit, stored_limit) << "a new context starts from the stored limit";
}

}  // namespace
}  // namespace keeltest
