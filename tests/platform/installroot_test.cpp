#include "installroot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

class InstallRootTest : public ::testing::Test {
 protected:
  void TearDown() override { unsetenv("MGMTAGENT_ROOT"); }
};

TEST_F(InstallRootTest, UnsetOrEmptyOrSlashMeansRealRoot) {
  unsetenv("MGMTAGENT_ROOT");
  EXPECT_EQ(mgmt::RootPath("/dev/imb"), "/dev/imb");
  setenv("MGMTAGENT_ROOT", "", 1);
  EXPECT_EQ(mgmt::RootPath("/dev/imb"), "/dev/imb");
  setenv("MGMTAGENT_ROOT", "/", 1);
  EXPECT_EQ(mgmt::RootPath("/dev/imb"), "/dev/imb");
}

TEST_F(InstallRootTest, AbsolutePathsArePrefixedRelativeOnesAreNot) {
  setenv("MGMTAGENT_ROOT", "/tmp/fixture//", 1);
  EXPECT_EQ(mgmt::RootPath("/proc/meminfo"), "/tmp/fixture/proc/meminfo");
  EXPECT_EQ(mgmt::RootPath("event.idx"), "event.idx");
  EXPECT_EQ(mgmt::RootPath(""), "");
}

TEST_F(InstallRootTest, CFormRefusesWhatDoesNotFit) {
  setenv("MGMTAGENT_ROOT", "/r", 1);
  const std::string want = "/r/dev/imb";
  char buf[32];
  ASSERT_NE(MgmtPath("/dev/imb", buf, sizeof buf), nullptr);
  EXPECT_EQ(std::string(buf), want);

  char exact[11];  // want.size() + 1
  static_assert(sizeof exact == 11);
  EXPECT_NE(MgmtPath("/dev/imb", exact, sizeof exact), nullptr);
  char shortBuf[10];
  EXPECT_EQ(MgmtPath("/dev/imb", shortBuf, sizeof shortBuf), nullptr);
  EXPECT_STREQ(shortBuf, "");
  EXPECT_EQ(MgmtPath(nullptr, buf, sizeof buf), nullptr);
  EXPECT_EQ(MgmtPath("/x", nullptr, 4), nullptr);
}

}  // namespace
