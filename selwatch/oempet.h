// What the OEM SEL-parser plug-in sees: the extended SEL record (selrecord.h) and
// the OEM PET data below. A plug-in exports, with C linkage,
//
//   void ParseOEMSystemEventLog(_SELRecordX* record, _OEMPetData* petData);
//
// `record` is null for OEM record types (0xC0 and above). Whatever the entry
// leaves in the two records is what the event and its trap carry; the sensor
// name becomes the trap's OEM custom field (at most 61 characters are sent).
#ifndef MGMT_SELWATCH_OEMPET_H
#define MGMT_SELWATCH_OEMPET_H

#include <cstddef>
#include <cstdint>

#include "selrecord.h"

/// Room for the sensor name, NUL included.
inline constexpr size_t kOemSensorNameSize = 256;

typedef struct _OEMPetData {
  uint16_t wOEMData;                      ///< cleared before each record
  char szSensorName[kOemSensorNameSize];  ///< NUL-terminated; empty: no OEM field
} OEMPETDATA;

static_assert(offsetof(OEMPETDATA, szSensorName) == 2);
static_assert(sizeof(OEMPETDATA) == 2 + kOemSensorNameSize);

/// The plug-in's entry, exported as "ParseOEMSystemEventLog".
typedef void (*ParseOEMSystemEventLogFn)(SELRECORDX* record, OEMPETDATA* petData);

#endif
