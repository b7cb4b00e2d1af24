// Event interpretation: a new SEL record becomes a Platform Event Trap (PET)
// event block with a specific trap number, handed to the trap sender. Also the
// platform identity the events carry (model name and system GUID).
#ifndef MGMT_SELWATCH_IPMIPET_H
#define MGMT_SELWATCH_IPMIPET_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ipmisensor.h"
#include "oempet.h"
#include "selrecord.h"

/// The system GUID every event carries (zero until set).
extern uint8_t siUUID[16];
/// Unix time of 1998-01-01 00:00 UTC as the date command reports it; 0 until
/// fetched.
extern uint32_t tmbase;

/// PET severities.
enum : uint8_t {
  kPetSeverityUnspecified = 0x00,
  kPetSeverityInformation = 0x02,
  kPetSeverityNonCritical = 0x08,
  kPetSeverityCritical = 0x10,
};

/// Completes a SEL record with its sensor's name (into `petData`) and entity.
/// The result is a static record reused for every call, or null for OEM record
/// types (0xC0 and above).
SELRECORDX* FormSELRecord4PET(SELRECORD* record, OEMPETDATA* petData);
/// Writes the (always empty) event description.
void FormEventDescription(SDRSENSOR_LITE* sensor, SELRECORDX* record, char* text);
/// Builds the event block of `record` and sends it to every trap sink.
void HandleSELEntry(SELRECORDX* record, OEMPETDATA* petData);
/// Severity of an assertion by sensor type, event/reading type and offset.
uint8_t GetPETServerity(uint8_t sensorType, uint8_t eventType, uint8_t offset);

/// Writes an event block into `out`, which must hold kPetBlockMax bytes, with
/// the system GUID and the local UTC offset. `eventData`: 8 bytes, or null for
/// zeros; `oem` is used when `oemLength` is 1 to 63. Returns the block length.
int fill_esm_pdu(uint8_t* out, uint32_t timestamp, uint8_t trapSourceType, uint8_t eventSourceType,
                 uint8_t severity, uint8_t sensorDevice, uint8_t sensorNumber, uint8_t entity,
                 uint8_t entityInstance, const uint8_t* eventData, uint32_t manufacturerId,
                 uint16_t systemId, int oemLength, const uint8_t* oem);
/// Builds an event from caller-supplied fields: `data` (1 to 63 bytes) becomes
/// the OEM field with the header 0xC0 | its length. Sent when the block is 47 to
/// 111 bytes long. 0.
int sendeventmessage(uint32_t timestamp, uint8_t trapSourceType, uint8_t eventSourceType,
                     uint8_t severity, uint8_t sensorDevice, uint8_t sensorNumber, uint8_t entity,
                     uint8_t entityInstance, const uint8_t* eventData, uint32_t manufacturerId,
                     uint16_t systemId, int dataLength, const uint8_t* data, uint32_t trapNumber);

/// Unix time of 1998-01-01 00:00 (UTC when `utc` is non-zero) from the date
/// command. 0; -1 no temporary name; -2 the command could not run; -3 its
/// output could not be read. `*result` is 0 when nothing usable was printed.
int getBaseTime(long* result, int utc);
/// The local UTC offset in minutes from "date +%z": sign × (hh × 60 + mm).
/// Same result codes as getBaseTime.
int getTimeZone(int* minutes);

void getguid(uint8_t* dest);
void SetUUID(const uint8_t* uuid);

/// Start-up: the platform model name into g_modelName and the system UUID into
/// the GUID, from the SMBIOS table.
void InitModelNameAndUUID();

namespace mgmt::selwatch {

inline constexpr size_t kPetFixedBytes = 46;  ///< the block up to the OEM field
inline constexpr size_t kPetOemMax = 63;
inline constexpr size_t kPetBlockMax = kPetFixedBytes + kPetOemMax + 1;  // 110
inline constexpr uint8_t kPetEndMarker = 0xC1;
/// Unix time of 1998-01-01 00:00 UTC, the base of PET time stamps.
inline constexpr uint32_t kPetEpoch = 883612800;
/// The manufacturer ID the events carry (an IANA enterprise number).
inline constexpr uint32_t kManufacturerId = SELWATCH_MANUFACTURER_ID;
/// Longest sensor name sent in the OEM field (a NUL follows it).
inline constexpr size_t kOemNameMax = 61;

/// Every field of one event block.
struct PetEvent {
  uint8_t guid[16] = {};
  uint16_t sequence = 0;
  uint32_t timestamp = 0;  ///< seconds since kPetEpoch; 0 unspecified
  int16_t utcOffsetMinutes = 0;
  uint8_t trapSourceType = 0x10;
  uint8_t eventSourceType = 0;
  uint8_t severity = 0;
  uint8_t sensorDevice = 0;
  uint8_t sensorNumber = 0;
  uint8_t entity = 0;
  uint8_t entityInstance = 0;
  uint8_t eventData[8] = {};
  uint8_t languageCode = 0x19;
  uint32_t manufacturerId = 0;
  uint16_t systemId = 0;
  std::vector<uint8_t> oemField;  ///< 0 to 63 bytes, header included
};

/// The block: big-endian fields, the OEM field, the end marker.
std::vector<uint8_t> EncodePetBlock(const PetEvent& event);
/// The OEM custom field that carries a sensor name: the type/length header
/// 0xC0 | the count of bytes after it, the name (at most kOemNameMax
/// characters) and its NUL. Empty for an empty name.
std::vector<uint8_t> SensorNameField(const char* name);
/// Specific trap number: sensor type, event/reading type and offset byte.
uint32_t SpecificTrapNumber(const SELRECORD& record);
/// The event of a SEL record (without GUID, time stamp and UTC offset).
PetEvent PetEventOf(const SELRECORDX& record, const OEMPETDATA& petData);
/// The whole block HandleSELEntry sends for a record: the event with the
/// system GUID, the time since the PET base and the local UTC offset.
std::vector<uint8_t> EventBlockOf(const SELRECORDX& record, const OEMPETDATA& petData);
/// "+0530" → 330, "-0800" → -480; nullopt for anything else.
std::optional<int> ParseUtcOffset(const char* text);

}  // namespace mgmt::selwatch

#endif
