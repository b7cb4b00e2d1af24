#include "base/clock.h"

namespace mgmt::base {

bool Clock::SleepUntil(TimePoint deadline) { return Sleep(deadline, nullptr); }

bool Clock::SleepUntil(TimePoint deadline, const std::atomic<bool>& running) {
  return Sleep(deadline, &running);
}

void Clock::WakeAll() {
  std::lock_guard lock(mutex_);
  ++wakeGeneration_;
  changed_.notify_all();
}

void Clock::RecheckFlags() {
  std::lock_guard lock(mutex_);
  changed_.notify_all();
}

bool Clock::Sleep(TimePoint deadline, const std::atomic<bool>* running) {
  std::unique_lock lock(mutex_);
  const uint64_t generation = wakeGeneration_;
  SleeperChanged(deadline, true);
  bool reached = false;
  while (true) {
    if (running != nullptr ? !running->load() : wakeGeneration_ != generation) break;
    if (Now() >= deadline) {
      reached = true;
      break;
    }
    WaitLocked(lock, deadline);
  }
  SleeperChanged(deadline, false);
  return reached;
}

namespace {

class SteadyClock final : public Clock {
 public:
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }

 protected:
  void WaitLocked(std::unique_lock<std::mutex>& lock, TimePoint deadline) override {
    changed_.wait_until(lock, deadline);
  }
};

}  // namespace

Clock& SystemClock() {
  static SteadyClock clock;
  return clock;
}

ManualClock::ManualClock() : ManualClock(TimePoint(std::chrono::hours(24 * 365))) {}

ManualClock::ManualClock(TimePoint start) : now_(start.time_since_epoch().count()) {}

Clock::TimePoint ManualClock::Now() const { return TimePoint(Duration(now_.load())); }

void ManualClock::Advance(Duration duration) {
  std::lock_guard lock(mutex_);
  now_ += duration.count();
  changed_.notify_all();
}

void ManualClock::WaitForSleepers(size_t count) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return SleepersLocked() >= count; });
}

size_t ManualClock::Sleepers() {
  std::lock_guard lock(mutex_);
  return SleepersLocked();
}

size_t ManualClock::SleepersLocked() const {
  return static_cast<size_t>(std::distance(sleepers_.upper_bound(Now()), sleepers_.end()));
}

void ManualClock::WaitLocked(std::unique_lock<std::mutex>& lock, TimePoint /*deadline*/) {
  changed_.wait(lock);
}

void ManualClock::SleeperChanged(TimePoint deadline, bool added) {
  if (added) {
    sleepers_.insert(deadline);
  } else {
    sleepers_.erase(sleepers_.find(deadline));
  }
  changed_.notify_all();
}

}  // namespace mgmt::base
