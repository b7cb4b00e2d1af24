#include "selwatch_fixture.h"

#include "ipmisensor.h"
#include "oemparser.h"
#include "runstate.h"

namespace selwatch_test {
namespace {

void RecordReport(SELRECORDX* record, OEMPETDATA* petData) {
  SelwatchTest::Reports().push_back(
      {record->sel.wRecordID, record->sel.dwTimestamp, petData->szSensorName, true});
}

void RecordShutdown() { ++SelwatchTest::Shutdowns(); }

}  // namespace

std::vector<Reported>& SelwatchTest::Reports() {
  static std::vector<Reported> reports;
  return reports;
}

int& SelwatchTest::Shutdowns() {
  static int count = 0;
  return count;
}

std::vector<uint16_t> SelwatchTest::ReportedIds() {
  std::vector<uint16_t> ids;
  for (const auto& r : Reports()) ids.push_back(r.id);
  return ids;
}

SelwatchTest::SelwatchTest() {
  g_wSELLastRecordID = 0;
  g_dwSELLastRecordTimestamp = 0;
  g_dwSELLastRecordFlag = 0;
  bFirstPolling = true;
  bSELMaxTransferBytes = 0xFF;
  wReservationID = 0;
  bBMCIxMaxTransferBytes = 0xFF;
  g_nNumSensors = 0;
  mainthread_running = true;
  g_modelName[0] = '\0';
  g_ParserLibrary = {nullptr, nullptr};
  mgmt::selwatch::PublishEventSwitches({});
  Reports().clear();
  Shutdowns() = 0;
  mgmt::selwatch::SetPollActions({RecordReport, RecordShutdown});
}

SelwatchTest::~SelwatchTest() {
  mgmt::selwatch::ResetPollActions();
  mgmt::selwatch::SetDaemonClock(nullptr);
  mainthread_running = true;
}

}  // namespace selwatch_test
