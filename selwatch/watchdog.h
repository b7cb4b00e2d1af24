// The watchdog worker: arms and feeds the BMC watchdog for automatic server
// restart from the ipmi.conf settings, once every 10 seconds, and disarms it
// when the daemon stops.
#ifndef MGMT_SELWATCH_WATCHDOG_H
#define MGMT_SELWATCH_WATCHDOG_H

/// Stops the BMC watchdog (Set Watchdog Timer with everything zero), so a normal
/// stop of the daemon does not restart the host.
void DisarmWatchdog();

#endif
