// The sensor library against a scripted /dev/hmpdrv: how it sizes its buffers,
// what ends a discovery pass whatever the driver answers, and when a handed-out
// instance is read again (time moved by a manual clock, never waited for).
#include <gtest/gtest.h>

#include <Pegasus/Common/CIMObjectPath.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "base/clock.h"
#include "fake_pnp_driver.h"
#include "hmclass.h"
#include "pnpbios.h"
#include "pnpbiossensor.h"
#include "sensor_test_util.h"

namespace mgmt::test {
namespace {

using namespace std::chrono_literals;
using Pegasus::CIMObjectPath;

class DriverTest : public SensorLibraryTest {
 protected:
  void SetUp() override { pnp::UseClock(&clock_); }

  // No firmware tables: no product name, whatever machine the test runs on.
  TempRoot root_{"pnp-driver"};
  base::ManualClock clock_;
  FakePnpDriver driver_;
};

TEST_F(DriverTest, TheFetchBufferHoldsTheLargestStructureAnd2048BytesMore) {
  struct Case {
    std::optional<uint32_t> reported;
    uint32_t bufferLen;
  };
  const Case cases[] = {
      {100, 2048},
      {2047, 2048},
      {2048, 4096},
      {3000, 5048},
      // A failed request reports nothing, whatever the previous pass found.
      {std::nullopt, 2048},
      // Nothing larger than a table can be a structure.
      {0xFFFFFFFF, 0xFFFF + 2048},
  };
  for (const Case& c : cases) {
    driver_.maxStructureSize = c.reported;
    EXPECT_EQ(Pegasus::PnPInitialize(), 1);
    EXPECT_EQ(Pegasus::g_maxBufferLen, c.bufferLen) << c.reported.value_or(0);
  }
  EXPECT_EQ(driver_.Opens(), 1u) << "the driver stays open between passes";
}

TEST_F(DriverTest, AChainThatLoopsEndsAtAHandleFetchedBefore) {
  driver_.Add(0x10, ProbeStructure(26, 0x10, {}));
  driver_.Add(0x20, ProbeStructure(28, 0x20, {}));
  driver_.Add(0x30, ProbeStructure(26, 0x30, {}));
  driver_.Next(0x30, 0x20);
  ASSERT_EQ(Pegasus::PnPInitialize(), 1);
  EXPECT_EQ(driver_.Fetched(), (std::vector<uint16_t>{0x10, 0x20, 0x30}));
  EXPECT_EQ(Pegasus::g_nNumVoltageProbe, 2u);
  EXPECT_EQ(Pegasus::g_nNumTemperatureProbe, 1u);
}

TEST_F(DriverTest, AChainThatComesBackToItsStartEndsThere) {
  driver_.Add(0, ProbeStructure(26, 0, {}));
  driver_.Add(0x40, ProbeStructure(26, 0x40, {}));
  driver_.Next(0x40, 0);
  ASSERT_EQ(Pegasus::PnPInitialize(), 1);
  EXPECT_EQ(driver_.Fetched(), (std::vector<uint16_t>{0, 0x40}));
  EXPECT_EQ(Pegasus::g_nNumVoltageProbe, 2u);
}

TEST_F(DriverTest, AChainThatNeverEndsStopsAtWhatATableCanHold) {
  driver_.Add(0, ProbeStructure(26, 0, {}));
  driver_.EndlessChain();
  ASSERT_EQ(Pegasus::PnPInitialize(), 1);
  EXPECT_EQ(driver_.Fetches(), pnp::kMaxStructuresPerTable);
  EXPECT_EQ(Pegasus::g_nNumVoltageProbe, 1u);
}

TEST_F(DriverTest, RepeatIsAskedAgainButNotForever) {
  driver_.Add(0, ProbeStructure(26, 0, {}));
  driver_.Add(1, ProbeStructure(28, 1, {}));
  driver_.repeats = 5;
  ASSERT_NE(intializeHM(), nullptr);
  EXPECT_EQ(Pegasus::g_nNumVoltageProbe, 1u);
  EXPECT_EQ(Pegasus::g_nNumTemperatureProbe, 1u);
  EXPECT_EQ(InstancesById("HM_VoltageSensor").size(), 1u);

  driver_.repeats = std::numeric_limits<uint32_t>::max();
  const size_t before = driver_.FetchCalls();
  ASSERT_EQ(Pegasus::PnPInitialize(), 1);
  EXPECT_EQ(Pegasus::g_maxBufferLen, 2048u);
  EXPECT_EQ(driver_.FetchCalls() - before, pnp::kMaxRepeats + 1);
  EXPECT_EQ(Pegasus::g_nNumVoltageProbe, 0u);
}

TEST_F(DriverTest, AFailedFetchEndsThePassAndKeepsWhatWasIndexed) {
  driver_.Add(0, ProbeStructure(26, 0, {}));
  driver_.Add(1, ProbeStructure(26, 1, {}));
  driver_.Add(2, ProbeStructure(26, 2, {}));
  driver_.failFetchesAfter = 2;
  ASSERT_NE(intializeHM(), nullptr);
  EXPECT_EQ(Pegasus::g_nNumVoltageProbe, 2u);
}

TEST_F(DriverTest, AStringSetWithoutItsEndInTheBufferIsNotReadPastIt) {
  // A structure larger than the buffer, strings without a NUL: the driver fills
  // every byte of the buffer.
  Bytes huge = ProbeStructure(26, 0, {}, {"x"});
  huge.resize(22);
  huge.resize(8000, 'A');
  driver_.maxStructureSize = 100;
  driver_.Add(0, huge);
  driver_.Add(1, ProbeStructure(26, 1, {.maximum = 5000}));
  ASSERT_NE(intializeHM(), nullptr);
  EXPECT_EQ(Pegasus::g_nNumVoltageProbe, 2u);
  const auto volts = InstancesById("HM_VoltageSensor");
  ASSERT_EQ(volts.size(), 1u);
  EXPECT_EQ(Value(volts.at("1"), "MaxReadable"), "5000");
}

class RereadTest : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    driver_.Add(0, ProbeStructure(26, 0, {.nominal = 3300}));
    driver_.Add(0x1B00, CoolingStructure(0x1B00, {.nominalSpeed = 2000}));
    ASSERT_NE(intializeHM(), nullptr);
    fetchesAfterInit_ = driver_.Fetches();
  }

