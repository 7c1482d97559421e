// New numbers of a folder while other commands hold theirs: never the same
// one twice, never a wrapped one, and a multiple selection's open claim.

#include "quorvelauction/offline/NumberReservation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/Exceptions.h"
#include "support/TempDir.h"

namespace quorvelauction::offline {
namespace {

TEST(NumberReservationTest, HeldNumbersAreSkippedAndFreedAtTheEnd) {
  testsupport::TempDir dir;
  dir.write("4.jpg", "x");
  {
    auto first = NumberReservation::take(dir.path());
    auto second = NumberReservation::take(dir.path());
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->id(), 5);
    EXPECT_EQ(second->id(), 6);
    // A file written under a reservation counts as well as the reservation.
    dir.write("6.jpg", "x");
  }
  EXPECT_EQ(NumberReservation::take(dir.path())->id(), 7);
  testsupport::TempDir other;
  EXPECT_EQ(NumberReservation::take(other.path())->id(), 1);
}

TEST(NumberReservationTest, TheLargestNumberHasNoSuccessor) {
  testsupport::TempDir dir;
  dir.write("2147483647.jpg", "x");
  dir.write("3.jpg", "x");
  EXPECT_FALSE(NumberReservation::take(dir.path()));
  testsupport::TempDir almost;
  almost.write("2147483646.jpg", "x");
  auto last = NumberReservation::take(almost.path());
  ASSERT_TRUE(last);
  EXPECT_EQ(last->id(), 2147483647);
  EXPECT_FALSE(NumberReservation::take(almost.path()));
}

TEST(NumberReservationTest, UnlistableFolderFails) {
  testsupport::TempDir dir;
  EXPECT_THROW(NumberReservation::take(dir.path() + "missing/"), platform::IOException);
}

TEST(NumberReservationTest, OpenClaimMakesLaterReservationsWaitForItsFiles) {
  testsupport::TempDir dir;
  std::atomic<int32_t> later{0};
  std::thread waiter;
  {
    auto open = NumberReservation::take(dir.path(), true);
    ASSERT_EQ(open->id(), 1);
    waiter = std::thread([&] { later = NumberReservation::take(dir.path())->id(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(later.load(), 0);
    // The multiple selection writes three pictures from its first number on.
    dir.write("1.jpg", "x");
    dir.write("2.jpg", "x");
    dir.write("3.jpg", "x");
  }
  waiter.join();
  EXPECT_EQ(later.load(), 4);
}

TEST(NumberReservationTest, ConcurrentReservationsAreDistinct) {
  testsupport::TempDir dir;
  constexpr int kThreads = 8;
  std::atomic<int> ready{0};
  std::vector<int32_t> ids(kThreads);
  std::vector<std::thread> threads;
  std::vector<std::unique_ptr<NumberReservation>> held(kThreads);
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] {
      ++ready;
      while (ready < kThreads) std::this_thread::yield();
      held[i] = std::make_unique<NumberReservation>(*NumberReservation::take(dir.path()));
      ids[i] = held[i]->id();
    });
  for (auto& t : threads) t.join();
  std::sort(ids.begin(), ids.end());
  for (int i = 0; i < kThreads; ++i) EXPECT_EQ(ids[i], i + 1);
}

}  // namespace
}  // namespace quorvelauction::offline
