// The SDR repository reader, the sensor table and the sensor list against a
// scripted BMC, and the reading conversion.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ipmisensor.h"
#include "selwatch_fixture.h"

using namespace selwatch_test;
using mgmt::test::Reply;

namespace {

/// A sensor record of `type` (0x01 full, 0x02 compact, 0x03 event-only) with the
/// sensor key and the ID string at the record type's own offset.
Bytes SensorSdr(uint16_t id, uint8_t type, uint8_t owner, uint8_t lun, uint8_t number,
                uint8_t entity, uint8_t instance, const std::string& name, int typeLength = -1) {
  const size_t at = type == 0x01 ? 47 : type == 0x02 ? 31 : 16;
  Bytes r(at + 1 + name.size(), 0);
  r[0] = static_cast<uint8_t>(id);
  r[1] = static_cast<uint8_t>(id >> 8);
  r[2] = 0x51;
  r[3] = type;
  r[4] = static_cast<uint8_t>(r.size() - 5);
  r[5] = owner;
  r[6] = lun;
  r[7] = number;
  r[8] = entity;
  r[9] = instance;
  r[12] = 0x01;  // sensor type: temperature
  r[at] = static_cast<uint8_t>(typeLength >= 0 ? typeLength : 0xC0 | name.size());
  std::memcpy(r.data() + at + 1, name.data(), name.size());
  return r;
}

std::string RowName(int row) { return g_SDRSensorTable[row].szIDString; }

class SdrTest : public SelwatchTest {
 protected:
  ~SdrTest() override { FreeSensorList(); }
  int Count(uint8_t netFn, uint8_t cmd) {
    int n = 0;
    for (const auto& r : device_.Bmc().Requests())
      n += r.request.netFn == netFn && r.request.cmd == cmd;
    return n;
  }
};

}  // namespace

TEST_F(SdrTest, SensorTableHoldsSensorRecordsOnlyEachWithItsOwnIdString) {
  sel_.sdrs.push_back(SensorSdr(1, 0x01, 0x20, 0x00, 0x01, 0x03, 0x01, "CPU1 Temp"));
  sel_.sdrs.push_back(SensorSdr(2, 0x02, 0x20, 0x00, 0x18, 0x1D, 0x01, "Fan Redundancy"));
  sel_.sdrs.push_back(SensorSdr(3, 0x03, 0x20, 0x10, 0x40, 0x0A, 0x02, "PS1 Status"));
  // An FRU device locator whose bytes at the compact record's string offset
  // look like an ID string: not a sensor, so no row.
  Bytes fru = SensorSdr(4, 0x02, 0x20, 0x00, 0x01, 0x0A, 0x01, "Bogus");
  fru[3] = 0x11;
  sel_.sdrs.push_back(fru);
  EXPECT_EQ(GetSDRSensors(), 0);
  ASSERT_EQ(g_nNumSensors, 3);
  EXPECT_EQ(RowName(0), "CPU1 Temp");
  EXPECT_EQ(RowName(1), "Fan Redundancy");
  EXPECT_EQ(RowName(2), "PS1 Status");
  EXPECT_EQ(g_SDRSensorTable[2].bEntityID, 0x0A);
  EXPECT_EQ(g_SDRSensorTable[2].bEntityInstance, 0x02);

  const uint8_t generator[] = {0x20, 0x10};
  EXPECT_EQ(SDRSensorIndex(generator, 0x40), 2);
  const uint8_t bmcLun0[] = {0x20, 0x00};
  EXPECT_EQ(SDRSensorIndex(bmcLun0, 0x40), -1);
  EXPECT_EQ(SDRSensorIndex(bmcLun0, 0x01), 0);
}

