// The shared test helpers themselves: a runner that loses output, hangs on a
// stuck child or leaves one behind would make every suite that uses it lie.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>

#include "support/net.h"
#include "support/process.h"
#include "support/stand_ins.h"
#include "support/temp_dir.h"
#include "support/wbemcli.h"

namespace {

using namespace std::chrono_literals;
using namespace mgmt::test;

TEST(Run, KeepsOutputAndErrorsApartOrMergedAndFeedsInput) {
  RunOptions options;
  options.input = std::string(200000, 'x');  // more than a pipe holds
  const RunResult r = RunProgram({"sh", "-c", "wc -c; echo oops >&2; exit 3"}, options);
  EXPECT_EQ(r.status, 3);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.out, "200000\n");
  EXPECT_EQ(r.err, "oops\n");

  options.input.clear();
  options.mergeStderr = true;
  const RunResult merged = RunProgram({"sh", "-c", "echo a; echo b >&2; echo c"}, options);
  EXPECT_EQ(merged.out, "a\nb\nc\n");
  EXPECT_TRUE(merged.err.empty());
}

TEST(Run, ReportsSignalsMissingProgramsAndTheTimeLimit) {
  EXPECT_EQ(RunProgram({"sh", "-c", "kill -TERM $$"}).status, 128 + SIGTERM);
  const RunResult missing = RunProgram({"/no/such/program"});
  EXPECT_EQ(missing.status, -1);
  EXPECT_NE(missing.err.find("/no/such/program"), std::string::npos);

  RunOptions quick;
  quick.timeout = 300ms;
  const auto start = std::chrono::steady_clock::now();
  const RunResult stuck = RunProgram({"sleep", "30"}, quick);
  EXPECT_TRUE(stuck.timedOut);
  EXPECT_EQ(stuck.status, 128 + SIGKILL);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

TEST(Run, GivesTheChildItsOwnEnvironmentAndFolder) {
  const TempDir dir("support-env");
  dir.Write("bin/hello", "#!/bin/sh\necho \"hello $GREETING\"; pwd\n");
  std::filesystem::permissions(dir / "bin/hello", std::filesystem::perms::owner_all);
  RunOptions options;
  options.env.changes = {"PATH=" + (dir / "bin").string() + ":/usr/bin:/bin", "GREETING=there",
                         "HOME"};
  options.cwd = dir.Path();
  const RunResult r = RunProgram({"hello"}, options);
  EXPECT_EQ(r.out, "hello there\n" + std::filesystem::canonical(dir.Path()).string() + "\n");
  const RunResult home = RunProgram({"sh", "-c", "echo ${HOME-unset}"}, options);
  EXPECT_EQ(home.out, "unset\n");
}

TEST(ChildProcess, ReadsLinesAndKillsWhatIgnoresSigterm) {
  pid_t pid = -1;
  {
    SpawnOptions options;
    options.out = Output::Pipe();
    ChildProcess child({"sh", "-c", "trap '' TERM; echo ready; echo 42; exec sleep 60"}, options);
    pid = child.Pid();
    EXPECT_EQ(child.ReadLine(10s), "ready");
    EXPECT_EQ(child.ReadLine(10s), "42");
    EXPECT_FALSE(child.ReadLine(50ms).has_value());
    EXPECT_TRUE(child.Running());
    EXPECT_EQ(child.Stop(SIGTERM, 200ms), 128 + SIGKILL);
    EXPECT_FALSE(child.Running());
  }
  EXPECT_NE(::kill(pid, 0), 0);  // reaped, not a zombie left behind
}

TEST(ChildProcess, DestructorStopsAndReaps) {
  pid_t pid = -1;
  {
    ChildProcess child({"sleep", "60"});
    pid = child.Pid();
  }
  EXPECT_NE(::kill(pid, 0), 0);
}

TEST(Wbemcli, ParsesInstancesAndKeys) {
  const std::string out =
      "127.0.0.1:5988/root/cimv2:SM_Disk.Name=\"/dev/sda,1\",Index=3\n"
      "-Name=\"/dev/sda,1\"\n"
      "-Sizes=1,2,3\n"
      "\n"
      "127.0.0.1:5988/root/cimv2:SM_Memory\n"
      "-Total=5\n";
  const auto all = ParseWbemcliInstances(out);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].properties.at("Sizes"), "1,2,3");
  EXPECT_EQ(all[0].properties.at("Name"), "\"/dev/sda,1\"");
  EXPECT_EQ(all[1].properties.at("Total"), "5");
  EXPECT_EQ(KeyValue(all[0].path, "Name"), "/dev/sda,1");
  EXPECT_EQ(KeyValue(all[0].path, "Index"), "3");
  EXPECT_EQ(KeyValue(all[0].path, "Missing"), "");
  EXPECT_EQ(KeyValue(all[1].path, "Name"), "");
  EXPECT_EQ(NonEmptyLines(out).size(), 5u);
}

TEST(StandInCommands, RecordAnswerAndComeFirstInPath) {
  StandInCommands standIns({"poweroff", "wall"});
  standIns.Script("wall", 1, "no terminals\n");
  const RunResult wall = RunProgram({"wall", "disk on fire", "now"});
  EXPECT_EQ(wall.status, 1);
  EXPECT_EQ(wall.out, "no terminals\n");
  EXPECT_EQ(RunProgram({"poweroff"}).status, 0);
  const auto calls = standIns.Calls("wall");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], (std::vector<std::string>{"disk on fire", "now"}));
  EXPECT_EQ(standIns.Calls("poweroff"), (std::vector<std::vector<std::string>>{{}}));
}

TEST(TempDir, PlacesAbsolutePathsInsideAndRemovesEverything) {
  std::filesystem::path where;
  {
    const TempRoot root;
    where = root.Path();
    EXPECT_EQ(root.Write("/proc/stat", "cpu 1\n"), root.Path() / "proc/stat");
    EXPECT_EQ(ReadFile(std::string(std::getenv("MGMTAGENT_ROOT")) + "/proc/stat"), "cpu 1\n");
  }
  EXPECT_FALSE(std::filesystem::exists(where));
}

TEST(Net, LoopbackAddressOfItsOwnWithTheFixedPortFree) {
  const std::string address = UnusedLoopbackAddress(16200, 16201);
  EXPECT_TRUE(address.starts_with("127."));
  EXPECT_NE(address, "127.0.0.1");
  EXPECT_NE(FreeTcpPort(address), 0);
  EXPECT_NE(FreeUdpPort(), 0);
}

}  // namespace
