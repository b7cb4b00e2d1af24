// SEL record → PET event block and specific trap number.
#include "ipmipet.h"

#include <syslog.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "pettrap.h"

uint8_t siUUID[16] = {};
uint32_t tmbase = 0;

namespace mgmt::selwatch {
namespace {

/// One condition of a severity rule: an event/reading type, the offsets it
/// covers (bit n = offset n) and the severity it gives.
struct SeverityCase {
  uint8_t eventType;
  uint16_t offsets;
  uint8_t severity;
};

/// A rule, entered for its sensor type. A sensor type enters the ordered list at
/// its own rule and tries that rule and every later one.
struct SeverityRule {
  uint8_t sensorType;
  std::array<SeverityCase, 3> cases;
  size_t count;
};

constexpr uint16_t Offsets(std::initializer_list<int> offsets) {
  uint16_t mask = 0;
  for (const int o : offsets) mask = static_cast<uint16_t>(mask | 1u << o);
  return mask;
}

constexpr SeverityCase kThresholdCases[] = {
    {0x01, Offsets({0x00, 0x07}), kPetSeverityNonCritical},
    {0x01, Offsets({0x02, 0x09}), kPetSeverityCritical},
};

constexpr SeverityRule kSeverityRules[] = {
    {0x0F, {{{0x00, Offsets({0x0F}), kPetSeverityUnspecified}}}, 1},
    {0x06, {{{0x6F, Offsets({0x01, 0x02}), kPetSeverityInformation}}}, 1},
    {0x12, {{{0x6F, Offsets({0x00}), kPetSeverityInformation}}}, 1},
    {0x0E, {{{0x00, Offsets({0x0F}), kPetSeverityNonCritical}}}, 1},
    {0x0C,
     {{{0x03, Offsets({0x01}), kPetSeverityCritical},
       {0x6F, Offsets({0x00}), kPetSeverityNonCritical},
       {0x6F, Offsets({0x01}), kPetSeverityCritical}}},
     3},
    {0x0D, {{{0x00, Offsets({0x0F}), kPetSeverityCritical}}}, 1},
    {0x07, {{{0x6F, Offsets({0x00, 0x01, 0x08}), kPetSeverityCritical}}}, 1},
    {0x01, {{kThresholdCases[0], kThresholdCases[1]}}, 2},
    {0x02, {{kThresholdCases[0], kThresholdCases[1]}}, 2},
    {0x04,
     {{{0x01, Offsets({0x00}), kPetSeverityNonCritical},
       {0x01, Offsets({0x01, 0x02}), kPetSeverityCritical},
       {0x03, Offsets({0x01}), kPetSeverityCritical}}},
     3},
    {0x08,
     {{{0x6F, Offsets({0x01}), kPetSeverityCritical},
       {0x6F, Offsets({0x03}), kPetSeverityInformation}}},
     2},
    {0x05, {{{0x6F, Offsets({0x00, 0x02}), kPetSeverityInformation}}}, 1},
};

void PutBe16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

void PutBe32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

/// The extended record FormSELRecord4PET hands out, reused for every record.
SELRECORDX g_extended;

/// Base time for an event: the date command's answer, or the PET epoch when it
/// gives none (an unset base would send raw BMC seconds as PET seconds).
uint32_t BaseTime() {
  if (tmbase == 0) {
    long base = 0;
    if (getBaseTime(&base, 1) == 0 && base > 0 && base <= 0xFFFFFFFFL) {
      tmbase = static_cast<uint32_t>(base);
    } else {
      syslog(LOG_ERR, "ERROR,getBaseTime gave no base time; using %u", kPetEpoch);
    }
  }
  return tmbase != 0 ? tmbase : kPetEpoch;
}

}  // namespace

std::vector<uint8_t> EncodePetBlock(const PetEvent& event) {
  std::vector<uint8_t> out;
  out.reserve(kPetBlockMax);
  out.insert(out.end(), std::begin(event.guid), std::end(event.guid));
  PutBe16(out, event.sequence);
  PutBe32(out, event.timestamp);
  PutBe16(out, static_cast<uint16_t>(event.utcOffsetMinutes));
  out.push_back(event.trapSourceType);
  out.push_back(event.eventSourceType);
  out.push_back(event.severity);
  out.push_back(event.sensorDevice);
  out.push_back(event.sensorNumber);
  out.push_back(event.entity);
  out.push_back(event.entityInstance);
  out.insert(out.end(), std::begin(event.eventData), std::end(event.eventData));
  out.push_back(event.languageCode);
  PutBe32(out, event.manufacturerId);
  PutBe16(out, event.systemId);
  const size_t oem = std::min(event.oemField.size(), kPetOemMax);
  out.insert(out.end(), event.oemField.begin(), event.oemField.begin() + static_cast<long>(oem));
  out.push_back(kPetEndMarker);
  return out;
}

std::vector<uint8_t> SensorNameField(const char* name) {
  if (name == nullptr || name[0] == '\0') return {};
  const size_t length = strnlen(name, kOemNameMax);
  const size_t following = length + 1;  // the name and its NUL
  std::vector<uint8_t> field(1 + following, 0);
  field[0] = static_cast<uint8_t>(0xC0 | following);
  std::memcpy(field.data() + 1, name, length);
  return field;
}

uint32_t SpecificTrapNumber(const SELRECORD& record) {
  uint8_t offset = record.bEventData[0] & 0x0F;
  if ((record.bEventDirType & 0x80) != 0) offset |= 0x80;
  return static_cast<uint32_t>(record.bSensorType) << 16 |
         static_cast<uint32_t>(record.bEventDirType & 0x7F) << 8 | offset;
}

PetEvent PetEventOf(const SELRECORDX& record, const OEMPETDATA& petData) {
  const SELRECORD& sel = record.sel;
  PetEvent event;
  const bool deassertion = (sel.bEventDirType & 0x80) != 0;
  event.severity =
      deassertion ? uint8_t{kPetSeverityInformation}
                  : GetPETServerity(sel.bSensorType, sel.bEventDirType, sel.bEventData[0] & 0x0F);
  event.trapSourceType = 0x10;
  event.eventSourceType =
      (sel.bGeneratorID[0] & 0x01) == 0 ? 0x20 : static_cast<uint8_t>(sel.bGeneratorID[0] >> 2);
  event.sensorDevice = sel.bGeneratorID[0];
  event.sensorNumber = sel.bSensorNumber;
  event.entity = record.bEntityID;
  event.entityInstance = record.bEntityInstance;
  // Event data 1 as logged: a receiver takes the event offset and the meaning
  // of data 2 and 3 from it.
  event.eventData[0] = sel.bEventData[0];
  event.eventData[1] = sel.bEventData[1];
  event.eventData[2] = sel.bEventData[2];
  event.manufacturerId = kManufacturerId;
  event.systemId = 0;
  char name[kOemSensorNameSize];
  std::memcpy(name, petData.szSensorName, sizeof(name));
  name[sizeof(name) - 1] = '\0';  // a plug-in may have left it unterminated
  event.oemField = SensorNameField(name);
  return event;
}

std::vector<uint8_t> EventBlockOf(const SELRECORDX& record, const OEMPETDATA& petData) {
  const uint32_t base = BaseTime();
  PetEvent event = PetEventOf(record, petData);
  // A time stamp before the base (e.g. counted from the BMC's start) is sent
  // as 0, "unspecified".
  event.timestamp = record.sel.dwTimestamp > base ? record.sel.dwTimestamp - base : 0;
  uint8_t block[kPetBlockMax];
  const int length =
      fill_esm_pdu(block, event.timestamp, event.trapSourceType, event.eventSourceType,
                   event.severity, event.sensorDevice, event.sensorNumber, event.entity,
                   event.entityInstance, event.eventData, event.manufacturerId, event.systemId,
                   static_cast<int>(event.oemField.size()), event.oemField.data());
  return {block, block + length};
}

std::optional<int> ParseUtcOffset(const char* text) {
  if (text == nullptr || (text[0] != '+' && text[0] != '-')) return std::nullopt;
  for (int i = 1; i <= 4; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  const int hours = (text[1] - '0') * 10 + (text[2] - '0');
  const int minutes = (text[3] - '0') * 10 + (text[4] - '0');
  if (minutes > 59) return std::nullopt;
  const int sign = text[0] == '-' ? -1 : 1;
  return sign * (hours * 60 + minutes);
}

}  // namespace mgmt::selwatch

using namespace mgmt::selwatch;

uint8_t GetPETServerity(uint8_t sensorType, uint8_t eventType, uint8_t offset) {
  if (sensorType == 0x23) return kPetSeverityCritical;
  const auto* rule =
      std::find_if(std::begin(kSeverityRules), std::end(kSeverityRules),
                   [&](const SeverityRule& r) { return r.sensorType == sensorType; });
  if (rule == std::end(kSeverityRules)) return kPetSeverityUnspecified;
  const uint8_t type = eventType & 0x7F;
  for (; rule != std::end(kSeverityRules); ++rule) {
    for (size_t i = 0; i < rule->count; ++i) {
      const SeverityCase& c = rule->cases[i];
      if (c.eventType == type && offset < 16 && (c.offsets >> offset & 1u) != 0) return c.severity;
    }
  }
  return kPetSeverityCritical;
}

SELRECORDX* FormSELRecord4PET(SELRECORD* record, OEMPETDATA* petData) {
  std::memset(&g_extended, 0, sizeof(g_extended));
  if (petData != nullptr) {
    petData->wOEMData = 0;
    petData->szSensorName[0] = '\0';
  }
  if (record == nullptr || record->bRecordType > 0xBF) return nullptr;
  g_extended.sel = *record;
  const int index = SDRSensorIndex(record->bGeneratorID, record->bSensorNumber);
  if (index >= 0) {
    SDRSENSOR_LITE& row = g_SDRSensorTable[index];
    g_extended.bEntityID = row.bEntityID;
    g_extended.bEntityInstance = row.bEntityInstance;
    if (petData != nullptr) {
      const size_t length = strnlen(row.szIDString, sizeof(row.szIDString) - 1);
      std::memcpy(petData->szSensorName, row.szIDString, length);
      petData->szSensorName[length] = '\0';
    }
    FormEventDescription(&row, &g_extended, g_extended.szDescription);
  }
  return &g_extended;
}

void FormEventDescription(SDRSENSOR_LITE* /*sensor*/, SELRECORDX* /*record*/, char* text) {
  if (text != nullptr) text[0] = '\0';
}

void HandleSELEntry(SELRECORDX* record, OEMPETDATA* petData) {
  if (record == nullptr) return;
  OEMPETDATA empty{};
  std::vector<uint8_t> block = EventBlockOf(*record, petData != nullptr ? *petData : empty);
  handleEvent(block.data(), static_cast<int>(block.size()), SpecificTrapNumber(record->sel));
}

int fill_esm_pdu(uint8_t* out, uint32_t timestamp, uint8_t trapSourceType, uint8_t eventSourceType,
                 uint8_t severity, uint8_t sensorDevice, uint8_t sensorNumber, uint8_t entity,
                 uint8_t entityInstance, const uint8_t* eventData, uint32_t manufacturerId,
                 uint16_t systemId, int oemLength, const uint8_t* oem) {
  if (out == nullptr) return 0;
  PetEvent event;
  getguid(event.guid);
  event.timestamp = timestamp;
  int offset = 0;
  getTimeZone(&offset);
  event.utcOffsetMinutes = static_cast<int16_t>(offset);
  event.trapSourceType = trapSourceType;
  event.eventSourceType = eventSourceType;
  event.severity = severity;
  event.sensorDevice = sensorDevice;
  event.sensorNumber = sensorNumber;
  event.entity = entity;
  event.entityInstance = entityInstance;
  if (eventData != nullptr) std::memcpy(event.eventData, eventData, sizeof(event.eventData));
  event.manufacturerId = manufacturerId;
  event.systemId = systemId;
  if (oem != nullptr && oemLength >= 1 && oemLength <= static_cast<int>(kPetOemMax))
    event.oemField.assign(oem, oem + oemLength);
  const std::vector<uint8_t> block = EncodePetBlock(event);
  std::memcpy(out, block.data(), block.size());
  return static_cast<int>(block.size());
}

int sendeventmessage(uint32_t timestamp, uint8_t trapSourceType, uint8_t eventSourceType,
                     uint8_t severity, uint8_t sensorDevice, uint8_t sensorNumber, uint8_t entity,
                     uint8_t entityInstance, const uint8_t* eventData, uint32_t manufacturerId,
                     uint16_t systemId, int dataLength, const uint8_t* data, uint32_t trapNumber) {
  std::vector<uint8_t> oem;
  if (data != nullptr && dataLength >= 1 && dataLength <= static_cast<int>(kPetOemMax) - 1) {
    oem.push_back(static_cast<uint8_t>(0xC0 | dataLength));
    oem.insert(oem.end(), data, data + dataLength);
  }
  uint8_t block[kPetBlockMax];
  const int length =
      fill_esm_pdu(block, timestamp, trapSourceType, eventSourceType, severity, sensorDevice,
                   sensorNumber, entity, entityInstance, eventData, manufacturerId, systemId,
                   static_cast<int>(oem.size()), oem.empty() ? nullptr : oem.data());
  if (length > 46 && length < 112) handleEvent(block, length, trapNumber);
  return 0;
}

void getguid(uint8_t* dest) {
  if (dest != nullptr) std::memcpy(dest, siUUID, sizeof(siUUID));
}

void SetUUID(const uint8_t* uuid) {
  if (uuid != nullptr) std::memcpy(siUUID, uuid, sizeof(siUUID));
}