TEST_F(SdrTest, IdStringsAreCutToFifteenAndOnlyEightBitAscii) {
  sel_.sdrs.push_back(SensorSdr(1, 0x02, 0x20, 0, 1, 1, 1, "Vcore"));
  sel_.sdrs.push_back(SensorSdr(2, 0x02, 0x20, 0, 2, 1, 1, "Vcore", 0x45));  // not 8-bit ASCII
  sel_.sdrs.push_back(SensorSdr(3, 0x01, 0x20, 0, 3, 1, 1, "Baseboard Temperature 2"));
  // The type/length byte claims more characters than the record holds.
  Bytes shortString = SensorSdr(4, 0x02, 0x20, 0, 4, 1, 1, "PS1");
  shortString[31] = 0xCF;
  sel_.sdrs.push_back(shortString);
  // Two records with the same key: the first row wins.
  sel_.sdrs.push_back(SensorSdr(5, 0x02, 0x20, 0, 1, 7, 7, "Second"));
  ASSERT_EQ(GetSDRSensors(), 0);
  ASSERT_EQ(g_nNumSensors, 5);
  EXPECT_EQ(RowName(0), "Vcore");
  EXPECT_EQ(RowName(1), "");
  EXPECT_EQ(RowName(2), "Baseboard Tempe");
  EXPECT_EQ(RowName(3), "PS1");
  const uint8_t generator[] = {0x20, 0x00};
  EXPECT_EQ(SDRSensorIndex(generator, 1), 0);

  char text[16];
  const uint8_t bytes[] = {'1', '2', 'V'};
  SDRIDStringXcpy(text, bytes, 0xC3);
  EXPECT_STREQ(text, "12V");
  SDRIDStringXcpy(text, bytes, 0x83);
  EXPECT_STREQ(text, "");
}

TEST_F(SdrTest, LargeRecordsAreReadInChunksAfterCannotReturnBytes) {
  sel_.sdrs.push_back(SensorSdr(1, 0x01, 0x20, 0, 1, 3, 1, "CPU1 Temp"));
  sel_.sdrs.push_back(SensorSdr(2, 0x01, 0x20, 0, 2, 7, 1, "Baseboard Temp"));
  sel_.maxTransfer = 16;
  ASSERT_EQ(GetSDRSensors(), 0);
  ASSERT_EQ(g_nNumSensors, 2);
  EXPECT_EQ(RowName(1), "Baseboard Temp");
  EXPECT_EQ(bBMCIxMaxTransferBytes, 16);
  EXPECT_GE(Count(0x0A, 0x22), 1);  // partial reads hold a reservation

  // Below 16 bytes this reader gives up.
  g_nNumSensors = 0;
  bBMCIxMaxTransferBytes = 0xFF;
  sel_.maxTransfer = 8;
  EXPECT_EQ(GetSDRSensors(), -1);
  EXPECT_EQ(g_nNumSensors, 0);
}

TEST_F(SdrTest, AChainThatLoopsOrAFailedReadEndsTheScan) {
  sel_.sdrs.push_back(SensorSdr(1, 0x02, 0x20, 0, 1, 1, 1, "A"));
  sel_.sdrs.push_back(SensorSdr(2, 0x02, 0x20, 0, 2, 1, 1, "B"));
  sel_.sdrLastNext = 1;  // record 2 leads back to record 1
  EXPECT_EQ(GetSDRSensors(), -1);
  EXPECT_EQ(g_nNumSensors, 2);

  g_nNumSensors = 0;
  sel_.sdrs.clear();
  EXPECT_EQ(GetSDRSensors(), -1);  // empty repository
  EXPECT_EQ(g_nNumSensors, 0);
}

TEST_F(SdrTest, ARecordLongerThanTheBufferIsCutAndChunksWithoutBytesFail) {
  Bytes big = SensorSdr(1, 0x01, 0x20, 0, 1, 3, 1, "Long");
  big.resize(200, 0x55);
  big[4] = static_cast<uint8_t>(big.size() - 5);
  sel_.sdrs.push_back(big);
  sel_.maxTransfer = 32;
  uint16_t next = 0;
  uint8_t* record = nullptr;
  ASSERT_EQ(GetSDR(0, &next, &record), 0);
  EXPECT_EQ(next, 0xFFFF);
  EXPECT_EQ(Bytes(record, record + kSdrBufferSize), Bytes(big.begin(), big.begin() + 128));

  device_.Bmc().Expect(0x0A, 0x23, Reply::Bytes({0x00, 0xFF, 0xFF, 0x01, 0x00, 0x51, 0x01, 0x40}));
  device_.Bmc().Expect(0x0A, 0x23, Reply::Bytes({0x00, 0xFF, 0xFF}));
  EXPECT_EQ(GetSDR(0, &next, &record), -1);
}

