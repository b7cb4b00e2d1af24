// The imbd program itself: command line, socket permissions, clean stop on SIGTERM.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

extern char** environ;

namespace {

pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int ExitStatus(pid_t pid) {
  int status = 0;
  for (int i = 0; i < 500; ++i) {
    if (::waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return -2;
}

// Kills and reaps a child that a failed assertion left running.
struct Reaper {
  pid_t pid;
  ~Reaper() {
    if (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
};

class ImbdProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/imbdproc.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
};

}  // namespace

TEST_F(ImbdProcess, BadCommandLinesAreRefused) {
  EXPECT_EQ(ExitStatus(Spawn({IMBD_PATH})), 2);
  EXPECT_EQ(ExitStatus(Spawn({IMBD_PATH, "--backend", "vm:127.0.0.1:1", "--bogus"})), 2);
  EXPECT_EQ(ExitStatus(Spawn({IMBD_PATH, "--socket", dir_ + "/imb", "--backend", "serial:x"})), 1);
  EXPECT_EQ(ExitStatus(Spawn({IMBD_PATH, "--socket", dir_ + "/imb", "--backend", "vm:host:99999"})),
            1);
  EXPECT_EQ(ExitStatus(Spawn({IMBD_PATH, "--socket", dir_ + "/imb", "--backend",
                              "openipmi:" + dir_ + "/no-such-device"})),
            1);
}

TEST_F(ImbdProcess, ServesAPrivateSocketAndStopsCleanlyOnSigterm) {
  const std::string socket = dir_ + "/imb";
  // Nothing listens on port 1: imbd serves anyway and keeps trying the simulator.
  const pid_t pid = Spawn({IMBD_PATH, "--socket", socket, "--backend", "vm:127.0.0.1:1"});
  ASSERT_GT(pid, 0);
  const Reaper reaper{pid};
  struct stat st {};
  for (int i = 0; i < 500 && ::stat(socket.c_str(), &st) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ::kill(pid, SIGTERM);
  EXPECT_EQ(ExitStatus(pid), 0);
  EXPECT_NE(::access(socket.c_str(), F_OK), 0);  // removed on the way out
}
