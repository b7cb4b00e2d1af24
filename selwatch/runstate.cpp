#include "runstate.h"

#include <algorithm>

std::atomic<bool> mainthread_running{true};
std::atomic<int> num_runningthreads{0};
const int g_pollingInterval = 30;
char g_modelName[256] = {};

namespace mgmt::selwatch {
namespace {

constexpr uint8_t kSendEventBit = 0x01;
constexpr uint8_t kShutdownBit = 0x02;

std::atomic<uint8_t> g_switches{0};
std::atomic<base::Clock*> g_clock{nullptr};

}  // namespace

std::atomic<bool> g_pollRequested{false};

EventSwitches CurrentEventSwitches() {
  const uint8_t bits = g_switches.load();
  return {(bits & kSendEventBit) != 0, (bits & kShutdownBit) != 0};
}

void PublishEventSwitches(EventSwitches switches) {
  g_switches.store(static_cast<uint8_t>((switches.bmcSendEvent ? kSendEventBit : 0) |
                                        (switches.shutdownIfTempHigh ? kShutdownBit : 0)));
}

base::Clock& DaemonClock() {
  base::Clock* clock = g_clock.load();
  return clock != nullptr ? *clock : base::SystemClock();
}

void SetDaemonClock(base::Clock* clock) { g_clock.store(clock); }

void PauseSeconds(int seconds, bool forPoll) {
  base::Clock& clock = DaemonClock();
  const auto deadline = clock.Now() + std::chrono::seconds(seconds);
  // One-second steps with the run flag (and the poll request) tested before
  // each; a stop that calls WakeAll() ends the current step at once.
  while (mainthread_running) {
    if (forPoll && g_pollRequested.exchange(false)) return;
    const auto now = clock.Now();
    if (now >= deadline) return;
    clock.SleepUntil(std::min(deadline, now + std::chrono::seconds(1)), mainthread_running);
  }
}

}  // namespace mgmt::selwatch
