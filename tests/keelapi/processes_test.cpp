// The store across processes: killed at any instant, writing and walking
// two at once, waiting for another's write lock or seeing it commit in the
// midst of a call; and unloading the library or exiting closes the database.
#include <dlfcn.h>
#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/disk_fixture.h"

namespace keeltest {
namespace {

using KeelCrash = DiskTest;

constexpr int kRuns = 20;
constexpr int32_t kCrashCategory = 7;
constexpr char kContext[] = "(context)";
constexpr int32_t kContextProperty = 2001;

// The store as a map: each card's domain (and kContext for the context
// object) to its properties.
using Contents = std::map<std::string, std::map<int32_t, std::string>>;

// One store call of the crash test's script.
struct Op {
  enum Kind { kCreate, kSet, kSetContext, kRelease, kDelete } kind;
  std::string domain;
  int32_t property = 0;
  int32_t attribute = KA_ATTR_PLAIN;
  std::string value;  // stored with its NUL
};

// Op `i` of run `run`: a profile written the way DataManager writes one, in
// groups of six calls on one card each (create, the user name, the password,
// a write to the context, one more value, then the card's release or, for
// every third card, its deletion), with values of up to a few pages.
Op ScriptOp(int run, int i) {
  const int card = i / 6;
  const std::string domain =
      "r" + std::to_string(run) + "c" + std::to_string(card) + ".example.com";
  const std::string tag = std::to_string(run) + ":" + std::to_string(i);
  switch (i % 6) {
    case 0:
      return {Op::kCreate, domain, 1, KA_ATTR_PLAIN, domain};  // the domain is property 1
    case 1:
      return {Op::kSet, domain, 103, KA_ATTR_PLAIN, "user-" + tag};
    case 2:
      return {Op::kSet, domain, 104, KA_ATTR_SECRET, "pw-" + tag + std::string(i % 7 * 700, 'p')};
    case 3:
      return {Op::kSetContext, kContext, kContextProperty, KA_ATTR_PLAIN, tag};
    case 4:
      return {Op::kSet, domain, 105, KA_ATTR_PLAIN, tag + std::string(3000, 'v')};
    default:
      return {card % 3 == 2 ? Op::kDelete : Op::kRelease, domain};
  }
}

// What the store must hold after `before` and the first `n` calls of `run`:
// their writes, and no card whose release was not among them.
Contents Expected(Contents contents, int run, int n) {
  std::set<std::string> pending;
  for (int i = 0; i < n; ++i) {
    const Op op = ScriptOp(run, i);
    if (op.kind == Op::kCreate) pending.insert(op.domain);
    if (op.kind == Op::kRelease || op.kind == Op::kDelete) pending.erase(op.domain);
    if (op.kind == Op::kDelete) {
      contents.erase(op.domain);
    } else if (op.kind != Op::kRelease) {
      contents[op.domain][op.property] = op.value + '\0';
    }
  }
  for (const std::string& domain : pending) contents.erase(domain);
  return contents;
}

// The child: runs the script, writing each acknowledged call's index to `acks`.
int RunScript(const std::string& db, int run, int acks) {
  uint32_t context = 0, identity = 0;
  if (!OpenStoreAt(db, &context, &identity)) return 2;
  std::map<std::string, uint32_t> cards;
  for (int i = 0; i < 1000000; ++i) {
    const Op op = ScriptOp(run, i);
    uint32_t* card = &cards[op.domain];
    const KA_STATUS status =
        op.kind == Op::kCreate
            ? KA_Id_CreateCard(&identity, op.domain.c_str(), kCrashCategory, card)
        : op.kind == Op::kSet
            ? KA_Card_SetProperty(card, op.attribute, op.property, op.value.c_str(), -1)
        : op.kind == Op::kSetContext ? KA_SetProperty(&context, op.property, op.value.c_str(), -1)
        : op.kind == Op::kRelease    ? KA_Card_Release(card)
                                     : KA_Card_Delete(card);
    if (status != KA_OK) return 3;
    if (write(acks, &i, sizeof i) != sizeof i) return 4;
  }
  return 0;
}

// What the store holds, read through the development interface.
Contents Snapshot() {
  Contents contents;
  auto read = [](int64_t object, int32_t property) -> std::optional<std::string> {
    std::string value(16384, '\0');  // the script's values are smaller
    int32_t size = 0;
    const KA_STATUS status =
        KeelTest_GetProperty(object, property, value.data(), 16384, &size, nullptr);
    if (status == KA_E_NOT_STORED) return std::nullopt;
    return status == KA_OK ? value.substr(0, size) : "status " + std::to_string(status);
  };
  std::vector<int64_t> cards(KeelTest_ListObjects(KEEL_CARD, nullptr, 0));
  KeelTest_ListObjects(KEEL_CARD, cards.data(), cards.size());
  for (const int64_t card : cards) {
    const std::string domain = read(card, 1).value_or("no domain");
    auto& properties = contents[domain.substr(0, domain.find('\0'))];
    for (const int32_t property : {1, 103, 104, 105}) {
      if (std::optional<std::string> value = read(card, property)) properties[property] = *value;
    }
  }
  if (std::optional<std::string> value = read(KeelTest_ContextObject(), kContextProperty)) {
    contents[kContext][kContextProperty] = *value;
  }
  return contents;
}

// A child runs the script and reports each acknowledged call through a pipe;
// it is killed at a random moment, many times over.  After each kill the
// store opens, passes its check and holds exactly the acknowledged writes,
// and a card nobody sees is not left in the database file either.
TEST_F(KeelCrash, KilledAtRandomTheStoreKeepsEveryAcknowledgedWrite) {
  std::mt19937 random(20261205);  // fixed: a failure can be replayed
  std::uniform_int_distribution<int> delay_us(0, 60000);
  Contents before;  // what the store held before the run
  int acknowledged_total = 0;
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    Close();  // a child must not inherit an open database
    Pipe pipe;
    const pid_t child = Spawn([&] { return RunScript(db_, run, pipe.write_end()); });
    pipe.CloseWriteEnd();
    // Kill at a random moment after the first acknowledged write.
    std::vector<int> acks(1);
    ASSERT_EQ(read(pipe.read_end(), acks.data(), sizeof(int)), static_cast<ssize_t>(sizeof(int)));
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
    kill(child, SIGKILL);
    ASSERT_EQ(WaitFor(child), 128 + SIGKILL) << "the child stopped by itself";
    for (int i; read(pipe.read_end(), &i, sizeof i) == sizeof i;) acks.push_back(i);
    for (size_t i = 0; i < acks.size(); ++i) ASSERT_EQ(acks[i], static_cast<int>(i));
    const int n = static_cast<int>(acks.size());
    acknowledged_total += n;

    ASSERT_EQ(Reopen(), KA_OK) << "the store does not open after the kill";
    KA_STATUS status = KA_E_STORAGE;
    const std::vector<std::string> problems = Problems(&status);
    ASSERT_EQ(status, KA_OK) << problems.front();

    // The call in flight may have happened, whole, or not at all.
    const Contents found = Snapshot();
    EXPECT_TRUE(found == Expected(before, run, n) || found == Expected(before, run, n + 1))
        << n << " calls were acknowledged";
    const size_t cards = found.size() - found.count(kContext);
    EXPECT_EQ(QueryInt(db_, "SELECT count(*) FROM objects WHERE kind = 4"),
              static_cast<int64_t>(cards))
        << "a card that nobody sees is left in the database";
    before = found;
  }
  EXPECT_GT(acknowledged_total, kRuns) << "the kills came too early to test anything";
}

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

// Checks that each card of the category has its domain and every other
// property not stored yet or whole (a card deleted meanwhile is skipped):
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

// One of the two processes: creates its cards, deletes every fifth at once,
// and walks the category after every few; else 1, the reason on `report`.
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

using KeelAnotherWriter = DiskTest;

// Exit code of HoldWriteLock when nobody told it to let go.
constexpr int kNeverReleased = 3;

// Another process's slow writer: once told, holds the database's write lock,
// says so, and lets go when told again or after 3 s (kNeverReleased).
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

using KeelUnload = DiskTest;

using ResetFn = KA_STATUS (*)(const char*);
using SeedFn = int64_t (*)(const char*, int32_t);
using SetFn = KA_STATUS (*)(int64_t, int32_t, int32_t, const void*, int32_t);

TEST_F(KeelUnload, ClosingTheLastReferenceClosesTheDatabase) {
  Close();
  // A copy of the library is a second store of its own, which this process
  // does not otherwise hold: closing it really unloads it.
  const std::string copy = folder_.File("libKeelAPI-copy.so");
  std::filesystem::copy_file(KEELAPI_LIBRARY_PATH, copy);
  void* library = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto reset = reinterpret_cast<ResetFn>(dlsym(library, "KeelTest_Reset"));
  auto seed = reinterpret_cast<SeedFn>(dlsym(library, "KeelTest_SeedCard"));
  auto set = reinterpret_cast<SetFn>(dlsym(library, "KeelTest_SetProperty"));
  ASSERT_TRUE(reset != nullptr && seed != nullptr && set != nullptr);
  ASSERT_EQ(reset(("sqlite:" + db_).c_str()), KA_OK);
  const int64_t card = seed("unload.example.com", 999);
  ASSERT_GT(card, 0);
  ASSERT_EQ(set(card, 104, KA_ATTR_SECRET, "pw", -1), KA_OK);
  ASSERT_TRUE(std::filesystem::exists(db_ + "-wal")) << "the database is open";

  ASSERT_EQ(dlclose(library), 0);
  EXPECT_EQ(dlopen(copy.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "still mapped";
  EXPECT_FALSE(std::filesystem::exists(db_ + "-wal")) << "the last connection closed";
  ASSERT_EQ(Reopen(), KA_OK);
  char value[8] = {};
  EXPECT_EQ(KeelTest_GetProperty(card, 104, value, sizeof value, nullptr, nullptr), KA_OK);
  EXPECT_STREQ(value, "pw");
}

TEST_F(KeelUnload, ProcessExitClosesTheDatabase) {
  Close();
  const pid_t child = Spawn([&] {
    if (Reopen() != KA_OK || KeelTest_SeedCard("exit.example.com", 999) <= 0) return 2;
    std::exit(0);  // runs the library's unload handler, unlike _exit
  });
  EXPECT_EQ(WaitFor(child), 0);
  EXPECT_FALSE(std::filesystem::exists(db_ + "-wal"));
  ASSERT_EQ(Reopen(), KA_OK);
  EXPECT_EQ(KeelTest_ListObjects(KEEL_CARD, nullptr, 0), 1u);
}

}  // namespace
}  // namespace keeltest
