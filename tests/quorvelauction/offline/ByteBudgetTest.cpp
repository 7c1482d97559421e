// Parts of a byte budget taken by many threads at once: never more in all
// than the total, and every part given back when its reservation goes.

#include "quorvelauction/offline/ByteBudget.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace quorvelauction::offline {
namespace {

TEST(ByteBudgetTest, PartsFitBesideThoseHeldAndComeBack) {
  ByteBudget budget(100);
  {
    std::optional<ByteBudget::Reservation> first = budget.reserve(60);
    ASSERT_TRUE(first);
    EXPECT_FALSE(budget.reserve(41));
    std::optional<ByteBudget::Reservation> rest = budget.reserve(40);
    EXPECT_TRUE(rest);
    EXPECT_TRUE(budget.reserve(0));
    // A moved reservation gives its part back once, when the last holder goes.
    std::optional<ByteBudget::Reservation> moved(std::move(*first));
    first.reset();
    EXPECT_EQ(budget.held(), 100);
  }
  EXPECT_EQ(budget.held(), 0);
  EXPECT_FALSE(budget.reserve(101));
  // A lower total holds for what is reserved next.
  std::optional<ByteBudget::Reservation> held = budget.reserve(50);
  budget.setTotal(40);
  EXPECT_FALSE(budget.reserve(1));
  held.reset();
  EXPECT_TRUE(budget.reserve(40));
  EXPECT_FALSE(budget.reserve(41));
}

TEST(ByteBudgetTest, AReservationGrowsOnlyByWhatFits) {
  ByteBudget budget(100);
  std::optional<ByteBudget::Reservation> other = budget.reserve(30);
  {
    std::optional<ByteBudget::Reservation> growing = budget.reserve(0);
    ASSERT_TRUE(growing);
    EXPECT_TRUE(growing->grow(50));
    // A piece that does not fit is not taken, not even in part.
    EXPECT_FALSE(growing->grow(21));
    EXPECT_EQ(growing->bytes(), 50);
    EXPECT_TRUE(growing->grow(20));
    EXPECT_EQ(budget.held(), 100);
  }
  // All that it grew to comes back.
  EXPECT_EQ(budget.held(), 30);
}

TEST(ByteBudgetTest, ThreadsAtOnceNeverTakeMoreThanTheTotal) {
  constexpr int64_t kTotal = 1000;
  ByteBudget budget(kTotal);
  std::atomic<int64_t> inUse{0}, most{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20000; ++i) {
        const int64_t part = 1 + (t * 131 + i * 17) % 400;
        std::optional<ByteBudget::Reservation> held = budget.reserve(part);
        if (!held) continue;
        const int64_t now = inUse.fetch_add(part) + part;
        for (int64_t seen = most.load(); now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        inUse.fetch_sub(part);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_LE(most.load(), kTotal);
  EXPECT_EQ(budget.held(), 0);
}

}  // namespace
}  // namespace quorvelauction::offline
