// Automatic server restart: the daemon's watchdog thread keeps the BMC watchdog
// as ipmi.conf's [Watchdog] section says. Every cycle re-reads the file, compares
// it with the settings applied last and with the BMC's timer, programs the timer
// when they differ, and re-arms it while ASR is on, so a hung host is restarted
// by the BMC and a change of the file takes effect within one cycle.
//
// The cycle logic is here, apart from the thread, so it is tested with a
// scripted BMC and a ManualClock; selwatch's watchdog_monitor is RunAsrLoop.
#ifndef MGMT_BMCLIB_ASRWATCHDOG_H
#define MGMT_BMCLIB_ASRWATCHDOG_H

#include <chrono>
#include <functional>

#include "base/clock.h"
#include "imblanconf.h"

namespace mgmt::watchdog {

/// The countdown is 16 bits of 100 ms: longer time-outs are clamped to this.
inline constexpr int kMaxAsrSeconds = 6553;
/// A time-out below this is never programmed (the host would not get through
/// its own start before the BMC resets it).
inline constexpr int kMinAsrSeconds = 180;
inline constexpr std::chrono::seconds kCyclePeriod{10};

/// The watchdog as the BMC is to hold it.
struct AsrSettings {
  bool enabled = false;
  int seconds = 0;  ///< 0 to kMaxAsrSeconds
  int action = 0;   ///< 0 none, 1 hard reset, 2 power down, 3 power cycle
  friend bool operator==(const AsrSettings&, const AsrSettings&) = default;
};

/// The file's settings made sendable: the time-out clamped to 0..6553 seconds
/// (more used to wrap to a few seconds, and the BMC reset a healthy host), an
/// action other than 0-3 taken as none.
AsrSettings EffectiveAsr(const CBMCLanConf& conf);

class AsrWatchdog {
 public:
  /// Receives the whole configuration read in each cycle: the daemon's
  /// process-wide copy (g_lanconf), which the event thread reads.
  using Publish = std::function<void(const CBMCLanConf&)>;

  explicit AsrWatchdog(Publish publish = {});

  /// One cycle. A missing ipmi.conf reads as ASR off; one that exists but
  /// cannot be read keeps the settings applied last.
  void Cycle();

  /// Stops the timer, repeating Set Watchdog Timer one second apart until Get
  /// Watchdog Timer shows it stopped, at most `attempts` times.
  /// @return true when confirmed.
  bool Disarm(base::Clock& clock, int attempts = 5);

  /// The configuration applied last (what was published).
  const CBMCLanConf& Applied() const { return applied_; }

 private:
  Publish publish_;
  CBMCLanConf applied_;
  AsrSettings bmc_;  // the BMC's timer as last read (all zero before the first read)
};

/// The body of the watchdog thread: a cycle every kCyclePeriod (counted from
/// the start of the previous one), the pauses made of one-second waits so that
/// a cleared `running` is seen within a second; on leaving, the watchdog is
/// disarmed.
void RunAsrLoop(AsrWatchdog& watchdog, base::Clock& clock, const std::function<bool()>& running);

}  // namespace mgmt::watchdog

#endif
