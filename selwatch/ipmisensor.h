// The SDR repository: read once at start-up into a small sensor table that names
// the sensor behind a SEL record and gives its entity; a fuller sensor list that
// keeps each record with its last reading; the IPMI linear conversion of raw
// readings.
#ifndef MGMT_SELWATCH_IPMISENSOR_H
#define MGMT_SELWATCH_IPMISENSOR_H

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
/// The five bytes every SDR starts with.
typedef struct _SDRHeader {
  uint16_t wRecordID;
  uint8_t bSDRVersion;
  uint8_t bRecordType;  ///< 0x01 full, 0x02 compact, 0x03 event-only sensor
  uint8_t bLength;      ///< bytes after the header
} SDRHEADER;

/// One row of the sensor table.
typedef struct _SDRSensor_Lite {
  uint8_t bOwnerID;
  uint8_t bOwnerLUN;  ///< channel in bits 7-4, LUN in bits 1-0
  uint8_t bSensorNumber;
  uint8_t bEntityID;
  uint8_t bEntityInstance;
  char szIDString[16];
} SDRSENSOR_LITE;

/// One entry of the sensor list.
typedef struct _sensor {
  uint16_t wRecordID;
  uint8_t bRecordType;
  uint8_t bSensorType;
  int bReadingSupported;
  /// Owned (C allocator): the record (5 header bytes and up to 59 body bytes,
  /// zero-filled), then the 5 bytes of the last Get Sensor Reading answer.
  uint8_t* pbData;
} SENSOR;
#pragma pack(pop)

static_assert(sizeof(SDRHEADER) == 5);
static_assert(offsetof(SDRHEADER, bRecordType) == 3);
static_assert(offsetof(SDRHEADER, bLength) == 4);
static_assert(sizeof(SDRSENSOR_LITE) == 21);
static_assert(offsetof(SDRSENSOR_LITE, szIDString) == 5);

inline constexpr int kMaxSensors = 256;
inline constexpr size_t kSdrBufferSize = 128;
inline constexpr size_t kSensorBodyMax = 59;
inline constexpr size_t kSensorReadingBytes = 5;
inline constexpr size_t kSensorBlockSize = 5 + kSensorBodyMax + kSensorReadingBytes;  // 69
/// SensorReadingConversion's result when the reading cannot be converted.
inline constexpr int kReadingUnavailable = INT32_MIN;

extern SDRSENSOR_LITE g_SDRSensorTable[kMaxSensors];
extern int g_nNumSensors;
extern SENSOR* g_plstSensor;
extern int g_nSensors;
extern int g_nBufSize;
extern const int g_nBufsizeUnit;
/// Bytes asked for per Get SDR request; 0xFF: the whole record.
extern uint8_t bBMCIxMaxTransferBytes;

/// Reads the whole repository into the sensor table. 0 after the last record,
/// -1 when a read failed (the rows read so far stay).
int GetSDRSensors();
/// Reads record `recordId`; `*record` points at the module's 128-byte buffer
/// (valid until the next read), `*nextRecordId` at the following ID. 0 or -1.
int GetSDR(uint16_t recordId, uint16_t* nextRecordId, uint8_t** record);
/// Adds a table row for a sensor record (full, compact or event-only); other
/// record types are passed over. 1 when a row was added, 0 otherwise.
int AddSensor(uint8_t* record);
/// Copies an ID string of 8-bit ASCII (type/length byte 0xC0 and above), at
/// most 15 characters and NUL-terminated; any other type gives "".
void SDRIDStringXcpy(char* dest, const uint8_t* source, uint8_t typeLength);
/// Index of the first row with the owner, LUN and sensor number of a SEL
/// record's generator ID (two bytes) and sensor number, or -1.
int SDRSensorIndex(const uint8_t* generatorId, uint8_t sensorNumber);

SENSOR* AddSensorTable(uint8_t* record);
SENSOR* AddNewSensor(SDRHEADER* header, uint8_t* body);
SENSOR* UpdateSensor(SDRHEADER* header, uint8_t* body, int index);
SENSOR* UpdateSensor_1(int index, uint8_t* record);
SENSOR* UpdateSensorReading(int index);
SENSOR* GetSensorFromTable(uint16_t recordId, int* index);
int IsSupportedSensorType(uint8_t sensorType);
/// Get Sensor Reading into the entry's reading bytes. 0 or -1.
int GetSensorReading(SENSOR* sensor);
/// Get Sensor Reading Factors for `raw`: body bytes 19 to 24 replaced. 0 or -1.
int GetSensorReadingFactors(uint8_t* fullSensorBody, uint8_t raw);
/// y = (M x + B 10^K1) 10^K2 (1/y for linearisation 7) for a full sensor body,
/// truncated to int, or the callback's result for y. kReadingUnavailable when a
/// non-linear sensor's factors cannot be fetched.
int SensorReadingConversion(uint8_t* fullSensorBody, uint8_t raw, int (*callback)(float&));
/// 1 when the BMC answers Get Device ID with more than 10 data bytes, else 0.
int GetIPMIInfo();
/// Frees the sensor list.
void FreeSensorList();

#endif
