// The SEL poll against a scripted BMC: what is reported, what is remembered,
// and how the poll survives a BMC that misbehaves.
#include <gtest/gtest.h>

#include "oemparser.h"
#include "runstate.h"
#include "selposition.h"
#include "selwatch_fixture.h"

using namespace selwatch_test;
using mgmt::selwatch::PollAndSave;
using mgmt::selwatch::PublishEventSwitches;
using mgmt::selwatch::RunEventCycle;
using mgmt::test::Reply;

namespace {

SelEntry At(uint32_t timestamp) {
  SelEntry e;
  e.timestamp = timestamp;
  return e;
}

/// CPU1 Temp (sensor 1) upper critical going high: a shutdown event.
SelEntry OverTemperature(uint32_t timestamp) {
  SelEntry e = At(timestamp);
  e.dirType = 0x01;
  e.data[0] = 0x59;
  return e;
}

class PollTest : public SelwatchTest {};

}  // namespace

TEST_F(PollTest, ReportsEachRecordOnceAndKeepsThePositionInItsFile) {
  sel_.Add(At(100));
  sel_.Add(At(101));
  sel_.Add(At(102));
  PollAndSave();
  EXPECT_EQ(ReportedIds(), (std::vector<uint16_t>{1, 2, 3}));
  EXPECT_EQ(g_wSELLastRecordID, 3);
  EXPECT_EQ(ReadWorkFile("event.idx"), "00000003 00000066 00000000");

  PollAndSave();  // only the remembered record is read again
  EXPECT_EQ(Reports().size(), 3u);
  sel_.Add(At(103));
  PollAndSave();
  EXPECT_EQ(ReportedIds(), (std::vector<uint16_t>{1, 2, 3, 4}));

  // A restart continues from the file.
  g_wSELLastRecordID = 0;
  g_dwSELLastRecordTimestamp = 0;
  ASSERT_EQ(LoadSELLastRecord(), 0);
  EXPECT_EQ(g_wSELLastRecordID, 4);
  PollAndSave();
  EXPECT_EQ(Reports().size(), 4u);
}

TEST_F(PollTest, EmptySelReportsNothingAndKeepsPositionZero) {
  const auto poll = PollAndSave();
  EXPECT_TRUE(Reports().empty());
  EXPECT_TRUE(poll.reachedEnd);
  EXPECT_EQ(g_wSELLastRecordID, 0);
}

TEST_F(PollTest, RecordsLoggedInTheSameSecondAfterTheRememberedOneAreNew) {
  sel_.Add(At(500));
  PollAndSave();
  sel_.Add(At(500));
  sel_.Add(At(500));
  PollAndSave();
  EXPECT_EQ(ReportedIds(), (std::vector<uint16_t>{1, 2, 3}));
}

TEST_F(PollTest, ClearedOrReusedSelIsReportedFromItsFirstRecordWithoutPoweringOff) {
  PublishEventSwitches({false, true});
  sel_.Add(At(100));
  sel_.Add(At(101));
  sel_.Add(At(102));
  RunEventCycle();
  ASSERT_FALSE(bFirstPolling);

  // The remembered ID 3 is gone.
  sel_.Clear();
  sel_.Add(OverTemperature(200));
  RunEventCycle();
  EXPECT_EQ(ReportedIds(), (std::vector<uint16_t>{1, 2, 3, 1}));
  EXPECT_EQ(Shutdowns(), 0);

  // ID 1 is there again, but with another time stamp: another record.
  sel_.Clear();
  sel_.Add(At(300));
  sel_.Add(At(301));
  RunEventCycle();
  EXPECT_EQ(ReportedIds(), (std::vector<uint16_t>{1, 2, 3, 1, 1, 2}));
  EXPECT_EQ(g_dwSELLastRecordTimestamp, 301u);
}
TEST_F(PollTest, NoAnswerOrABusyBmcKeepsThePosition) {
  sel_.Add(At(100));
  sel_.Add(At(101));
  PollAndSave();
  sel_.Add(At(102));

  device_.Bmc().Expect(0x0A, 0x43, Reply::NoReply());
  auto poll = PollAndSave();
  EXPECT_FALSE(poll.restarted);
  device_.Bmc().Expect(0x0A, 0x43, Reply::Bytes({0xC0}));
  poll = PollAndSave();
  EXPECT_FALSE(poll.restarted);
  EXPECT_EQ(g_wSELLastRecordID, 2);
  EXPECT_EQ(Reports().size(), 2u);

  PollAndSave();
  EXPECT_EQ(ReportedIds(), (std::vector<uint16_t>{1, 2, 3}));
}

