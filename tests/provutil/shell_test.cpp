// Temporary names and running commands into files.
#include <sys/stat.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "provutil.h"
#include "testdir.h"

namespace {

// Runs first in this program (and alone under ctest): the counter starts at 111
// and goes on across prefixes.
TEST(TmpFileName, NumbersStartAt111AndContinueAcrossPrefixes) {
  char name[64];
  ASSERT_EQ(createTmpFileName(name, "getTimeZone_", sizeof name), 1);
  EXPECT_STREQ(name, "getTimeZone_111");
  ASSERT_EQ(createTmpFileName(name, "getTimeZone_", sizeof name), 1);
  EXPECT_STREQ(name, "getTimeZone_112");
  ASSERT_EQ(createTmpFileName(name, "getBaseTime_", sizeof name), 1);
  EXPECT_STREQ(name, "getBaseTime_113");
}

TEST(TmpFileName, RefusesANameThatDoesNotFit) {
  char name[8] = "xxxxxxx";
  EXPECT_EQ(createTmpFileName(name, "longprefix_", sizeof name), -1);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(createTmpFileName(nullptr, "p", 8), -1);
  EXPECT_EQ(createTmpFileName(name, nullptr, sizeof name), -1);
}

TEST(TmpFileName, ThreadsNeverGetTheSameName) {
  constexpr int kThreads = 8;
  constexpr int kEach = 2000;
  std::vector<std::vector<std::string>> names(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&names, t] {
      char name[32];
      for (int i = 0; i < kEach; ++i) {
        if (createTmpFileName(name, "t_", sizeof name) == 1) names[t].emplace_back(name);
      }
    });
  }
  for (auto& th : threads) th.join();
  std::set<std::string> unique;
  for (const auto& list : names) unique.insert(list.begin(), list.end());
  EXPECT_EQ(unique.size(), static_cast<std::size_t>(kThreads * kEach));
}

using SystemOut = ScratchDirTest;

TEST_F(SystemOut, SendsStandardOutputToTheFileAsTheShellLineWould) {
  EXPECT_EQ(system_out("printf 'a\\nb\\n'", "out1"), 0);
  EXPECT_EQ(Read("out1"), "a\nb\n");
  // "<command> ><file>" redirects the last simple command only.
  EXPECT_EQ(system_out("echo one >/dev/null; echo two", "out2"), 0);
  EXPECT_EQ(Read("out2"), "two\n");
  // The exit status is not reported, and an existing file is emptied first.
  Write("out3", "old content that is longer\n");
  EXPECT_EQ(system_out("sh -c 'echo new; exit 3'", "out3"), 0);
  EXPECT_EQ(Read("out3"), "new\n");
}

TEST_F(SystemOut, RefusesACommandLineThatDoesNotFit) {
  // "<command> >out" is exactly the limit when the command is limit - 5 long.
  const std::string prefix = "touch ran; : ";
  const std::string fits = prefix + std::string(PROVUTIL_MAX_COMMAND_LINE - 5 - prefix.size(), 'x');
  EXPECT_EQ(system_out(fits.c_str(), "out"), 0);
  EXPECT_TRUE(Exists("ran"));

  std::filesystem::remove(dir_ / "ran");
  std::filesystem::remove(dir_ / "out");
  const std::string tooLong = fits + "x";
  EXPECT_EQ(system_out(tooLong.c_str(), "out"), -1);
  EXPECT_FALSE(Exists("ran"));
  EXPECT_FALSE(Exists("out"));
}

TEST_F(SystemOut, DoesNotWriteThroughAPlantedLink) {
  Write("victim", "keep\n");
  std::filesystem::create_symlink(dir_ / "victim", dir_ / "out");
  EXPECT_EQ(system_out("touch ran; echo overwritten", "out"), -1);
  EXPECT_EQ(Read("victim"), "keep\n");
  EXPECT_FALSE(Exists("ran"));

  // A second name for another file is refused as well.
  std::filesystem::create_hard_link(dir_ / "victim", dir_ / "hard");
  EXPECT_EQ(system_out("echo overwritten", "hard"), -1);
  EXPECT_EQ(Read("victim"), "keep\n");
}

TEST_F(SystemOut, AbsoluteOutputNameGoesUnderTheInstallationRoot) {
  std::filesystem::create_directories(dir_ / "root/var");
  setenv("MGMTAGENT_ROOT", (dir_ / "root").c_str(), 1);
  EXPECT_EQ(system_out("echo hi", "/var/out"), 0);
  EXPECT_EQ(Read("root/var/out"), "hi\n");
}

}  // namespace