  // Makes the driver's next readings 3400 mV and 2100 rpm.
  void ChangeReadings() {
    Bytes& volt = driver_.Structure(0);
    volt[20] = 3400 & 0xFF;
    volt[21] = 3400 >> 8;
    Bytes& fan = driver_.Structure(0x1B00);
    fan[12] = 2100 & 0xFF;
    fan[13] = 2100 >> 8;
  }

  std::string Voltage() {
    return Value(InstancesById("HM_VoltageSensor").at("0"), "CurrentReading");
  }
  std::string Speed() { return Value(InstancesById("HM_Tachometer").at("6912"), "CurrentReading"); }

  size_t fetchesAfterInit_ = 0;
};

TEST_F(RereadTest, ReadingsOlderThanFourSecondsAreReadAgainWhenHandedOut) {
  ChangeReadings();
  EXPECT_EQ(Voltage(), "3300");
  clock_.Advance(4s);
  EXPECT_EQ(Voltage(), "3300");
  EXPECT_EQ(Speed(), "2000");
  EXPECT_EQ(driver_.Fetches(), fetchesAfterInit_) << "nothing re-read within 4 seconds";

  clock_.Advance(1s);
  EXPECT_EQ(Voltage(), "3400");
  EXPECT_EQ(Speed(), "2100");
  EXPECT_EQ(driver_.Fetches(), fetchesAfterInit_ + 2);
  EXPECT_EQ(Voltage(), "3400");
  EXPECT_EQ(driver_.Fetches(), fetchesAfterInit_ + 2) << "the new reading is fresh again";

  // One instance by path refreshes that instance alone.
  const CIMObjectPath path =
      (*g_allSensors->getInstanceNames(CIMObjectPath("HM_VoltageSensor")))[0];
  driver_.Structure(0)[20] = 0xE8;  // 3560
  clock_.Advance(5s);
  const Pegasus::CIMInstance* found = g_allSensors->getInstance(path);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(Value(*found, "NominalReading"), "3560");
  EXPECT_EQ(Value(*found, "DeviceID"), "0");
  EXPECT_EQ(found->getPath(), path);
  EXPECT_EQ(driver_.Fetches(), fetchesAfterInit_ + 3);
}

TEST_F(RereadTest, AReadingThatCannotBeTakenAgainKeepsTheLastOne) {
  driver_.failFetchesAfter = driver_.Fetches();
  clock_.Advance(10s);
  const auto volts = InstancesById("HM_VoltageSensor");
  ASSERT_EQ(volts.size(), 1u);
  EXPECT_EQ(Value(volts.at("0"), "CurrentReading"), "3300");
  EXPECT_EQ(Value(volts.at("0"), "Caption"), "Voltage Probe on Motherboard");

  // A structure that changed into something else is not taken either.
  driver_.failFetchesAfter.reset();
  driver_.Structure(0)[0] = 28;
  clock_.Advance(10s);
  EXPECT_EQ(Value(InstancesById("HM_VoltageSensor").at("0"), "CreationClassName"),
            "HM_VoltageSensor");
}

TEST_F(RereadTest, AfterUninitializeTheLastReadingsStay) {
  ChangeReadings();
  EXPECT_EQ(uninitializeHM(), 0);
  EXPECT_EQ(driver_.Closes(), 1u);
  EXPECT_EQ(Pegasus::g_fdPnPBIOSdrv, 0);
  EXPECT_EQ(Pegasus::g_phsVoltageProbe, nullptr);
  clock_.Advance(10s);
  EXPECT_EQ(Voltage(), "3300");
  EXPECT_EQ(driver_.Fetches(), fetchesAfterInit_);

  // A new initialization opens the driver again and reads everything afresh.
  ASSERT_NE(intializeHM(), nullptr);
  EXPECT_EQ(driver_.Opens(), 2u);
  EXPECT_EQ(Voltage(), "3400");
}

}  // namespace
}  // namespace mgmt::test
