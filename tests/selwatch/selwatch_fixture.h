// Common set-up of the daemon's unit tests: a scripted BMC at /dev/imb of a
// temporary root, a working directory of the test's own (event.idx and the
// temporary files land there), and the daemon's process-wide state reset.
#ifndef MGMT_TESTS_SELWATCH_FIXTURE_H
#define MGMT_TESTS_SELWATCH_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ipmievt.h"
#include "selmodel.h"
#include "support/fake_imb_device.h"
#include "support/temp_dir.h"

namespace selwatch_test {

/// A record the poll reported, as the trap would carry it.
struct Reported {
  uint16_t id;
  uint32_t timestamp;
  std::string sensorName;
  bool extended;  ///< false: an OEM record (no extended record)
};

class SelwatchTest : public ::testing::Test {
 public:
  /// Records reported since the test began, and over-temperature shutdowns.
  static std::vector<Reported>& Reports();
  static int& Shutdowns();
  static std::vector<uint16_t> ReportedIds();

 protected:
  SelwatchTest();
  ~SelwatchTest() override;

  /// A file in the working directory.
  std::string WorkFile(const std::string& name) const { return (work_ / name).string(); }
  std::string ReadWorkFile(const std::string& name) const { return work_.Read(name); }

  mgmt::test::FakeImbDevice device_;
  SelModel sel_{device_.Bmc()};

 private:
  mgmt::test::TempDir work_{"selwatch-work"};
  mgmt::test::ScopedCwd cwd_{work_.Path()};
};

}  // namespace selwatch_test

#endif
