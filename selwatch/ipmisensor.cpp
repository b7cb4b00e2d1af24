// SDR repository reader, sensor table and sensor list.
#include "ipmisensor.h"

#include <syslog.h>

#include <algorithm>
#include <bitset>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>

#include "base/bytes.h"
#include "bmcrequest.h"
#include "ipmievt.h"

SDRSENSOR_LITE g_SDRSensorTable[kMaxSensors] = {};
int g_nNumSensors = 0;
SENSOR* g_plstSensor = nullptr;
int g_nSensors = 0;
int g_nBufSize = 0;
const int g_nBufsizeUnit = 8;
uint8_t bBMCIxMaxTransferBytes = 0xFF;

namespace mgmt::selwatch {
namespace {

constexpr uint8_t kGetSdr = 0x23;
constexpr uint8_t kReserveSdr = 0x22;
constexpr uint8_t kGetSensorReadingFactors = 0x23;
constexpr uint8_t kGetSensorReading = 0x2D;
constexpr uint8_t kWholeRecord = 0xFF;
constexpr int kReservationAttempts = 4;
constexpr size_t kHeaderSize = sizeof(SDRHEADER);

uint8_t g_record[kSdrBufferSize];
uint16_t g_sdrReservation = 0;
bool g_haveSdrReservation = false;

bool ReserveSdr() {
  const uint16_t reservation = ReserveRepository(kReserveSdr);
  if (reservation == 0xFFFF) return false;
  g_sdrReservation = reservation;
  g_haveSdrReservation = true;
  return true;
}

/// Where a sensor record's ID string type/length byte stands; 0 for records
/// that are not sensor records.
size_t IdStringOffset(uint8_t recordType) {
  switch (recordType) {
    case 0x01:
      return 47;  // full sensor record
    case 0x02:
      return 31;  // compact sensor record
    case 0x03:
      return 16;  // event-only record
    default:
      return 0;
  }
}

/// Length of the record in the buffer: its header's count, cut to the buffer.
size_t RecordLength(const uint8_t* record) {
  return std::min<size_t>(kHeaderSize + record[4], kSdrBufferSize);
}

/// The ID string copy, bounded by the bytes that follow the type/length byte.
void CopyIdString(char* dest, std::span<const uint8_t> source, uint8_t typeLength) {
  dest[0] = '\0';
  if (typeLength < 0xC0) return;
  const size_t length = std::min<size_t>({typeLength & 0x1Fu, 15, source.size()});
  std::memcpy(dest, source.data(), length);
  dest[length] = '\0';
}

int SignExtend(int value, int bits) {
  const int sign = 1 << (bits - 1);
  return (value & sign) != 0 ? value - (1 << bits) : value;
}

}  // namespace
}  // namespace mgmt::selwatch

using namespace mgmt::selwatch;

int GetSDR(uint16_t recordId, uint16_t* nextRecordId, uint8_t** record) {
  std::memset(g_record, 0, sizeof(g_record));
  uint8_t ask = bBMCIxMaxTransferBytes;
  size_t offset = 0;
  size_t total = 0;  // known after the first chunk
  bool first = true;
  int reservationAttempts = 0;
  for (;;) {
    if (ask != kWholeRecord && !g_haveSdrReservation && !ReserveSdr()) return -1;
    const uint8_t request[] = {
        static_cast<uint8_t>(g_sdrReservation), static_cast<uint8_t>(g_sdrReservation >> 8),
        static_cast<uint8_t>(recordId),         static_cast<uint8_t>(recordId >> 8),
        static_cast<uint8_t>(offset),           ask};
    const BmcAnswer answer = SendToBmc(kNetFnStorage, kGetSdr, request);
    if (!answer.answered) return -1;
    if (answer.completionCode == kCcReservationCancelled) {
      if (++reservationAttempts >= kReservationAttempts || !ReserveSdr()) return -1;
      continue;
    }
    if (answer.completionCode == kCcCannotReturnBytes) {
      // This reader goes down to 16 bytes per request.
      const auto smaller = SmallerTransfer(ask, 16);
      if (!smaller) return -1;
      bBMCIxMaxTransferBytes = *smaller;
      ask = first ? *smaller : static_cast<uint8_t>(std::min<size_t>(*smaller, total - offset));
      continue;
    }
    if (answer.completionCode != 0 || answer.length < 2) return -1;

    const std::span<const uint8_t> bytes = answer.Data().subspan(2);
    if (first) {
      if (nextRecordId != nullptr) *nextRecordId = mgmt::base::GetLe16(answer.Data(), 0);
      if (ask == kWholeRecord) {
        if (bytes.size() < kHeaderSize) return -1;
        std::memcpy(g_record, bytes.data(), std::min(bytes.size(), kSdrBufferSize));
        break;
      }
      if (bytes.size() < kHeaderSize) return -1;  // the length is not known yet
      total = RecordLength(bytes.data());
      first = false;
    }
    const size_t got = std::min(bytes.size(), total - offset);
    if (got == 0) return -1;  // a chunk without bytes would never finish the record
    std::memcpy(g_record + offset, bytes.data(), got);
    offset += got;
    if (offset >= total) break;
    ask = static_cast<uint8_t>(std::min<size_t>(bBMCIxMaxTransferBytes, total - offset));
  }
  if (record != nullptr) *record = g_record;
  return 0;
}

