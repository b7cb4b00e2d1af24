// When and how a flush writes the file.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "cfgtest.h"

namespace {

using CfgFlushTest = CfgTest;

TEST_F(CfgFlushTest, NothingWrittenLeavesTheFileAlone) {
  auto cfg = Open("[S]\nk=1\n");
  char buf[8];
  ASSERT_EQ(CfgReadString(cfg.get(), "S", "k", buf, sizeof buf), 0);
  Write("c.conf", "changed by someone else\n");
  struct stat before {};
  ASSERT_EQ(stat(PathOf("c.conf").c_str(), &before), 0);
  EXPECT_EQ(CfgFlush(cfg.get()), 0);
  EXPECT_EQ(Read("c.conf"), "changed by someone else\n");
  struct stat after {};
  ASSERT_EQ(stat(PathOf("c.conf").c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(CfgFlushTest, UnwritableFileStaysDirtyAndALaterFlushSucceeds) {
  const std::string path = PathOf("later/c.conf");
  CfgPtr cfg(CfgOpen(path.c_str()));
  ASSERT_NE(cfg, nullptr);
  EXPECT_EQ(cfg->status, CFG_NOFILE);
  ASSERT_EQ(CfgWriteString(cfg.get(), "S", "k", "1"), 0);
  EXPECT_EQ(CfgFlush(cfg.get()), 1);
  EXPECT_EQ(cfg->status, CFG_NOFILE);
  EXPECT_EQ(cfg->dirty, 1);

  std::filesystem::create_directory(dir_ / "later");
  EXPECT_EQ(CfgFlush(cfg.get()), 0);
  EXPECT_EQ(cfg->status, CFG_OK);
  EXPECT_EQ(cfg->dirty, 0);
  EXPECT_EQ(Read("later/c.conf"), "[S]\nk=1\n\n");
  // Nothing but the file itself is left in the directory.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ / "later"),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(CfgFlushTest, OwnerAndModeSurvive) {
  if (geteuid() != 0) GTEST_SKIP() << "changing a file's owner needs root";
  const std::string path = Write("c.conf", "[S]\nk=1\n");
  ASSERT_EQ(chown(path.c_str(), 1234, 5678), 0);
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  CfgPtr cfg(CfgOpen(path.c_str()));
  ASSERT_EQ(CfgWriteString(cfg.get(), "S", "k", "2"), 0);
  ASSERT_EQ(CfgFlush(cfg.get()), 0);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 1234u);
  EXPECT_EQ(st.st_gid, 5678u);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Read("c.conf"), "[S]\nk=2\n");
}

TEST_F(CfgFlushTest, NewFileGetsThePlainCreateMode) {
  const mode_t old = umask(022);
  CfgPtr cfg(CfgOpen(PathOf("new.conf").c_str()));
  ASSERT_EQ(CfgWriteString(cfg.get(), "S", "k", "1"), 0);
  const int rc = CfgFlush(cfg.get());
  umask(old);
  ASSERT_EQ(rc, 0);
  struct stat st {};
  ASSERT_EQ(stat(PathOf("new.conf").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(CfgFlushTest, ALinkedFileIsReplacedAndTheLinkKept) {
  Write("real.conf", "[S]\nk=1\n");
  std::filesystem::create_symlink("real.conf", dir_ / "link.conf");
  CfgPtr cfg(CfgOpen(PathOf("link.conf").c_str()));
  ASSERT_EQ(CfgWriteString(cfg.get(), "S", "k", "2"), 0);
  ASSERT_EQ(CfgFlush(cfg.get()), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "link.conf"));
  EXPECT_EQ(Read("real.conf"), "[S]\nk=2\n");
}

}  // namespace
