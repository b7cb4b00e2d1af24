// SEL record layouts as the BMC delivers them (Get SEL Entry, Get SEL Info, Get
// SEL Allocation Info), and the extended record that event interpretation and
// the OEM SEL-parser plug-in share. All multi-byte fields are little-endian on
// the wire; the packed structs below are only used on little-endian hosts.
#ifndef MGMT_SELWATCH_SELRECORD_H
#define MGMT_SELWATCH_SELRECORD_H

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little);

#pragma pack(push, 1)
/// One Get SEL Entry answer after the completion code: the next record's ID and
/// the 16-byte record.
typedef struct _SELRecord {
  uint16_t wNextRecordID;  ///< 0xFFFF: this is the last record
  uint16_t wRecordID;
  uint8_t bRecordType;      ///< 0x02 system event; 0xC0 and above OEM
  uint32_t dwTimestamp;     ///< seconds
  uint8_t bGeneratorID[2];  ///< slave address or software ID; channel and LUN
  uint8_t bEvMRev;
  uint8_t bSensorType;
  uint8_t bSensorNumber;
  uint8_t bEventDirType;  ///< bit 7: deassertion; bits 6-0: event/reading type
  uint8_t bEventData[3];
} SELRECORD;

/// The record as event interpretation sees it: the SEL record, a description
/// text, and the entity of the sensor that logged it (0/0 when unknown).
typedef struct _SELRecordX {
  SELRECORD sel;
  char szDescription[256];
  uint8_t bEntityID;
  uint8_t bEntityInstance;
} SELRECORDX;

/// Get SEL Info data (14 bytes) followed by Get SEL Allocation Info data (9).
typedef struct _SELInfoX {
  uint8_t bSELVersion;
  uint16_t wEntries;
  uint16_t wFreeSpace;  ///< bytes
  uint32_t dwLastAddTimestamp;
  uint32_t dwLastEraseTimestamp;
  uint8_t bOperationSupport;
  uint16_t wAllocUnits;
  uint16_t wAllocUnitSize;
  uint16_t wFreeUnits;
  uint16_t wLargestFreeBlock;
  uint8_t bMaxRecordSize;
} SELINFO;
#pragma pack(pop)

static_assert(sizeof(SELRECORD) == 18);
static_assert(offsetof(SELRECORD, wRecordID) == 2);
static_assert(offsetof(SELRECORD, bRecordType) == 4);
static_assert(offsetof(SELRECORD, dwTimestamp) == 5);
static_assert(offsetof(SELRECORD, bGeneratorID) == 9);
static_assert(offsetof(SELRECORD, bEvMRev) == 11);
static_assert(offsetof(SELRECORD, bSensorType) == 12);
static_assert(offsetof(SELRECORD, bSensorNumber) == 13);
static_assert(offsetof(SELRECORD, bEventDirType) == 14);
static_assert(offsetof(SELRECORD, bEventData) == 15);

static_assert(sizeof(SELRECORDX) == 18 + 256 + 2);
static_assert(offsetof(SELRECORDX, szDescription) == 18);
static_assert(offsetof(SELRECORDX, bEntityID) == 274);
static_assert(offsetof(SELRECORDX, bEntityInstance) == 275);

static_assert(sizeof(SELINFO) == 23);
static_assert(offsetof(SELINFO, wEntries) == 1);
static_assert(offsetof(SELINFO, wFreeSpace) == 3);
static_assert(offsetof(SELINFO, dwLastAddTimestamp) == 5);
static_assert(offsetof(SELINFO, dwLastEraseTimestamp) == 9);
static_assert(offsetof(SELINFO, bOperationSupport) == 13);
static_assert(offsetof(SELINFO, wAllocUnits) == 14);
static_assert(offsetof(SELINFO, wAllocUnitSize) == 16);
static_assert(offsetof(SELINFO, wFreeUnits) == 18);
static_assert(offsetof(SELINFO, wLargestFreeBlock) == 20);
static_assert(offsetof(SELINFO, bMaxRecordSize) == 22);

/// Sizes of the BMC answers these records are copied from.
inline constexpr size_t kSelInfoBytes = 14;
inline constexpr size_t kSelAllocInfoBytes = 9;
/// The record without the next-ID prefix.
inline constexpr size_t kSelEntryBytes = 16;

#endif
