// The collector's command runner: argument vectors without a shell, the C
// locale, the installation root, time and size limits.
#include "StorageCommand.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace {

using mgmt::storage::RunCommandOutput;
using mgmt::test::TempRoot;

/// Whether the process is gone or only waits to be reaped.
bool Dead(const std::string& pid) {
  const std::string stat = mgmt::test::ReadFile("/proc/" + pid + "/stat");
  const auto paren = stat.rfind(')');
  if (paren == std::string::npos || paren + 2 >= stat.size()) return true;
  const char state = stat[paren + 2];
  return state == 'Z' || state == 'X';
}

void WriteScript(const TempRoot& root, const std::string& path, const std::string& body) {
  const auto file = root.Write(path, "#!/bin/sh\n" + body);
  std::filesystem::permissions(file, std::filesystem::perms::owner_all);
}

TEST(StorageCommand, RunsTheRootsProgramWithItsArgumentsAndTheCLocale) {
  TempRoot root;
  WriteScript(root, "/sbin/fdisk",
              "printf '%s|' \"$@\"; echo \"LC_ALL=$LC_ALL LANG=${LANG-unset} "
              "MGMTAGENT_ROOT=${MGMTAGENT_ROOT-unset}\"\n");
  // A device name with shell syntax stays one harmless argument.
  const auto out = RunCommandOutput("/sbin/fdisk", {"-l", "sd a; touch pwned", "$(id)"});
  ASSERT_TRUE(out);
  EXPECT_EQ(*out, "-l|sd a; touch pwned|$(id)|LC_ALL=C LANG=unset MGMTAGENT_ROOT=unset\n");
  EXPECT_FALSE(root.Exists("/pwned"));
  EXPECT_FALSE(std::filesystem::exists("pwned"));
}

TEST(StorageCommand, NoOpenDescriptorOfTheCallerReachesTheCommand) {
  TempRoot root;
  WriteScript(root, "/bin/df", "ls /proc/self/fd\n");
  // A descriptor opened without close-on-exec, as a careless library might.
  const int leaked = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(leaked, 0);
  const auto out = RunCommandOutput("/bin/df", {});
  ::close(leaked);
  ASSERT_TRUE(out);
  // 0, 1, 2 and the descriptor ls itself reads the folder through.
  EXPECT_EQ(*out, "0\n1\n2\n3\n");
}

TEST(StorageCommand, MissingProgramGivesNothing) {
  TempRoot root;
  EXPECT_FALSE(RunCommandOutput("/sbin/fdisk", {"-l"}));
  root.Write("/sbin/fdisk", "not executable");
  EXPECT_FALSE(RunCommandOutput("/sbin/fdisk", {"-l"}));
}

TEST(StorageCommand, ExitStatusDoesNotHideTheOutput) {
  TempRoot root;
  WriteScript(root, "/sbin/fdisk", "echo listed; exit 1\n");
  EXPECT_EQ(RunCommandOutput("/sbin/fdisk", {"-l"}), "listed\n");
}

TEST(StorageCommand, HangingCommandAndWhatItStartedAreKilledAtTheLimit) {
  TempRoot root;
  // The shell waits for a background sleeper that keeps the output open: only
  // killing the whole process group ends both.
  WriteScript(root, "/bin/df", "echo started\nsleep 30 &\necho $! > \"$0.sleeper\"\nwait\n");
  const auto out = RunCommandOutput("/bin/df", {}, std::chrono::milliseconds(300));
  EXPECT_FALSE(out);
  const std::string pid = root.Read("/bin/df.sleeper");
  ASSERT_FALSE(pid.empty());
  // SIGKILL was sent to the group before the call returned; the kernel may need
  // a moment to let the sleeper die under load.
  const std::string sleeper = pid.substr(0, pid.find('\n'));
  bool dead = Dead(sleeper);
  for (int i = 0; i < 1000 && !dead; ++i) {
    ::usleep(1000);
    dead = Dead(sleeper);
  }
  EXPECT_TRUE(dead) << "sleeper " << sleeper << " still runs";
}

TEST(StorageCommand, OversizedOutputIsRefusedWhole) {
  TempRoot root;
  WriteScript(root, "/bin/df", "yes 0123456789abcdef0123456789abcdef\n");
  EXPECT_FALSE(RunCommandOutput("/bin/df", {}));
}

}  // namespace
