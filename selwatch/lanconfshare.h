// The daemon's copy of the ipmi.conf settings. main fills it before the workers
// start; afterwards only the watchdog worker replaces it (every 10 seconds, with
// a fresh read of ipmi.conf). The event worker reads just the two switches, which
// PublishLanConf hands over as one atomic word (runstate.h), so no reader ever
// sees half of an update.
#ifndef MGMT_SELWATCH_LANCONFSHARE_H
#define MGMT_SELWATCH_LANCONFSHARE_H

#include "imblanconf.h"

extern CBMCLanConf g_lanconf;

/// Copies `conf` into g_lanconf and publishes its BMCSendEvent and
/// ShutdownifTempHigh switches to the event worker.
void PublishLanConf(const CBMCLanConf& conf);

#endif
