// Event interpretation: the PET event block, its severity and specific trap
// number, and the date commands behind its time fields.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "ipmipet.h"
#include "selwatch_fixture.h"

using namespace selwatch_test;
using namespace mgmt::selwatch;

namespace {

class PetTest : public SelwatchTest {
 protected:
  ~PetTest() override { tmbase = 0; }

  /// Replaces /bin/date of the test's root by a script that prints `offset`
  /// for "+%z" and `base` for the base-time command.
  void FakeDate(const std::string& offset, const std::string& base) {
    const std::string bin = device_.Root() + "/bin";
    std::filesystem::create_directories(bin);
    std::ofstream(bin + "/date") << "#!/bin/sh\ncase \"$*\" in\n  *%z*) echo '" << offset
                                 << "' ;;\n  *1998/01/01*%s*) echo '" << base << "' ;;\nesac\n";
    chmod((bin + "/date").c_str(), 0755);
  }

  /// The sensor table with one row: sensor 0x01 of the BMC, named `name`.
  void OneSensor(const char* name) {
    g_nNumSensors = 1;
    g_SDRSensorTable[0] = SDRSENSOR_LITE{0x20, 0x00, 0x01, 0x03, 0x02, {}};
    std::strncpy(g_SDRSensorTable[0].szIDString, name, 15);
  }
};

SELRECORD TemperatureEvent(uint8_t dirType, uint8_t data1) {
  SelEntry e;
  e.id = 7;
  e.timestamp = 883612800 + 1000;
  e.dirType = dirType;
  e.data[0] = data1;
  e.data[1] = 0x5A;
  e.data[2] = 0x55;
  return ToRecord(e, 0xFFFF);
}

}  // namespace

