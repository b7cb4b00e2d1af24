// The workers' timing on a manual clock, and starting them after a stop request.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "ipmevtmain.h"
#include "runstate.h"
#include "selwatch_fixture.h"

using namespace selwatch_test;
using namespace std::chrono_literals;

namespace {

class WorkerTest : public SelwatchTest {
 protected:
  WorkerTest() {
    mgmt::selwatch::SetDaemonClock(&clock_);
    // A plug-in configuration without a library: no 5-second wait first.
    const std::string dir = device_.Root() + "/usr/local/share/mgmtagent/hmon/hmconfig";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/SELWATCHModule.conf") << "# no plug-in\n";
  }
  /// Waits until `reads` Get SEL Entry requests have been made (the worker runs
  /// on its own thread; no time passes on the clock meanwhile).
  void WaitForReads(int reads) {
    const auto giveUp = std::chrono::steady_clock::now() + 20s;
    while (sel_.EntryReads() < reads) {
      ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << "worker made no read";
      std::this_thread::yield();
    }
  }
  mgmt::base::ManualClock clock_;
};

}  // namespace

TEST_F(WorkerTest, EventThreadPollsAtOnceThenEveryThirtySecondsAndStopsAtOnce) {
  sel_.Add({});
  std::thread worker([] { event_monitor(nullptr); });
  WaitForReads(1);
  clock_.WaitForSleepers(1);
  EXPECT_EQ(Reports().size(), 1u);

  sel_.Add({});
  clock_.Advance(29s);
  clock_.WaitForSleepers(1);
  EXPECT_EQ(sel_.EntryReads(), 1);
  clock_.Advance(1s);
  WaitForReads(3);  // the remembered record, then the new one
  clock_.WaitForSleepers(1);
  EXPECT_EQ(Reports().size(), 2u);

  // A poll request (SIGUSR1) ends the pause at its next one-second step.
  sel_.Add({});
  mgmt::selwatch::g_pollRequested = true;
  clock_.Advance(1s);
  WaitForReads(5);
  clock_.WaitForSleepers(1);
  EXPECT_EQ(Reports().size(), 3u);

  num_runningthreads = 1;
  mainthread_running = false;
  clock_.WakeAll();
  worker.join();
  EXPECT_EQ(num_runningthreads, 0);
}

TEST_F(WorkerTest, AddressThreadRunsBmcSetupAtOnceThenEveryThirtySecondsAndStopsAtOnce) {
  // A stand-in set-up tool that notes each run's arguments.
  const std::string tool = device_.Root() + "/usr/local/share/mgmtagent/hmon/selwatch/bmcsetup";
  std::filesystem::create_directories(std::filesystem::path(tool).parent_path());
  std::ofstream(tool) << "#!/bin/sh\necho \"$@\" >>" << WorkFile("bmcsetup.args") << "\n";
  chmod(tool.c_str(), 0755);
  const auto runs = [this] {
    return std::filesystem::exists(WorkFile("bmcsetup.args")) ? ReadWorkFile("bmcsetup.args")
                                                              : std::string();
  };

  std::thread worker([] { bmcip_synch(nullptr); });
  clock_.WaitForSleepers(1);
  EXPECT_EQ(runs(), "-s\n");
  clock_.Advance(29s);
  clock_.WaitForSleepers(1);
  EXPECT_EQ(runs(), "-s\n");
  clock_.Advance(1s);
  clock_.WaitForSleepers(1);
  EXPECT_EQ(runs(), "-s\n-s\n");

  num_runningthreads = 1;
  mainthread_running = false;
  clock_.WakeAll();
  worker.join();
  EXPECT_EQ(num_runningthreads, 0);
  EXPECT_EQ(runs(), "-s\n-s\n");
}

TEST_F(WorkerTest, AStopBeforeTheThreadsStartStillStartsAndEndsThemAll) {
  // The watchdog worker disarms the timer as it leaves; the BMC confirms at once.
  device_.Bmc().Always(0x06, 0x24, mgmt::test::Reply::Bytes({0x00}));
  device_.Bmc().Always(0x06, 0x25, mgmt::test::Reply::Bytes({0x00, 0x04, 0, 0, 0, 0, 0, 0, 0}));
  mainthread_running = false;
  num_runningthreads = 0;
  EXPECT_EQ(start_threads(), 1);
  for (ThreadEntry* entry = g_pthreads; entry->routine != nullptr; ++entry)
    pthread_join(entry->thread, nullptr);
  EXPECT_EQ(num_runningthreads, 0);
  EXPECT_EQ(sel_.EntryReads(), 0);
  // The last the BMC heard from the watchdog worker: Set Watchdog Timer, stopped.
  std::vector<uint8_t> lastSet;
  for (const auto& r : device_.Bmc().Requests()) {
    if (r.request.netFn == 0x06 && r.request.cmd == 0x24) lastSet = r.request.data;
  }
  EXPECT_EQ(lastSet, (std::vector<uint8_t>{0x04, 0x00, 0x00, 0x00, 0x00, 0x00}));
}
