// A plug-in for the tests: names every sensor "OEM " plus the name it was given
// and marks the PET data, so a test (and the trap) can see it ran.
#include <algorithm>
#include <cstring>
#include <string>

#include "oempet.h"

extern "C" __attribute__((visibility("default"))) void ParseOEMSystemEventLog(SELRECORDX* record,
                                                                              OEMPETDATA* petData) {
  if (petData == nullptr) return;
  const std::string name =
      "OEM " + std::string(petData->szSensorName,
                           strnlen(petData->szSensorName, sizeof(petData->szSensorName)));
  const size_t length = std::min(name.size(), sizeof(petData->szSensorName) - 1);
  std::memcpy(petData->szSensorName, name.data(), length);
  petData->szSensorName[length] = '\0';
  petData->wOEMData = record != nullptr ? 1 : 2;
}