TEST_F(PetTest, BlockCarriesEveryFieldAtItsOffsetBigEndian) {
  OneSensor("CPU1 Temp");
  const uint8_t guid[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  SetUUID(guid);
  FakeDate("-0800", "883612800");
  SELRECORD sel = TemperatureEvent(0x01, 0x59);
  OEMPETDATA pet{};
  SELRECORDX* x = FormSELRecord4PET(&sel, &pet);
  ASSERT_NE(x, nullptr);
  EXPECT_STREQ(pet.szSensorName, "CPU1 Temp");

  PetEvent event = PetEventOf(*x, pet);
  uint8_t block[kPetBlockMax];
  const int length = fill_esm_pdu(
      block, 1000, event.trapSourceType, event.eventSourceType, event.severity, event.sensorDevice,
      event.sensorNumber, event.entity, event.entityInstance, event.eventData, event.manufacturerId,
      event.systemId, static_cast<int>(event.oemField.size()), event.oemField.data());
  const Bytes expected = {
      1,    2,    3,    4,    5,    6,    7,    8,    9,   10,  11,   12, 13, 14, 15, 16,  // GUID
      0x00, 0x00,                                      // sequence
      0x00, 0x00, 0x03, 0xE8,                          // 1000 s after 1998-01-01
      0xFE, 0x20,                                      // -480 minutes
      0x10, 0x20, 0x10,                                // trap source, event source, critical
      0x20, 0x01, 0x03, 0x02,                          // sensor device, number, entity
      0x59, 0x5A, 0x55, 0x00, 0x00, 0x00, 0x00, 0x00,  // event data
      0x19,                                            // language
      0x00, 0x00, 0x7E, 0xD9,                          // manufacturer 32473
      0x00, 0x00,                                      // system ID
      0xCA, 'C',  'P',  'U',  '1',  ' ',  'T',  'e',  'm', 'p', 0x00,  // OEM field: 10 bytes follow
      0xC1};
  EXPECT_EQ(Bytes(block, block + length), expected);
  EXPECT_EQ(SpecificTrapNumber(sel), 0x00010109u);  // 65801
}

TEST_F(PetTest, DeassertionIsInformationWithTheDirectionInTheTrapNumber) {
  SELRECORD sel = TemperatureEvent(0x81, 0x09);
  OEMPETDATA pet{};
  const PetEvent event = PetEventOf(*FormSELRecord4PET(&sel, &pet), pet);
  EXPECT_EQ(event.severity, kPetSeverityInformation);
  EXPECT_EQ(SpecificTrapNumber(sel), 0x00010189u);
}

TEST_F(PetTest, UnknownSensorHasNoEntityAndNoOemField) {
  SELRECORD sel = TemperatureEvent(0x01, 0x59);
  sel.bSensorNumber = 0x77;
  OEMPETDATA pet{};
  const PetEvent event = PetEventOf(*FormSELRecord4PET(&sel, &pet), pet);
  EXPECT_EQ(event.entity, 0);
  EXPECT_EQ(event.entityInstance, 0);
  const Bytes block = EncodePetBlock(event);
  ASSERT_EQ(block.size(), 47u);
  EXPECT_EQ(block.back(), 0xC1);
}

TEST_F(PetTest, OemFieldHeaderCountsTheBytesAfterItAndTheNameEndsWithNul) {
  const Bytes eight = SensorNameField("Fan1 RPM");
  ASSERT_EQ(eight.size(), 10u);
  EXPECT_EQ(eight[0], 0xC9);
  EXPECT_EQ(eight[9], 0x00);

  const std::string seventy(70, 'x');
  PetEvent event;
  event.oemField = SensorNameField(seventy.c_str());
  ASSERT_EQ(event.oemField.size(), 63u);
  EXPECT_EQ(event.oemField[0], 0xFE);
  EXPECT_EQ(event.oemField[61], 'x');
  EXPECT_EQ(event.oemField[62], 0x00);
  EXPECT_EQ(EncodePetBlock(event).size(), 110u);
  EXPECT_TRUE(SensorNameField("").empty());
}

TEST_F(PetTest, EventDataOneGoesIntoTheBlockUnchanged) {
  SELRECORD sel = TemperatureEvent(0x6F, 0xF5);
  sel.bSensorType = 0x07;
  OEMPETDATA pet{};
  const Bytes block = EncodePetBlock(PetEventOf(*FormSELRecord4PET(&sel, &pet), pet));
  EXPECT_EQ(block[31], 0xF5);
  EXPECT_EQ(block[32], 0x5A);
  EXPECT_EQ(block[33], 0x55);
}

TEST_F(PetTest, OemRecordTypesFormNoExtendedRecord) {
  SELRECORD sel = TemperatureEvent(0x01, 0x59);
  sel.bRecordType = 0xC0;
  OEMPETDATA pet{};
  std::strcpy(pet.szSensorName, "stale");
  EXPECT_EQ(FormSELRecord4PET(&sel, &pet), nullptr);
  EXPECT_STREQ(pet.szSensorName, "");
}

TEST_F(PetTest, UtcOffsetCountsHoursAndMinutes) {
  EXPECT_EQ(ParseUtcOffset("+0530\n"), 330);
  EXPECT_EQ(ParseUtcOffset("-0800"), -480);
  EXPECT_EQ(ParseUtcOffset("+0000"), 0);
  EXPECT_EQ(ParseUtcOffset("-0930"), -570);
  EXPECT_EQ(ParseUtcOffset("0800"), std::nullopt);
  EXPECT_EQ(ParseUtcOffset("+08"), std::nullopt);
  EXPECT_EQ(ParseUtcOffset("+0875"), std::nullopt);

  FakeDate("+0530", "883612800");
  int minutes = -1;
  EXPECT_EQ(getTimeZone(&minutes), 0);
  EXPECT_EQ(minutes, 330);
  long base = 0;
  EXPECT_EQ(getBaseTime(&base, 1), 0);
  EXPECT_EQ(base, 883612800);
  // The temporary files went again.
  EXPECT_TRUE(std::filesystem::is_empty(WorkFile("")));
}

TEST_F(PetTest, TimeStampCountsFromTheBaseTimeOrThePetEpochWithoutOne) {
  SELRECORD sel = TemperatureEvent(0x01, 0x59);
  OEMPETDATA pet{};
  SELRECORDX* x = FormSELRecord4PET(&sel, &pet);
  auto stamp = [](const Bytes& b) {
    return uint32_t(b[18]) << 24 | b[19] << 16 | b[20] << 8 | b[21];
  };

  FakeDate("+0000", "");  // the date command prints nothing usable
  EXPECT_EQ(stamp(EventBlockOf(*x, pet)), 1000u);
  EXPECT_EQ(tmbase, 0u);  // asked again with the next event

  FakeDate("+0000", "883612700");
  EXPECT_EQ(stamp(EventBlockOf(*x, pet)), 1100u);
  EXPECT_EQ(tmbase, 883612700u);

  x->sel.dwTimestamp = 5000;  // counted from the BMC's start: unspecified
  EXPECT_EQ(stamp(EventBlockOf(*x, pet)), 0u);
}

TEST(PetSeverity, RuleListExamplesAndFallThrough) {
  struct Case {
    uint8_t sensorType, eventType, offset, severity;
  } cases[] = {
      {0x01, 0x01, 0x07, 0x08}, {0x01, 0x01, 0x09, 0x10}, {0x01, 0x01, 0x04, 0x10},
      {0x01, 0x01, 0x00, 0x08}, {0x02, 0x01, 0x02, 0x10}, {0x07, 0x6F, 0x07, 0x10},
      {0x07, 0x6F, 0x03, 0x02},  // falls through to rule 11
      {0x0C, 0x6F, 0x00, 0x08}, {0x0C, 0x03, 0x01, 0x10}, {0x12, 0x6F, 0x00, 0x02},
      {0x06, 0x6F, 0x02, 0x02}, {0x0F, 0x00, 0x0F, 0x00}, {0x0E, 0x00, 0x0F, 0x08},
      {0x0D, 0x00, 0x0F, 0x10}, {0x04, 0x01, 0x00, 0x08}, {0x04, 0x03, 0x01, 0x10},
      {0x08, 0x6F, 0x01, 0x10}, {0x08, 0x6F, 0x03, 0x02}, {0x05, 0x6F, 0x00, 0x02},
      {0x05, 0x6F, 0x05, 0x10}, {0x10, 0x6F, 0x02, 0x00}, {0x23, 0x6F, 0x00, 0x10},
      {0x29, 0x6F, 0x00, 0x00},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetPETServerity(c.sensorType, c.eventType, c.offset), c.severity)
        << std::hex << "sensor type " << int(c.sensorType) << " event type " << int(c.eventType)
        << " offset " << int(c.offset);
  }
}
