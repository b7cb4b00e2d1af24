// The configuration files' advisory lock: one holder at a time, released with
// its owner, also across processes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "conflock.h"
#include "conftest.h"

using mgmt::bmc::ConfigLock;
using namespace std::chrono_literals;

TEST(ConfigLock, OneHolderAtATime) {
  mgmt::test::TempRoot root;
  conftest::ConfFiles files(root.Path());
  std::optional<ConfigLock> first = ConfigLock::Acquire(0ms);
  ASSERT_TRUE(first.has_value());
  EXPECT_TRUE(std::filesystem::exists(files.Path(mgmt::bmc::kConfigLockPath)));

  errno = 0;
  EXPECT_FALSE(ConfigLock::Acquire(0ms).has_value());
  EXPECT_EQ(errno, EWOULDBLOCK);

  // Another process waits for it as well.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(ConfigLock::Acquire(0ms).has_value() ? 1 : 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), 0);

  ConfigLock moved = std::move(*first);
  first.reset();  // the moved-from lock releases nothing
  EXPECT_FALSE(ConfigLock::Acquire(0ms).has_value());
  { ConfigLock gone = std::move(moved); }
  EXPECT_TRUE(ConfigLock::Acquire(0ms).has_value());
}

TEST(ConfigLock, MissingDirectoryIsAnError) {
  mgmt::test::TempRoot root;  // no configuration directory under it
  EXPECT_FALSE(ConfigLock::Acquire(0ms).has_value());
  EXPECT_EQ(errno, ENOENT);
}