int GetSDRSensors() {
  // Each record ID is read once: a chain that leads back to a record already
  // read (or to itself) ends the scan instead of holding start-up forever.
  auto visited = std::make_unique<std::bitset<65536>>();
  uint16_t id = 0;
  while (id != 0xFFFF) {
    if (visited->test(id)) {
      syslog(LOG_ERR, "ERROR,SDR repository: record %u is named twice; scan ended",
             static_cast<unsigned>(id));
      return -1;
    }
    visited->set(id);
    uint16_t next = 0xFFFF;
    uint8_t* record = nullptr;
    if (GetSDR(id, &next, &record) != 0) return -1;
    const uint16_t ownId = mgmt::base::GetLe16({record, 2}, 0);
    if (ownId != id && visited->test(ownId)) {
      syslog(LOG_ERR, "ERROR,SDR repository: record %u is named twice; scan ended",
             static_cast<unsigned>(ownId));
      return -1;
    }
    visited->set(ownId);
    AddSensor(record);
    id = next;
  }
  return 0;
}

int AddSensor(uint8_t* record) {
  if (record == nullptr || g_nNumSensors >= kMaxSensors) return 0;
  const size_t at = IdStringOffset(record[3]);
  if (at == 0) return 0;
  const size_t length = RecordLength(record);
  SDRSENSOR_LITE& row = g_SDRSensorTable[g_nNumSensors];
  std::memcpy(&row, record + 5, 5);
  row.szIDString[0] = '\0';
  if (at < length) {
    CopyIdString(row.szIDString, std::span<const uint8_t>(record + at + 1, length - at - 1),
                 record[at]);
  }
  ++g_nNumSensors;
  return 1;
}

void SDRIDStringXcpy(char* dest, const uint8_t* source, uint8_t typeLength) {
  if (dest == nullptr) return;
  if (source == nullptr) {
    dest[0] = '\0';
    return;
  }
  CopyIdString(dest, std::span<const uint8_t>(source, typeLength & 0x1Fu), typeLength);
}

int SDRSensorIndex(const uint8_t* generatorId, uint8_t sensorNumber) {
  if (generatorId == nullptr) return -1;
  for (int i = 0; i < g_nNumSensors && i < kMaxSensors; ++i) {
    const SDRSENSOR_LITE& row = g_SDRSensorTable[i];
    if (row.bOwnerID == generatorId[0] && row.bOwnerLUN == generatorId[1] &&
        row.bSensorNumber == sensorNumber)
      return i;
  }
  return -1;
}

// ------------------------------------------------------------------ sensor list

namespace {

SENSOR* AddSensorEntry(SDRHEADER* header, uint8_t* body, int supported) {
  if (header == nullptr || body == nullptr) return nullptr;
  if (g_nSensors >= g_nBufSize) {
    const int newSize = g_nBufSize + g_nBufsizeUnit;
    void* grown = std::realloc(g_plstSensor, sizeof(SENSOR) * static_cast<size_t>(newSize));
    if (grown == nullptr) return nullptr;  // the list keeps its old block
    g_plstSensor = static_cast<SENSOR*>(grown);
    g_nBufSize = newSize;
  }
  auto* block = static_cast<uint8_t*>(std::calloc(1, kSensorBlockSize));
  if (block == nullptr) return nullptr;
  SENSOR& entry = g_plstSensor[g_nSensors];
  entry = SENSOR{};
  entry.pbData = block;
  entry.bReadingSupported = supported;
  ++g_nSensors;
  return UpdateSensor(header, body, g_nSensors - 1);
}

}  // namespace

SENSOR* AddSensorTable(uint8_t* record) {
  if (record == nullptr) return nullptr;
  auto* header = reinterpret_cast<SDRHEADER*>(record);
  const int supported = header->bRecordType == 0x01 || header->bRecordType == 0x02
                            ? IsSupportedSensorType(record[12])
                            : 0;
  return AddSensorEntry(header, record + kHeaderSize, supported);
}

SENSOR* AddNewSensor(SDRHEADER* header, uint8_t* body) { return AddSensorEntry(header, body, 0); }

