// The imbd program itself: command line, socket permissions, clean stop on SIGTERM.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

using namespace std::chrono_literals;
using mgmt::test::ChildProcess;

namespace {

// How imbd with these arguments ends within 5 s, or -2 when it had to be killed.
int ExitStatus(const std::vector<std::string>& args) {
  ChildProcess imbd(args);
  return imbd.Wait(5s).value_or(-2);
}

class ImbdProcess : public ::testing::Test {
 protected:
  mgmt::test::TempDir tmp_{"imbdproc"};
  const std::string dir_ = tmp_.Path().string();
};

}  // namespace

TEST_F(ImbdProcess, BadCommandLinesAreRefused) {
  EXPECT_EQ(ExitStatus({IMBD_PATH}), 2);
  EXPECT_EQ(ExitStatus({IMBD_PATH, "--backend", "vm:127.0.0.1:1", "--bogus"}), 2);
  EXPECT_EQ(ExitStatus({IMBD_PATH, "--socket", dir_ + "/imb", "--backend", "serial:x"}), 1);
  EXPECT_EQ(ExitStatus({IMBD_PATH, "--socket", dir_ + "/imb", "--backend", "vm:host:99999"}), 1);
  EXPECT_EQ(ExitStatus({IMBD_PATH, "--socket", dir_ + "/imb", "--backend",
                        "openipmi:" + dir_ + "/no-such-device"}),
            1);
}

TEST_F(ImbdProcess, ServesAPrivateSocketAndStopsCleanlyOnSigterm) {
  const std::string socket = dir_ + "/imb";
  // Nothing listens on port 1: imbd serves anyway and keeps trying the simulator.
  ChildProcess imbd({IMBD_PATH, "--socket", socket, "--backend", "vm:127.0.0.1:1"});
  struct stat st {};
  for (int i = 0; i < 500 && ::stat(socket.c_str(), &st) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(imbd.Stop(SIGTERM, 5s), 0);
  EXPECT_NE(::access(socket.c_str(), F_OK), 0);  // removed on the way out
}
