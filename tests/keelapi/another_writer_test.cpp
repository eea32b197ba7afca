// Another process at work on the store while this one calls: a call that
// waits for it does not hold up this process's other threads, and a call
// that it commits in the midst of still sees one state of the store.
#include <poll.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/disk_fixture.h"

namespace keeltest {
namespace {

using KeelAnotherWriter = DiskTest;

// Exit code of HoldWriteLock when nobody told it to let go.
constexpr int kNeverReleased = 3;

// A slow writer of another process, straight through SQLite: once told on
// `commands`, holds the database's write lock, says so on `replies`, and
// lets go when told again, or after 3 s (then exits kNeverReleased).
int HoldWriteLock(const std::string& db, const Pipe& commands, const Pipe& replies) {
  if (!commands.Receive()) return 2;
  sqlite3* connection = nullptr;
  if (sqlite3_open(db.c_str(), &connection) != SQLITE_OK ||
      sqlite3_exec(connection, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK ||
      !replies.Send()) {
    return 1;
  }
  pollfd told{commands.read_end(), POLLIN, 0};
  const bool released = poll(&told, 1, 3000) == 1;
  sqlite3_exec(connection, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(connection);
  return released ? 0 : kNeverReleased;
}

TEST_F(KeelAnotherWriter, AReadGoesOnWhileAnotherThreadsWriteWaitsForTheOtherProcess) {
  Close();  // a child must not inherit an open database
  Pipe commands, replies;
  const pid_t child = Spawn([&] { return HoldWriteLock(db_, commands, replies); });
  replies.CloseWriteEnd();  // a child that fails is seen at once
  ASSERT_EQ(Reopen(), KA_OK);
  Open();
  uint32_t card = NewCard("slow.com", 1);
  ASSERT_EQ(KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 103, "before", -1), KA_OK);
  ASSERT_EQ(ReadValue(KA_Card_GetProperty, card, 103), std::string("before", 7));
  ASSERT_TRUE(commands.Send());
  ASSERT_TRUE(replies.Receive());  // the other process holds the write lock

  KA_STATUS written = KA_E_STORAGE;
  std::thread writer(
      [&] { written = KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 103, "after", -1); });
  // Gives the write time to start waiting; what is checked is only the order.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::string read_meanwhile;
  std::thread reader([&] { read_meanwhile = ReadValue(KA_Card_GetProperty, card, 103); });
  reader.join();
  EXPECT_TRUE(commands.Send());  // the read is done: let go
  writer.join();

  EXPECT_EQ(read_meanwhile, std::string("before", 7));
  EXPECT_EQ(WaitFor(child), 0) << "the read waited until the other process let go";
  EXPECT_EQ(written, KA_OK);
  EXPECT_EQ(ReadValue(KA_Card_GetProperty, card, 103), std::string("after", 6));
}

// The pipes between a policy and the other process.
struct Midst {
  const Pipe& go;
  const Pipe& done;
  int asked = 0;
};

// The authentication policy: allows, and the first time lets the other
// process commit before it answers.
int16_t CommitInTheMidst(void* user, int64_t /*object*/, int32_t /*property*/) {
  auto* midst = static_cast<Midst*>(user);
  if (midst->asked++ == 0) {
    if (!midst->go.Send() || !midst->done.Receive()) return KA_E_STORAGE;
  }
  return KA_OK;
}

TEST_F(KeelAnotherWriter, AReadSeesOneStateWhenAnotherProcessCommitsInItsMidst) {
  Close();
  Pipe go, done;
  // Once told, the other process turns the card's secret into a plain value
  // and adds a card.
  const pid_t child = Spawn([&] {
    uint32_t context = 0, identity = 0, card = 0, added = 0;
    const bool changed = go.Receive() && OpenStoreAt(db_, &context, &identity) &&
                         KA_Id_GetCard(&identity, "midst.com", 1, 1, &card) == KA_OK &&
                         KA_Card_SetProperty(&card, KA_ATTR_PLAIN, 104, "plain", -1) == KA_OK &&
                         KA_Id_CreateCard(&identity, "midst.com", 1, &added) == KA_OK &&
                         KA_Card_Release(&added) == KA_OK;
    return changed && done.Send() ? 0 : 1;
  });
  done.CloseWriteEnd();  // a child that fails is seen at once
  ASSERT_EQ(Reopen(), KA_OK);
  Open();
  uint32_t card = NewCard("midst.com", 1);
  ASSERT_EQ(KA_Card_SetProperty(&card, KA_ATTR_SECRET, 104, "secret", -1), KA_OK);
  ASSERT_EQ(KA_Card_Release(&card), KA_OK);  // seen by other processes from now on
  ASSERT_EQ(KA_Id_GetCard(&identity_, "midst.com", 1, 1, &card), KA_OK);
  ASSERT_EQ(ReadValue(KA_Card_GetProperty, card, 104), std::string("secret", 7));

  // The read looks the property up, asks the policy about the secret it
  // found, and only then reads the value: the commit falls in between.
  Midst midst{go, done};
  KeelTest_SetAuthPolicy(CommitInTheMidst, &midst);
  char value[64] = {};
  uint32_t size = 0;
  EXPECT_EQ(KA_Card_GetProperty(&card, 104, sizeof value, value, &size), KA_OK);
  EXPECT_EQ(std::string(value, size), std::string("secret", 7))
      << "the policy was asked about one state and the value read from another";
  EXPECT_EQ(midst.asked, 1);
  EXPECT_EQ(WaitFor(child), 0);

  // The next calls see the other process's commits, and ask no policy.
  EXPECT_EQ(ReadValue(KA_Card_GetProperty, card, 104), std::string("plain", 6));
  EXPECT_EQ(WalkCards("midst.com", 1).size(), 2u);
  EXPECT_EQ(midst.asked, 1);
  KeelTest_SetAuthPolicy(nullptr, nullptr);
}

}  // namespace
}  // namespace keeltest