SENSOR* UpdateSensor(SDRHEADER* header, uint8_t* body, int index) {
  assert(header != nullptr && body != nullptr && "_pHeader != __null && _pbBody != __null");
  assert(index < g_nSensors && "_nIndex < g_nSensors");
  if (header == nullptr || body == nullptr || index < 0 || index >= g_nSensors) return nullptr;
  SENSOR& entry = g_plstSensor[index];
  entry.wRecordID = header->wRecordID;
  entry.bRecordType = header->bRecordType;
  entry.bSensorType = body[7];
  std::memcpy(entry.pbData, header, kHeaderSize);
  std::memset(entry.pbData + kHeaderSize, 0, kSensorBodyMax);
  std::memcpy(entry.pbData + kHeaderSize, body, std::min<size_t>(header->bLength, kSensorBodyMax));
  return UpdateSensorReading(index);
}

SENSOR* UpdateSensor_1(int index, uint8_t* record) {
  if (record == nullptr) return nullptr;
  return UpdateSensor(reinterpret_cast<SDRHEADER*>(record), record + kHeaderSize, index);
}

SENSOR* UpdateSensorReading(int index) {
  assert(index < g_nSensors && "_nIndex < g_nSensors");
  if (index < 0 || index >= g_nSensors) return nullptr;
  SENSOR& entry = g_plstSensor[index];
  if (entry.bReadingSupported != 0) GetSensorReading(&entry);
  return &entry;
}

SENSOR* GetSensorFromTable(uint16_t recordId, int* index) {
  for (int i = 0; i < g_nSensors; ++i) {
    if (g_plstSensor[i].wRecordID == recordId) {
      if (index != nullptr) *index = i;
      return &g_plstSensor[i];
    }
  }
  return nullptr;
}

int IsSupportedSensorType(uint8_t /*sensorType*/) { return 1; }

int GetSensorReading(SENSOR* sensor) {
  if (sensor == nullptr || sensor->pbData == nullptr) return -1;
  uint8_t* body = sensor->pbData + kHeaderSize;
  uint8_t* reading = sensor->pbData + kHeaderSize + kSensorBodyMax;
  std::memset(reading, 0, kSensorReadingBytes);
  const uint8_t request[] = {body[2]};
  const BmcAnswer answer =
      SendToBmc(kNetFnSensor, kGetSensorReading, request, 1000, body[0], body[1] & 0x03);
  if (!answer.Ok()) return -1;
  std::memcpy(reading, answer.data, std::min(answer.length, kSensorReadingBytes));
  return 0;
}

int GetSensorReadingFactors(uint8_t* fullSensorBody, uint8_t raw) {
  if (fullSensorBody == nullptr) return -1;
  const uint8_t request[] = {fullSensorBody[2], raw};
  const BmcAnswer answer = SendToBmc(kNetFnSensor, kGetSensorReadingFactors, request, 1000,
                                     fullSensorBody[0], fullSensorBody[1] & 0x03);
  if (!answer.Ok() || answer.length < 7) return -1;
  std::memcpy(fullSensorBody + 19, answer.data + 1, 6);
  return 0;
}

int SensorReadingConversion(uint8_t* fullSensorBody, uint8_t raw, int (*callback)(float&)) {
  if (fullSensorBody == nullptr) return kReadingUnavailable;
  const uint8_t* b = fullSensorBody;
  const int linearisation = b[18] & 0x7F;
  if (linearisation > 0x6F && GetSensorReadingFactors(fullSensorBody, raw) != 0)
    return kReadingUnavailable;
  const int m = SignExtend(b[19] | (b[20] & 0xC0) << 2, 10);
  const int bOffset = SignExtend(b[21] | (b[22] & 0xC0) << 2, 10);
  const int k1 = SignExtend(b[24] & 0x0F, 4);
  const int k2 = SignExtend(b[24] >> 4, 4);
  const int x = (b[15] >> 6) == 0 ? raw : static_cast<int8_t>(raw);
  double y = (m * static_cast<double>(x) + bOffset * std::pow(10.0, k1)) * std::pow(10.0, k2);
  if (linearisation == 7) {
    if (y == 0) return 0;
    y = 1 / y;
  }
  if (callback != nullptr) {
    float value = static_cast<float>(y);
    return callback(value);
  }
  // An int cannot hold every value the factors allow (a 10-bit M times 10^7).
  if (!std::isfinite(y) || std::fabs(y) >= 2147483647.0) return kReadingUnavailable;
  return static_cast<int>(std::trunc(y));
}

int GetIPMIInfo() {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const BmcAnswer answer = SendToBmc(kNetFnApp, 0x01, {}, 5000);
    if (answer.Ok()) return answer.length > 10 ? 1 : 0;
  }
  return 0;
}

void FreeSensorList() {
  for (int i = 0; i < g_nSensors; ++i) std::free(g_plstSensor[i].pbData);
  std::free(g_plstSensor);
  g_plstSensor = nullptr;
  g_nSensors = 0;
  g_nBufSize = 0;
}