TEST_F(PollTest, ANextIdOfZeroOrOfTheRecordItselfEndsThePoll) {
  sel_.Add(At(100));
  sel_.Add(At(101));
  sel_.forcedNext = 0;
  auto poll = PollAndSave();
  EXPECT_EQ(ReportedIds(), (std::vector<uint16_t>{1}));
  EXPECT_FALSE(poll.reachedEnd);

  sel_.forcedNext = 1;  // record 1 names itself
  poll = PollAndSave();
  EXPECT_EQ(poll.reads, 1);
  EXPECT_EQ(Reports().size(), 1u);
}

TEST_F(PollTest, AtMost600ReadsAPollTheRestInTheNext) {
  for (int i = 0; i < 650; ++i) sel_.Add(At(1000 + i));
  auto poll = PollAndSave();
  EXPECT_EQ(poll.reads, 600);
  EXPECT_FALSE(poll.reachedEnd);
  EXPECT_EQ(Reports().size(), 600u);
  poll = PollAndSave();
  EXPECT_TRUE(poll.reachedEnd);
  ASSERT_EQ(Reports().size(), 650u);
  EXPECT_EQ(Reports().back().id, 650);
}

TEST_F(PollTest, StopRequestEndsThePollAfterTheRecordAtHand) {
  for (int i = 0; i < 5; ++i) sel_.Add(At(100 + i));
  mgmt::selwatch::SetPollActions({[](SELRECORDX* record, OEMPETDATA*) {
                                    Reports().push_back({record->sel.wRecordID, 0, "", true});
                                    mainthread_running = false;
                                  },
                                  [] {}});
  PollAndSave();
  EXPECT_EQ(Reports().size(), 1u);
  EXPECT_EQ(ReadWorkFile("event.idx"), "00000001 00000064 00000000");
}

TEST_F(PollTest, CriticalOverTemperaturePowersOffOnlyOnceCaughtUp) {
  PublishEventSwitches({false, true});
  sel_.Add(OverTemperature(100));  // in the SEL before the daemon started
  RunEventCycle();
  EXPECT_EQ(Reports().size(), 1u);
  EXPECT_EQ(Shutdowns(), 0);

  SelEntry deassertion = OverTemperature(101);
  deassertion.dirType = 0x81;
  sel_.Add(deassertion);
  SelEntry goingLow = OverTemperature(102);
  goingLow.data[0] = 0x57;  // upper critical going low
  sel_.Add(goingLow);
  RunEventCycle();
  EXPECT_EQ(Shutdowns(), 0);

  sel_.Add(OverTemperature(103));
  RunEventCycle();
  EXPECT_EQ(Shutdowns(), 1);

  PublishEventSwitches({false, false});
  sel_.Add(OverTemperature(104));
  RunEventCycle();
  EXPECT_EQ(Shutdowns(), 1);
  EXPECT_EQ(Reports().size(), 5u);
}

TEST_F(PollTest, ABacklogBeyondOnePollCannotPowerOff) {
  PublishEventSwitches({false, true});
  for (int i = 0; i < 610; ++i) sel_.Add(OverTemperature(100 + i));
  RunEventCycle();
  RunEventCycle();  // the last ten of the backlog
  EXPECT_EQ(Reports().size(), 610u);
  EXPECT_EQ(Shutdowns(), 0);
}

