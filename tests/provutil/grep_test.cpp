// Trimming, grepping files and directories, reading small files.
#include <cstring>
#include <string>

#include "provutil.h"
#include "testdir.h"

namespace {

TEST(TrimStr, CutsTrailingUnprintablesOnly) {
  char text[] = "abc \r\n";
  trim_str(text);
  EXPECT_STREQ(text, "abc ");

  char controls[] = "\t\r\n";
  trim_str(controls);
  EXPECT_STREQ(controls, "");

  char inner[] = "a\tb\x7f";
  trim_str(inner);
  EXPECT_STREQ(inner, "a\tb");

  // Bytes above 0x7F are not printable in the C locale (and must not be read as
  // negative values).
  char high[] = "x\xe9\xff";
  trim_str(high);
  EXPECT_STREQ(high, "x");

  trim_str(nullptr);
}

using Grep = ScratchDirTest;

TEST_F(Grep, CountsMatchingOrOtherLines) {
  EXPECT_EQ(n_grep("missing", "x", 0), -1);
  Write("empty", "");
  EXPECT_EQ(n_grep("empty", "x", 0), 0);

  Write("trap.conf", "# trapsink 1.2.3.4\r\ntrapsink 10.0.0.2\r\ncommunity public\nlast trapsink");
  EXPECT_EQ(n_grep("trap.conf", "trapsink", 0), 3);
  EXPECT_EQ(n_grep("trap.conf", "trapsink", 1), 1);
  EXPECT_EQ(n_grep("trap.conf", "nowhere", 7), 4);
  EXPECT_EQ(n_grep(nullptr, "x", 0), -1);
  EXPECT_EQ(n_grep("trap.conf", nullptr, 0), -1);
}

TEST_F(Grep, LongLinesAreMatchedInPiecesOf127) {
  // A 300-character line is three pieces; the pattern lies in the second.
  std::string longLine(300, 'x');
  longLine.replace(150, 3, "pat");
  // A line of exactly 127 characters is one piece: its line end is no line.
  Write("f", longLine + "\n" + std::string(127, 'y') + "\nshort\n");
  EXPECT_EQ(n_grep("f", "pat", 0), 1);
  EXPECT_EQ(n_grep("f", "pat", 1), 4);
  // A pattern across a piece boundary is not seen.
  EXPECT_EQ(n_grep("f", std::string(130, 'x').c_str(), 0), 0);
}

TEST_F(Grep, FetchesTheNthMatchingLineTrimmed) {
  Write("trap.conf", "trapsink 10.0.0.1\r\nother\ntrapsink 10.0.0.2\n");
  char buf[32];
  ASSERT_EQ(s_grep("trap.conf", "trapsink", 2, buf, sizeof buf), buf);
  EXPECT_STREQ(buf, "trapsink 10.0.0.2");
  ASSERT_EQ(s_grep("trap.conf", "trapsink", 0, buf, sizeof buf), buf);
  EXPECT_STREQ(buf, "trapsink 10.0.0.1");
  ASSERT_EQ(s_grep("trap.conf", "trapsink", 1, buf, 6), buf);
  EXPECT_STREQ(buf, "traps");
}

TEST_F(Grep, FetchReportsNullForMissingLinesAndBadArguments) {
  Write("f", "trapsink 10.0.0.2\n");
  char buf[32];
  std::memset(buf, 'X', sizeof buf);
  EXPECT_EQ(s_grep("f", "trapsink", 2, buf, sizeof buf), nullptr);
  EXPECT_EQ(std::string(buf, sizeof buf), std::string(sizeof buf, '\0'));

  std::memset(buf, 'X', sizeof buf);
  EXPECT_EQ(s_grep("f", "trapsink", -1, buf, sizeof buf), nullptr);
  EXPECT_STREQ(buf, "");

  std::memset(buf, 'X', sizeof buf);
  EXPECT_EQ(s_grep("missing", "trapsink", 1, buf, sizeof buf), nullptr);
  EXPECT_EQ(buf[0], 'X');
  EXPECT_EQ(s_grep("f", "trapsink", 1, buf, 0), nullptr);
  EXPECT_EQ(s_grep("f", "trapsink", 1, nullptr, 8), nullptr);
}

TEST_F(Grep, AbsolutePathsGoUnderTheInstallationRoot) {
  Write("root/etc/mtab", "/dev/hda1 / ext3 rw 0 0\n/dev/cdrom /mnt iso9660 ro 0 0\n");
  Write("root/proc/ide/hda/model", "ST3200822A\n");
  std::filesystem::create_directories(dir_ / "root/proc/ide/hdc");
  setenv("MGMTAGENT_ROOT", (dir_ / "root").c_str(), 1);
  EXPECT_EQ(n_grep("/etc/mtab", "cdrom", 0), 1);
  char buf[128];
  EXPECT_NE(s_grep("/etc/mtab", "hda", 0, buf, sizeof buf), nullptr);
  EXPECT_EQ(n_ls_grep("/proc/ide", "hd", 0), 2);
  EXPECT_NE(s_cat("/proc/ide/hda/model", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "ST3200822A\n");
}

TEST_F(Grep, CountsDirectoryEntries) {
  for (const char* name : {"ide/hda/x", "ide/hdc/x", "ide/sda/x", "ide/drivers"}) Write(name, "");
  EXPECT_EQ(n_ls_grep("ide", "hd", 0), 2);
  EXPECT_EQ(n_ls_grep("ide", "hd", 1), 2);  // sda and drivers; not "." or ".."
  EXPECT_EQ(n_ls_grep("ide", "zz", 0), 0);
  EXPECT_LT(n_ls_grep("nothere", "hd", 0), 1);
  EXPECT_LT(n_ls_grep("ide/drivers", "hd", 0), 1);
}

TEST_F(Grep, CatReadsTheTextCutToTheBuffer) {
  Write("capacity", "390721968\n");
  char buf[128];
  EXPECT_NE(s_cat("capacity", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "390721968\n");
  EXPECT_NE(s_cat("capacity", buf, 5), 0);
  EXPECT_STREQ(buf, "3907");

  Write("empty", "");
  std::strcpy(buf, "stale");
  EXPECT_NE(s_cat("empty", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "");

  std::strcpy(buf, "stale");
  EXPECT_EQ(s_cat("missing", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(s_cat(".", buf, sizeof buf), 0);
}

}  // namespace
