// A line costs no heap allocation once the thread has written one as long.
// This program counts every allocation made through operator new, the
// library's included.
#include <atomic>
#include <cstdlib>
#include <new>

#include "log_test_support.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<int> allocations{0};
}  // namespace

void* operator new(size_t size) {
  if (counting.load()) ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
// GCC takes free() in a replaced operator delete for a mismatch; it is not.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
#pragma GCC diagnostic pop
void operator delete(void* p, size_t) noexcept { ::operator delete(p); }

namespace kslog_test {
namespace {

using KSLogAllocationTest = LogTest;

TEST_F(KSLogAllocationTest, WrittenLinesAllocateNothing) {
  auto log = [](int32_t n) {
    return LogEx(KS_TEXT(".\\DataManagerUtils"), KS_TEXT("DataManagerUtils::GetDomain"), 42, 1,
                 KS_TEXT("DataManager"), KS_TEXT("Exiting GetDomain() With bRet = %i; Name %s"),
                 n, KS_TEXT("domain.example"));
  };
  log(0);  // the first line reads the settings and sizes the thread's buffers
  counting = true;
  for (int32_t n = 1; n <= 1000; ++n) EXPECT_EQ(log(n), 0);
  counting = false;
  EXPECT_EQ(allocations.load(), 0);
  EXPECT_EQ(ReadLines(log_path()).size(), 1001u);
}

}  // namespace
}  // namespace kslog_test
