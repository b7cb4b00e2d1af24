#include "asrwatchdog.h"

#include <algorithm>

#include "bmcpaths.h"
#include "cfghandle.h"
#include "ipmiconf.h"

namespace mgmt::watchdog {
namespace {

bool SameFileSettings(const CBMCLanConf& a, const CBMCLanConf& b) {
  return a.GetAsrEnabled() == b.GetAsrEnabled() && a.GetAsrTimer() == b.GetAsrTimer() &&
         a.GetAsrAction() == b.GetAsrAction();
}

}  // namespace

AsrSettings EffectiveAsr(const CBMCLanConf& conf) {
  AsrSettings s;
  s.enabled = conf.GetAsrEnabled();
  s.seconds = std::clamp<int>(conf.GetAsrTimer(), 0, kMaxAsrSeconds);
  s.action = conf.GetAsrAction() >= 0 && conf.GetAsrAction() <= 3 ? conf.GetAsrAction() : 0;
  return s;
}

AsrWatchdog::AsrWatchdog(Publish publish) : publish_(std::move(publish)) {}

void AsrWatchdog::Cycle() {
  CBMCLanConf file;
  bmc::CfgHandle cfg(CfgNew(bmc::kIpmiConfPath));
  const int status = cfg != nullptr ? CfgCache(cfg.get()) : CFG_NOMEMORY;
  if (status == CFG_OK) {
    file.GetFromFile(cfg.get());
  } else if (status != CFG_NOFILE) {
    // Half-written by hand, a permission slip: keep what was applied rather
    // than disarm a watchdog the administrator wants.
    file = applied_;
  }

  int enabled = 0, seconds = 0, action = 0;
  if (GetWatchdogTimer(&enabled, &seconds, &action) == 0) bmc_ = {enabled != 0, seconds, action};

  const AsrSettings wanted = EffectiveAsr(file);
  if (!SameFileSettings(file, applied_) || !(wanted == bmc_)) {
    if (!wanted.enabled) {
      SetWatchdogTimer(0, 0, 0);
    } else if (wanted.seconds >= kMinAsrSeconds) {
      SetWatchdogTimer(1, wanted.seconds, wanted.action);
    }
  }
  applied_ = file;
  if (publish_) publish_(applied_);
  // Starts the timer after a set and re-arms it in every later cycle.
  if (wanted.enabled) ResetWatchdogTimer();
}

bool AsrWatchdog::Disarm(base::Clock& clock, int attempts) {
  for (int i = 0; i < attempts; ++i) {
    if (i > 0) clock.SleepUntil(clock.Now() + std::chrono::seconds(1));
    SetWatchdogTimer(0, 0, 0);
    int enabled = 1, seconds = 1, action = 0;
    if (GetWatchdogTimer(&enabled, &seconds, &action) == 0 && seconds == 0) return true;
  }
  return false;
}

void RunAsrLoop(AsrWatchdog& watchdog, base::Clock& clock, const std::function<bool()>& running) {
  // Cycles start on a steady 10-second cadence, not 10 seconds after the
  // previous one ended: a slow BMC answer does not stretch the time within
  // which a change of ipmi.conf reaches the BMC.
  auto cycleStart = clock.Now();
  while (running()) {
    watchdog.Cycle();
    auto end = cycleStart + kCyclePeriod;
    // A cycle that took longer than the period: the next one starts now.
    if (end < clock.Now()) end = clock.Now();
    cycleStart = end;
    for (auto step = clock.Now(); running() && step < end;) {
      step = std::min(end, step + std::chrono::seconds(1));
      clock.SleepUntil(step);
    }
  }
  watchdog.Disarm(clock);
}

}  // namespace mgmt::watchdog