TEST_F(PollTest, BmcSentAlertsSuppressTrapsExceptOnTheTwoSelfAlertingModels) {
  PublishEventSwitches({true, false});
  sel_.Add(At(100));
  PollAndSave();
  EXPECT_TRUE(Reports().empty());
  EXPECT_EQ(g_wSELLastRecordID, 1);  // still read and remembered

  std::snprintf(g_modelName, sizeof(g_modelName), "Corvid_Ivy");
  sel_.Add(At(101));
  PollAndSave();
  EXPECT_EQ(ReportedIds(), (std::vector<uint16_t>{2}));
}

TEST_F(PollTest, NearlyFullSelIsClearedOnlyOnceEveryRecordWasRead) {
  for (int i = 0; i < 620; ++i) sel_.Add(At(100 + i));
  sel_.SetFreeSpace(79);
  RunEventCycle();
  EXPECT_EQ(sel_.Clears(), 0);  // 20 records still unread
  RunEventCycle();
  EXPECT_EQ(Reports().size(), 620u);
  EXPECT_EQ(sel_.Clears(), 1);
  EXPECT_EQ(g_wSELLastRecordID, 0);

  sel_.SetFreeSpace(16000);
  sel_.Add(At(900));
  RunEventCycle();
  ASSERT_EQ(Reports().size(), 621u);
  EXPECT_EQ(Reports().back().timestamp, 900u);

  sel_.SetFreeSpace(80);  // 80 bytes is not "nearly full"
  RunEventCycle();
  EXPECT_EQ(sel_.Clears(), 1);
}

TEST_F(PollTest, ARecordLoggedWhileTheLastTrapGoesOutIsNotClearedUnread) {
  sel_.Add(At(100));
  sel_.Add(At(101));
  sel_.SetFreeSpace(79);
  static SelModel* model = nullptr;
  model = &sel_;
  mgmt::selwatch::SetPollActions({[](SELRECORDX* record, OEMPETDATA*) {
                                    Reports().push_back({record->sel.wRecordID, 0, "", true});
                                    if (record->sel.wRecordID == 2) model->Add(At(102));
                                  },
                                  [] {}});
  RunEventCycle();
  EXPECT_EQ(sel_.Clears(), 0);
  RunEventCycle();
  EXPECT_EQ(ReportedIds(), (std::vector<uint16_t>{1, 2, 3}));
  EXPECT_EQ(sel_.Clears(), 1);
}

TEST_F(PollTest, OemRecordsReachThePluginWithoutAnExtendedRecordAndGiveNoTrap) {
  static std::vector<bool> calls;
  calls.clear();
  g_ParserLibrary.hLibrary = &calls;  // any non-null handle
  g_ParserLibrary.pfnParse = [](SELRECORDX* record, OEMPETDATA*) {
    calls.push_back(record != nullptr);
  };
  SelEntry oem = At(100);
  oem.type = 0xC1;
  sel_.Add(oem);
  sel_.Add(At(101));
  PollAndSave();
  EXPECT_EQ(calls, (std::vector<bool>{false, true}));
  EXPECT_EQ(ReportedIds(), (std::vector<uint16_t>{2}));
  g_ParserLibrary = {nullptr, nullptr};
}

TEST(TempHighEvent, OnlyCriticalOrWorseAssertionsOfTemperatureSensors) {
  struct Case {
    uint8_t sensorType, dirType, data1;
    int expected;
  } cases[] = {
      {0x01, 0x01, 0x59, 1}, {0x01, 0x01, 0x5B, 1}, {0x01, 0x07, 0x05, 1}, {0x01, 0x07, 0x06, 1},
      {0x01, 0x81, 0x59, 0}, {0x01, 0x01, 0x57, 0}, {0x01, 0x01, 0x07, 0}, {0x02, 0x01, 0x59, 0},
      {0x01, 0x07, 0x04, 0}, {0x01, 0x6F, 0x09, 0},
  };
  for (const auto& c : cases) {
    SELRECORDX record{};
    record.sel.bSensorType = c.sensorType;
    record.sel.bEventDirType = c.dirType;
    record.sel.bEventData[0] = c.data1;
    EXPECT_EQ(IsTempHighEvent(&record), c.expected)
        << std::hex << int(c.sensorType) << " " << int(c.dirType) << " " << int(c.data1);
  }
}
