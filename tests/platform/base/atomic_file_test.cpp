// Atomic replacement: the old file or the new one, never half of one; owner and
// mode kept; leftovers of killed writers cleaned, those of live writers and of
// other naming never touched.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "base/atomic_file.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using mgmt::base::ReplaceFileContents;

class AtomicFile : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.insert(e.path().filename().string());
    return names;
  }
  struct stat Stat(const std::string& name) const {
    struct stat st {};
    EXPECT_EQ(::stat(Path(name).c_str(), &st), 0);
    return st;
  }

  const mgmt::test::TempDir tmp_{"atomicfile"};
  const fs::path dir_ = tmp_.Path();
};

// A process id no process has: a child that has ended and been reaped.
pid_t DeadPid() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

TEST_F(AtomicFile, ReplacesContentsAndKeepsOwnerAndMode) {
  Write("conf", "old contents\n");
  ASSERT_EQ(::chmod(Path("conf").c_str(), 0640), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(Path("conf").c_str(), 4321, 8765), 0);
  }

  ASSERT_EQ(ReplaceFileContents(Path("conf"), "new\n"), 0);
  EXPECT_EQ(Read("conf"), "new\n");
  const struct stat st = Stat("conf");
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 8765u);
  }
  EXPECT_EQ(Names(), std::set<std::string>{"conf"});  // no sibling left behind
}

TEST_F(AtomicFile, NewFileModeAndForcedMode) {
  const mode_t old = ::umask(022);
  EXPECT_EQ(ReplaceFileContents(Path("plain"), "x"), 0);
  EXPECT_EQ(ReplaceFileContents(Path("private"), "x", {.modeIfNew = 0600}), 0);
  ::umask(old);
  EXPECT_EQ(Stat("plain").st_mode & 07777, 0644u);  // as a create under the umask
  EXPECT_EQ(Stat("private").st_mode & 07777, 0600u);

  // A forced mode tightens a file that had become readable by others.
  Write("secrets", "a:b\n");
  ASSERT_EQ(::chmod(Path("secrets").c_str(), 0644), 0);
  ASSERT_EQ(ReplaceFileContents(Path("secrets"), "a:c\n", {.mode = 0600}), 0);
  EXPECT_EQ(Stat("secrets").st_mode & 07777, 0600u);
  EXPECT_EQ(Read("secrets"), "a:c\n");
}

TEST_F(AtomicFile, FollowsASymbolicLinkToTheFileItNames) {
  fs::create_directory(dir_ / "real");
  Write("real/conf", "old");
  fs::create_symlink("real/conf", dir_ / "link");
  ASSERT_EQ(ReplaceFileContents(Path("link"), "new"), 0);
  EXPECT_TRUE(fs::is_symlink(dir_ / "link"));
  EXPECT_EQ(Read("real/conf"), "new");
}

TEST_F(AtomicFile, RefusesWhatIsNotARegularFile) {
  fs::create_directory(dir_ / "sub");
  errno = 0;
  EXPECT_EQ(ReplaceFileContents(Path("sub"), "x"), -1);
  EXPECT_EQ(errno, EISDIR);
  errno = 0;
  EXPECT_EQ(ReplaceFileContents(Path("missing/conf"), "x"), -1);
  EXPECT_EQ(errno, ENOENT);
}

TEST_F(AtomicFile, AFailedWriteLeavesTheOriginalWholeAndNoSibling) {
  Write("conf", "original");
  // The child may write only a few bytes: the write fails half-way (EFBIG).
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{4, 4};
    ::setrlimit(RLIMIT_FSIZE, &small);
    const int rc = ReplaceFileContents(Path("conf"), std::string(100000, 'x'));
    ::_exit(rc == -1 && errno == EFBIG ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Read("conf"), "original");
  EXPECT_EQ(Names(), std::set<std::string>{"conf"});
}

TEST_F(AtomicFile, RemovesOnlyStaleSiblingsOfItsOwnNaming) {
  Write("conf", "old");
  const std::string dead = std::to_string(DeadPid());
  const std::string self = std::to_string(::getpid());
  const std::set<std::string> kept = {
      "conf",
      ".conf.1.0.tmp",               // init is alive: a live writer's
      ".conf." + self + ".7.tmp",    // this process's own (another thread)
      ".conf.tmp",                   // not our naming
      ".conf." + dead + ".tmp",      // no counter
      ".conf." + dead + ".x.tmp",    // counter not a number
      ".conf." + dead + ".0.tmp~",   // other suffix
      ".other." + dead + ".0.tmp",   // another file's sibling
      ".conf.d." + dead + ".0.tmp",  // the sibling of "conf.d"
      "conf." + dead + ".0.tmp",     // not hidden
  };
  for (const auto& name : kept) Write(name, "keep");
  Write(".conf." + dead + ".0.tmp", "half a fil");
  Write(".conf." + dead + ".12.tmp", "");

  ASSERT_EQ(ReplaceFileContents(Path("conf"), "new"), 0);
  EXPECT_EQ(Names(), kept);
  EXPECT_EQ(Read("conf"), "new");
}

}  // namespace
