// The BMC watchdog timer, used for automatic server restart.
#include <algorithm>

#include "base/bytes.h"
#include "ipmiconf.h"
#include "ipmiconf_internal.h"

namespace {

constexpr BYTE kCmdResetWatchdog = 0x22;
constexpr BYTE kCmdSetWatchdog = 0x24;
constexpr BYTE kCmdGetWatchdog = 0x25;
// Timer use: SMS/OS, logging on, the timer stopped by the set command (bit 6 clear).
constexpr BYTE kTimerUseSmsOs = 0x04;
// The countdown is 16 bits of 100 ms.
constexpr int kMaxSeconds = 0xFFFF / 10;

}  // namespace

int GetWatchdogTimer(int* enabled, int* seconds, int* action) {
  const mgmt::bmc::IpmiReply reply = mgmt::bmc::Request(mgmt::bmc::kNetFnApp, kCmdGetWatchdog);
  if (!reply.Ok()) return reply.rc;
  // Bytes 4-5 hold the initial countdown; the present countdown after them is
  // left out by some BMCs, so six bytes are enough.
  if (!reply.Has(5)) return -1;
  const int countdown = mgmt::base::GetLe16(reply.buffer, 4);
  if (seconds != nullptr) *seconds = countdown / 10;
  if (action != nullptr) *action = reply.buffer[1];
  if (enabled != nullptr) *enabled = countdown / 10 != 0 ? 1 : 0;
  return 0;
}

int SetWatchdogTimer(int enabled, int seconds, int action) {
  BYTE timerAction = 0;
  int countdown = 0;
  if (enabled != 0) {
    timerAction = static_cast<BYTE>(action);
    countdown = std::clamp(seconds, 0, kMaxSeconds) * 10;
  }
  return mgmt::bmc::Request(
             mgmt::bmc::kNetFnApp, kCmdSetWatchdog,
             {kTimerUseSmsOs, timerAction, 0x00, 0x00, static_cast<BYTE>(countdown & 0xFF),
              static_cast<BYTE>(countdown >> 8)})
      .rc;
}

int ResetWatchdogTimer(void) {
  return mgmt::bmc::Request(mgmt::bmc::kNetFnApp, kCmdResetWatchdog).rc;
}
