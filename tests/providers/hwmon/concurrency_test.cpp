// The hardware-monitor provider asked from several object-manager threads at once
// while the readings go stale. The sensor library's state is unguarded and a stale
// reading is re-read in place, so every call has to run under the module's lock:
// each answer must be whole and the same as a quiet reading, and the ThreadSanitizer
// build sees any access the lock misses. The library and the module are built into
// this program (not loaded as libPnpSensors.so) so the test can drive the library's
// clock and count its driver requests.
#include <gtest/gtest.h>

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/OperationContext.h>
#include <Pegasus/Common/SimpleResponseHandler.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMOMHandle.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "HardwareMonitorProvider.h"
#include "base/clock.h"
#include "devseam.h"
#include "firmwareioctl.h"
#include "hmclass.h"
#include "pnpbios.h"
#include "smbiosfixture.h"
#include "support/temp_dir.h"

namespace mgmt::test {
namespace {

using namespace Pegasus;

constexpr const char* kClasses[] = {"HM_VoltageSensor", "HM_Tachometer", "HM_TemperatureSensor"};

// The device seam, counting the structure fetches.
class CountingDriver final : public pnp::DriverCalls {
 public:
  int Open(const char* path, int flags) override { return DevOpen(path, flags); }
  int Ioctl(int fd, unsigned long request, void* arg) override {
    if (request == dev::kPnpGetStructure) ++fetches;
    return DevIoctl(fd, request, arg);
  }
  int Close(int fd) override { return DevClose(fd); }

  std::atomic<int> fetches{0};
};

// Each sensor's properties as text, by class and DeviceID.
using Readings = std::map<std::string, std::string>;

std::string Text(const CIMInstance& instance) {
  std::string text;
  for (Uint32 i = 0; i < instance.getPropertyCount(); ++i) {
    const CIMConstProperty property = instance.getProperty(i);
    text += std::string(property.getName().getString().getCString()) + "=" +
            std::string(property.getValue().toString().getCString()) + ";";
  }
  return text;
}

std::string DeviceId(const CIMInstance& instance) {
  const Uint32 at = instance.findProperty(CIMName("DeviceID"));
  if (at == PEG_NOT_FOUND) return "?";
  String id;
  instance.getProperty(at).getValue().get(id);
  return std::string(instance.getClassName().getString().getCString()) + "." +
         std::string(id.getCString());
}

std::vector<CIMInstance> Enumerate(CIMInstanceProvider& provider, const char* cls) {
  SimpleInstanceResponseHandler handler;
  provider.enumerateInstances(OperationContext(),
                              CIMObjectPath(String(), CIMNamespaceName(), CIMName(cls)), false,
                              false, CIMPropertyList(), handler);
  std::vector<CIMInstance> out;
  for (const auto& instance : handler.getObjects()) out.push_back(instance);
  return out;
}

std::vector<CIMInstance> Get(CIMInstanceProvider& provider, const CIMObjectPath& path) {
  SimpleInstanceResponseHandler handler;
  provider.getInstance(OperationContext(), path, false, false, CIMPropertyList(), handler);
  std::vector<CIMInstance> out;
  for (const auto& instance : handler.getObjects()) out.push_back(instance);
  return out;
}

class HardwareMonitorConcurrency : public ::testing::Test {
 protected:
  void SetUp() override {
    pnp::UseClock(&clock_);
    pnp::UseDriverCalls(&driver_);
  }
  void TearDown() override {
    pnp::UseDriverCalls(nullptr);
    pnp::UseClock(nullptr);
  }

  base::ManualClock clock_;
  CountingDriver driver_;
};

TEST_F(HardwareMonitorConcurrency, ThreadsAskingAtOnceGetWholeReadingsWhileTheyAreReRead) {
  MGMT_REQUIRE_SMBIOS_DATA();
  // 9 fans and 14 temperature probes.
  TempRoot root("hwmon-threads");
  const SmbiosDump dump = LoadSmbiosDump("11-dell-precision-t7600");
  WriteFirmwareTables(root.Path(), dump.entryPoint, dump.table);

  std::unique_ptr<CIMProvider> made(PegasusCreateProvider("HardwareMonitorProvider"));
  auto* provider = dynamic_cast<CIMInstanceProvider*>(made.get());
  ASSERT_NE(provider, nullptr);
  CIMOMHandle cimom;
  provider->initialize(cimom);

  // The quiet reading every later answer must equal.
  Readings quiet;
  std::vector<CIMObjectPath> paths;
  for (const char* cls : kClasses) {
    for (const auto& instance : Enumerate(*provider, cls)) {
      quiet[DeviceId(instance)] = Text(instance);
      paths.push_back(instance.getPath());
    }
  }
  ASSERT_EQ(quiet.size(), 23u);
  const int fetchesBefore = driver_.fetches.load();
  // Every reading is stale from the first request on.
  clock_.Advance(std::chrono::seconds(5));

  constexpr int kReaders = 3;
  constexpr int kRounds = 200;
  std::atomic<int> readersDone{0};
  std::vector<std::vector<std::string>> problems(kReaders);
  std::vector<std::thread> threads;
  for (int r = 0; r < kReaders; ++r) {
    threads.emplace_back([&, r] {
      auto& mine = problems[r];
      for (int round = 0; round < kRounds; ++round) {
        for (const char* cls : kClasses) {
          for (const auto& instance : Enumerate(*provider, cls)) {
            const auto it = quiet.find(DeviceId(instance));
            if (it == quiet.end() || it->second != Text(instance)) {
              mine.push_back("enumerated " + DeviceId(instance) + ": " + Text(instance));
            }
          }
        }
        const CIMObjectPath& path = paths[(round * kReaders + r) % paths.size()];
        const auto got = Get(*provider, path);
        const auto it = got.size() == 1 ? quiet.find(DeviceId(got[0])) : quiet.end();
        if (it == quiet.end() || it->second != Text(got[0])) {
          mine.push_back("got " + std::string(path.toString().getCString()));
        }
      }
      ++readersDone;
    });
  }
  // Time moves on while they ask, so readings keep going stale.
  threads.emplace_back([&] {
    while (readersDone.load() < kReaders) {
      clock_.Advance(std::chrono::seconds(5));
      std::this_thread::yield();
    }
  });
  for (auto& thread : threads) thread.join();

  for (const auto& mine : problems) {
    for (const auto& problem : mine) ADD_FAILURE() << problem;
  }
  // The readings were taken again while the threads asked.
  EXPECT_GT(driver_.fetches.load(), fetchesBefore);
  provider->terminate();
}

}  // namespace
}  // namespace mgmt::test
