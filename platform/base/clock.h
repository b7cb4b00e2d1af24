// Time as the agent's loops see it: steady "now" and waits that a stopping thread
// can cut short. Production code takes a Clock& (SystemClock()); tests pass a
// ManualClock and move time by hand, so a 30-second poll is tested without
// waiting 30 seconds and without a sleep that flakes on a loaded machine.
#ifndef MGMT_BASE_CLOCK_H
#define MGMT_BASE_CLOCK_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <set>

namespace mgmt::base {

class Clock {
 public:
  using Duration = std::chrono::steady_clock::duration;
  using TimePoint = std::chrono::steady_clock::time_point;

  Clock() = default;
  Clock(const Clock&) = delete;
  Clock& operator=(const Clock&) = delete;
  virtual ~Clock() = default;

  [[nodiscard]] virtual TimePoint Now() const = 0;

  /// Waits until `deadline`. True when the deadline was reached; false when
  /// WakeAll() ended the wait early.
  bool SleepUntil(TimePoint deadline);
  /// Waits until `deadline` or until `running` is false. A loop that stops by
  /// clearing its flag and then calling WakeAll() uses this form: the flag is
  /// checked under the clock's lock, so a stop between the loop's own check and
  /// the wait is never missed. A WakeAll() while `running` is still true (another
  /// loop stopping) does not end the wait. True when the deadline was reached.
  bool SleepUntil(TimePoint deadline, const std::atomic<bool>& running);
  bool SleepFor(Duration duration) { return SleepUntil(Now() + duration); }
  bool SleepFor(Duration duration, const std::atomic<bool>& running) {
    return SleepUntil(Now() + duration, running);
  }

  /// Ends every wait in progress on this clock (see the two SleepUntil forms).
  /// Safe from any thread; not from a signal handler.
  void WakeAll();
  /// Makes the waits given a run flag look at it again (those whose flag is now
  /// false end); waits without a flag go on. For stopping one loop on a clock that
  /// other loops share, such as SystemClock().
  void RecheckFlags();

 protected:
  /// Blocks on `changed_` (lock held) until `deadline` or a notification; may
  /// return early for no reason.
  virtual void WaitLocked(std::unique_lock<std::mutex>& lock, TimePoint deadline) = 0;
  /// Called with the lock held when a sleeper starts and stops waiting.
  virtual void SleeperChanged(TimePoint /*deadline*/, bool /*added*/) {}

  std::mutex mutex_;
  std::condition_variable changed_;

 private:
  bool Sleep(TimePoint deadline, const std::atomic<bool>* running);
  uint64_t wakeGeneration_ = 0;
};

/// The steady clock of the machine.
Clock& SystemClock();

/// A clock that moves only when told to. Sleepers wake when Advance() passes their
/// deadline; nothing in it waits for real time.
class ManualClock final : public Clock {
 public:
  /// Starts at an arbitrary fixed point well after the steady clock's epoch.
  ManualClock();
  explicit ManualClock(TimePoint start);

  [[nodiscard]] TimePoint Now() const override;
  /// Moves time forward and wakes the sleepers whose deadline has passed.
  void Advance(Duration duration);
  /// Blocks until at least `count` threads wait for a deadline still ahead, so a
  /// test advances time only once the code under test is really asleep.
  void WaitForSleepers(size_t count);
  /// Threads waiting for a deadline still ahead, now.
  [[nodiscard]] size_t Sleepers();

 protected:
  void WaitLocked(std::unique_lock<std::mutex>& lock, TimePoint deadline) override;
  void SleeperChanged(TimePoint deadline, bool added) override;

 private:
  size_t SleepersLocked() const;

  std::atomic<Duration::rep> now_;
  std::multiset<TimePoint> sleepers_;  // deadlines of the threads waiting now
};

}  // namespace mgmt::base

#endif
