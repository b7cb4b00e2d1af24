// The SEL commands against a scripted BMC: chunked reads, reservations and the
// answers that must not hold the event thread or be read past their end.
#include <gtest/gtest.h>

#include <cstring>

#include "selwatch_fixture.h"

using namespace selwatch_test;
using mgmt::test::Reply;

namespace {

class SelReadTest : public SelwatchTest {
 protected:
  /// The bytes-to-read field of every Get SEL Entry request so far.
  std::vector<int> Asks() {
    std::vector<int> asks;
    for (const auto& r : device_.Bmc().Requests()) {
      if (r.request.netFn == 0x0A && r.request.cmd == 0x43 && r.request.data.size() == 6)
        asks.push_back(r.request.data[5]);
    }
    return asks;
  }
  int Count(uint8_t cmd) {
    int n = 0;
    for (const auto& r : device_.Bmc().Requests())
      n += r.request.netFn == 0x0A && r.request.cmd == cmd;
    return n;
  }
};

SelEntry Sample(uint32_t timestamp) {
  SelEntry e;
  e.timestamp = timestamp;
  e.sensorType = 0x04;
  e.sensorNumber = 0x11;
  e.dirType = 0x01;
  e.data[0] = 0x52;
  e.data[1] = 0x05;
  e.data[2] = 0x0A;
  return e;
}

}  // namespace

TEST_F(SelReadTest, WholeRecordReadGivesAllEighteenBytes) {
  const uint16_t first = sel_.Add(Sample(0x3F2B1C00));
  sel_.Add(Sample(0x3F2B1C01));
  SELRECORD record{};
  ASSERT_EQ(GetSELEntry(&record, 0), 0);
  const SELRECORD expected = ToRecord(sel_.Entries()[0], 2);
  EXPECT_EQ(std::memcmp(&record, &expected, sizeof(record)), 0);
  EXPECT_EQ(record.wRecordID, first);
  EXPECT_EQ(Asks(), (std::vector<int>{0xFF}));
}

TEST_F(SelReadTest, CannotReturnBytesFallsBackToSmallerChunksForGood) {
  sel_.Add(Sample(100));
  sel_.Add(Sample(101));
  sel_.maxTransfer = 8;
  SELRECORD record{};
  ASSERT_EQ(GetSELEntry(&record, 0), 0);
  const SELRECORD expected = ToRecord(sel_.Entries()[0], 2);
  EXPECT_EQ(std::memcmp(&record, &expected, sizeof(record)), 0);
  EXPECT_EQ(bSELMaxTransferBytes, 8);
  // 0xFF refused; 16 first needs a reservation, then is refused too; then two
  // chunks of 8.
  EXPECT_EQ(Asks(), (std::vector<int>{0xFF, 16, 16, 8, 8}));
  device_.Bmc().ClearRequests();
  ASSERT_EQ(GetSELEntry(&record, 2), 0);
  EXPECT_EQ(uint32_t{record.dwTimestamp}, 101u);  // a copy: the record is packed
  EXPECT_EQ(Asks(), (std::vector<int>{8, 8}));

  sel_.maxTransfer = 4;  // below the floor of 8: the read fails
  EXPECT_EQ(GetSELEntry(&record, 2), -1);
}

TEST_F(SelReadTest, ReservationCancelledIsRetriedABoundedNumberOfTimes) {
  sel_.Add(Sample(100));
  sel_.cancelReservations = 3;
  SELRECORD record{};
  EXPECT_EQ(GetSELEntry(&record, 0), 0);
  EXPECT_EQ(Count(0x42), 3);

  device_.Bmc().ClearRequests();
  sel_.cancelReservations = 1000;
  EXPECT_EQ(GetSELEntry(&record, 0), -1);
  EXPECT_EQ(Count(0x43), 4);

  // No reservation granted: no request is sent with a reservation of 0xFFFF.
  device_.Bmc().ClearRequests();
  sel_.cancelReservations = 1;
  device_.Bmc().Always(0x0A, 0x42, Reply::Bytes({0xC1}));
  EXPECT_EQ(GetSELEntry(&record, 0), -1);
  EXPECT_EQ(Count(0x42), 3);
  EXPECT_EQ(Count(0x43), 1);
  EXPECT_EQ(ClearSEL(), -1);
  EXPECT_EQ(Count(0x47), 0);
}

TEST_F(SelReadTest, ChunksWithoutBytesOrShortAnswersFailTheRead) {
  sel_.Add(Sample(100));
  sel_.maxTransfer = 8;
  sel_.chunkBytes = 0;
  SELRECORD record{};
  EXPECT_EQ(GetSELEntry(&record, 0), -1);
  sel_.chunkBytes = 3;  // fewer than asked: a gap in the record
  EXPECT_EQ(GetSELEntry(&record, 0), -1);

  device_.Bmc().Expect(0x0A, 0x43, Reply::Bytes({0x00, 0xFF, 0xFF, 0x01, 0x00, 0x02}));
  sel_.maxTransfer = 0xFF;
  bSELMaxTransferBytes = 0xFF;
  EXPECT_EQ(GetSELEntry(&record, 0), -1);

  SELINFO info{};
  device_.Bmc().Expect(0x0A, 0x40, Reply::Bytes({0x00, 0x51, 0x01, 0x00}));
  EXPECT_EQ(GetSELInfo(&info), -1);
  EXPECT_EQ(GetSELInfo(&info), 0);
  EXPECT_EQ(uint16_t{info.wFreeSpace}, 16000);  // a copy: the record is packed
}

TEST_F(SelReadTest, ClearSelReservesAndRetriesACancelledReservationBoundedly) {
  sel_.Add(Sample(100));
  EXPECT_EQ(ClearSEL(), 0);
  EXPECT_EQ(sel_.Clears(), 1);
  device_.Bmc().ClearRequests();
  device_.Bmc().Always(0x0A, 0x47, Reply::Bytes({0xC5}));
  EXPECT_EQ(ClearSEL(), -1);
  EXPECT_EQ(Count(0x47), 4);
}