TEST_F(SdrTest, SensorListKeepsRecordsWithTheirReadings) {
  device_.Bmc().Always(0x04, 0x2D, Reply::Bytes({0x00, 0x2A, 0xC0, 0x00, 0x00, 0x00, 0x00}));
  for (uint8_t i = 1; i <= 10; ++i) {
    Bytes sdr = SensorSdr(i, 0x01, 0x20, 0x01, i, 3, 1, "S");
    ASSERT_NE(AddSensorTable(sdr.data()), nullptr);
  }
  EXPECT_EQ(g_nSensors, 10);
  EXPECT_EQ(g_nBufSize, 16);
  int index = -1;
  SENSOR* sensor = GetSensorFromTable(7, &index);
  ASSERT_NE(sensor, nullptr);
  EXPECT_EQ(index, 6);
  EXPECT_EQ(sensor->bSensorType, 0x01);
  EXPECT_EQ(sensor->pbData[5 + kSensorBodyMax], 0x2A);  // the reading
  const auto requests = device_.Bmc().Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back().request.rsLun, 0x01);
  EXPECT_EQ(requests.back().request.data, Bytes{10});
  EXPECT_EQ(GetSensorFromTable(99, &index), nullptr);
}

namespace {

/// A full sensor body with the conversion fields set.
Bytes Body(int m, int b, int k1, int k2, uint8_t format, uint8_t linearisation) {
  Bytes body(59, 0);
  body[0] = 0x20;
  body[2] = 0x01;
  body[15] = static_cast<uint8_t>(format << 6);
  body[18] = linearisation;
  body[19] = static_cast<uint8_t>(m);
  body[20] = static_cast<uint8_t>((m >> 8 & 0x03) << 6);
  body[21] = static_cast<uint8_t>(b);
  body[22] = static_cast<uint8_t>((b >> 8 & 0x03) << 6);
  body[24] = static_cast<uint8_t>((k2 & 0x0F) << 4 | (k1 & 0x0F));
  return body;
}

int g_callbackCalls = 0;
int Times1000(float& value) {
  ++g_callbackCalls;
  return static_cast<int>(value * 1000);
}

}  // namespace

TEST_F(SdrTest, ReadingConversionFollowsTheLinearFormula) {
  Bytes body = Body(1, 0, 0, 0, 2, 0);
  EXPECT_EQ(SensorReadingConversion(body.data(), 0x80, nullptr), -128);
  body = Body(1, 0, 0, 0, 0, 0);
  EXPECT_EQ(SensorReadingConversion(body.data(), 0x80, nullptr), 128);
  body = Body(60, 0, 0, 0, 0, 0);
  EXPECT_EQ(SensorReadingConversion(body.data(), 0x5A, nullptr), 5400);
  body = Body(8, 0, 0, -3, 0, 0);  // 8 mV steps
  EXPECT_EQ(SensorReadingConversion(body.data(), 0xA8, Times1000), 1344);
  body = Body(-2, 5, 1, 0, 0, 0);  // negative M, B × 10
  EXPECT_EQ(SensorReadingConversion(body.data(), 10, nullptr), 30);

  g_callbackCalls = 0;
  body = Body(0, 0, 0, 0, 0, 7);  // 1/x of zero
  EXPECT_EQ(SensorReadingConversion(body.data(), 5, Times1000), 0);
  EXPECT_EQ(g_callbackCalls, 0);
  body = Body(1, 0, 0, 0, 0, 7);
  EXPECT_EQ(SensorReadingConversion(body.data(), 4, Times1000), 250);

  // Non-linear: the factors for the reading come from the BMC.
  body = Body(1, 0, 0, 0, 0, 0x70);
  device_.Bmc().Expect(0x04, 0x23, Bytes{0xC1});
  EXPECT_EQ(SensorReadingConversion(body.data(), 9, nullptr), kReadingUnavailable);
  device_.Bmc().Expect(0x04, 0x23, Bytes{0x00, 0x0A, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00});
  EXPECT_EQ(SensorReadingConversion(body.data(), 9, nullptr), 27);
}
