// Clocks: a manual clock wakes sleepers only when time passes their deadline, and
// stopping ends waits at once. Nothing here waits for real time to pass.
#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "base/clock.h"

namespace {

using namespace std::chrono_literals;
using mgmt::base::ManualClock;

TEST(ManualClock, SleepersWakeWhenTheirDeadlinePasses) {
  ManualClock clock;
  const auto start = clock.Now();
  std::atomic<int> woken{0};
  std::thread shortSleeper([&] {
    EXPECT_TRUE(clock.SleepFor(4s));
    ++woken;
  });
  std::thread longSleeper([&] {
    EXPECT_TRUE(clock.SleepUntil(start + 30s));
    woken += 10;
  });
  clock.WaitForSleepers(2);
  clock.Advance(3999ms);
  clock.WaitForSleepers(2);  // both still ahead of their deadline
  EXPECT_EQ(woken, 0);
  clock.Advance(1ms);
  shortSleeper.join();
  EXPECT_EQ(woken, 1);
  EXPECT_EQ(clock.Sleepers(), 1u);
  clock.Advance(26s);
  longSleeper.join();
  EXPECT_EQ(woken, 11);
  EXPECT_EQ(clock.Now() - start, 30s);
  // A deadline already passed returns at once.
  EXPECT_TRUE(clock.SleepUntil(start));
}

TEST(ManualClock, WakeAllEndsPlainWaits) {
  ManualClock clock;
  bool reached = true;
  std::thread sleeper([&] { reached = clock.SleepFor(30s); });
  clock.WaitForSleepers(1);
  clock.WakeAll();
  sleeper.join();
  EXPECT_FALSE(reached);
}

TEST(ManualClock, AFlaggedWaitEndsOnlyWhenItsOwnFlagIsCleared) {
  ManualClock clock;
  std::atomic<bool> mine{true};
  std::atomic<bool> other{true};
  std::atomic<int> ended{0};
  bool mineReached = true;
  bool otherReached = false;
  std::thread a([&] {
    mineReached = clock.SleepFor(30s, mine);
    ++ended;
  });
  std::thread b([&] {
    otherReached = clock.SleepFor(30s, other);
    ++ended;
  });
  clock.WaitForSleepers(2);
  mine = false;
  clock.RecheckFlags();
  a.join();
  EXPECT_FALSE(mineReached);
  clock.WakeAll();  // someone else's stop: `other` is still set, b sleeps on
  clock.WaitForSleepers(1);
  EXPECT_EQ(ended, 1);
  clock.Advance(30s);
  b.join();
  EXPECT_TRUE(otherReached);

  // Cleared before the wait starts: no wait at all.
  EXPECT_FALSE(clock.SleepFor(1h, mine));
}

TEST(SystemClock, ClearedFlagStopsALongWait) {
  auto& clock = mgmt::base::SystemClock();
  std::atomic<bool> running{true};
  bool reached = true;
  std::thread sleeper([&] { reached = clock.SleepFor(1h, running); });
  running = false;  // before or during the wait: either way it ends now
  clock.RecheckFlags();
  sleeper.join();
  EXPECT_FALSE(reached);
  EXPECT_TRUE(clock.SleepUntil(clock.Now() - 1s));
}

}  // namespace
