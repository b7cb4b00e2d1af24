#include "selwatch_fixture.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof(cwd)) != nullptr) savedCwd_ = cwd;
  std::string pattern = (std::filesystem::temp_directory_path() / "selwatch-work.XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) workDir_ = pattern;
  EXPECT_EQ(chdir(workDir_.c_str()), 0);

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
  if (!savedCwd_.empty()) {
    EXPECT_EQ(chdir(savedCwd_.c_str()), 0);
  }
  std::error_code ignored;
  if (!workDir_.empty()) {
    std::filesystem::remove_all(workDir_, ignored);
  }
}

std::string SelwatchTest::ReadWorkFile(const std::string& name) const {
  std::ifstream in(WorkFile(name));
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace selwatch_test
