// InitModelNameAndUUID: the platform model name and the system GUID from the
// SMBIOS table, once at start-up. Until the SMBIOS access functions are built
// in, the daemon runs without a model name and with an all-zero GUID, as it
// does on a machine without an SMBIOS driver.
#include <cstring>

#include "ipmipet.h"
#include "runstate.h"

void InitModelNameAndUUID() { std::memset(g_modelName, 0, sizeof(g_modelName)); }
