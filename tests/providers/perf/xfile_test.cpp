// The text layer of the samplers: trimstr, filegrep, getTimestamp and the word and
// number readers.
#include "xfile.h"
#include "perf_test_util.h"
#include "proctext.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

using mgmt::test::TempRoot;

TEST(TrimStr, RemovesTrailingNonPrintablesOnly) {
  char text[] = "\tkeep me \r\n\x01";
  trimstr(text);
  EXPECT_STREQ(text, "\tkeep me ");
  char none[] = "\n\n";
  trimstr(none);
  EXPECT_STREQ(none, "");
  trimstr(nullptr);
}

TEST(FileGrep, FindsTheNthMatchingLineThroughTheRoot) {
  TempRoot root;
  root.Write("/data/f", "alpha 1\nbeta 2\nalpha 3\n");
  char buf[64];
  ASSERT_NE(filegrep("/data/f", "alpha", 0, buf, sizeof buf), nullptr);
  EXPECT_STREQ(buf, "alpha 1");
  ASSERT_NE(filegrep("/data/f", "alpha", 2, buf, sizeof buf), nullptr);
  EXPECT_STREQ(buf, "alpha 3");
  EXPECT_EQ(filegrep("/data/f", "alpha", 3, buf, sizeof buf), nullptr);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(filegrep("/data/missing", "alpha", 1, buf, sizeof buf), nullptr);
}

TEST(FileGrep, RefusesBadArguments) {
  TempRoot root;
  root.Write("/f", "x\n");
  char buf[8];
  EXPECT_EQ(filegrep(nullptr, "x", 1, buf, sizeof buf), nullptr);
  EXPECT_EQ(filegrep("/f", nullptr, 1, buf, sizeof buf), nullptr);
  EXPECT_EQ(filegrep("/f", "x", 1, nullptr, sizeof buf), nullptr);
  EXPECT_EQ(filegrep("/f", "x", 1, buf, 0), nullptr);
  EXPECT_EQ(filegrep("/f", "x", -1, buf, sizeof buf), nullptr);
}

TEST(FileGrep, LongLinesAreSeenInPiecesAndCopiesStayTerminated) {
  TempRoot root;
  const std::string head(120, 'a');
  root.Write("/f", head + " tail-marker end\n");
  char buf[200];
  ASSERT_NE(filegrep("/f", "end", 1, buf, sizeof buf), nullptr);
  // The first 127 characters are one piece; the rest is the next "line".
  EXPECT_STREQ(buf, "arker end");
  ASSERT_NE(filegrep("/f", "aaa", 1, buf, sizeof buf), nullptr);
  EXPECT_EQ(std::strlen(buf), 127u);

  char small[6];
  std::memset(small, 'x', sizeof small);
  ASSERT_NE(filegrep("/f", "end", 1, small, sizeof small), nullptr);
  EXPECT_STREQ(small, "arker");
}

TEST(Timestamp, ConvertsUptimeExactly) {
  TempRoot root;
  std::uint64_t jiffies = 7;
  std::uint64_t ticks = 7;
  root.Write("/proc/uptime", "3600.50 3500.25\n");
  getTimestamp(jiffies, ticks);
  EXPECT_EQ(jiffies, 360050u);
  EXPECT_EQ(ticks, 3600500u);
  // 9999.97 * 100.0 is 999996.99... in binary floating point.
  root.Write("/proc/uptime", "9999.97 433.88\n");
  getTimestamp(jiffies, ticks);
  EXPECT_EQ(jiffies, 999997u);
  EXPECT_EQ(ticks, 9999970u);
  root.Write("/proc/uptime", "12 5\n");
  getTimestamp(jiffies, ticks);
  EXPECT_EQ(jiffies, 1200u);
  EXPECT_EQ(ticks, 12000u);
}

TEST(Timestamp, MissingFileOrValueGivesZero) {
  TempRoot root;
  std::uint64_t jiffies = 7;
  std::uint64_t ticks = 7;
  getTimestamp(jiffies, ticks);
  EXPECT_EQ(jiffies, 0u);
  EXPECT_EQ(ticks, 0u);
  root.Write("/proc/uptime", "nonsense here\n");
  jiffies = ticks = 7;
  getTimestamp(jiffies, ticks);
  EXPECT_EQ(jiffies, 0u);
  EXPECT_EQ(ticks, 0u);
  root.Write("/proc/uptime", "123.45\n");  // no blank: no line found
  jiffies = ticks = 7;
  getTimestamp(jiffies, ticks);
  EXPECT_EQ(jiffies, 0u);
}

TEST(ProcText, OnlyTheBlankSeparatesWords) {
  const auto words = perf::BlankWords("  a\tb  c ");
  ASSERT_EQ(words.size(), 2u);
  EXPECT_EQ(words[0], "a\tb");
  EXPECT_EQ(words[1], "c");
  EXPECT_TRUE(perf::BlankWords("   ").empty());
  EXPECT_EQ(perf::SpaceTokens(" a\tb\n").size(), 2u);
}

TEST(ProcText, NumbersAreCheckedAndNeverOverflow) {
  EXPECT_EQ(perf::LeadingDecimal("1234kB"), 1234u);
  EXPECT_EQ(perf::LeadingDecimal("-5"), 0u);
  EXPECT_EQ(perf::LeadingDecimal("18446744073709551615"), UINT64_MAX);
  EXPECT_EQ(perf::LeadingDecimal("99999999999999999999999"), UINT64_MAX);
  EXPECT_EQ(perf::WholeDecimal("12x"), std::nullopt);
  EXPECT_EQ(perf::WholeDecimal(""), std::nullopt);
  EXPECT_EQ(perf::WholeDecimal("5000000000"), 5000000000u);

  std::array<std::uint64_t, 4> out{};
  EXPECT_EQ(perf::ScanDecimals(" 1 2\t3 x 4", out), 3u);
  EXPECT_EQ(out[2], 3u);
  EXPECT_EQ(perf::ScanDecimals("7 8abc 9", out), 2u);
  EXPECT_EQ(perf::ScanDecimals("1 2 3 4 5", out), 4u);
}

TEST(ProcText, LineFileReadsWholeLines) {
  TempRoot root;
  const std::string longLine(5000, 'z');
  root.Write("/f", "short\n" + longLine + "\nlast");
  perf::LineFile file("/f");
  std::string line;
  ASSERT_TRUE(file.next(line));
  EXPECT_EQ(line, "short");
  ASSERT_TRUE(file.next(line));
  EXPECT_EQ(line, longLine);
  ASSERT_TRUE(file.next(line));
  EXPECT_EQ(line, "last");
  EXPECT_FALSE(file.next(line));
  EXPECT_EQ(file.close(), 0);
  EXPECT_FALSE(perf::LineFile("/absent").isOpen());
}

// The descriptor this process holds open on `path`, or -1.
int OpenDescriptorOf(const std::filesystem::path& path) {
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    if (std::filesystem::read_symlink(entry.path(), ec) == path)
      return std::stoi(entry.path().filename().string());
  }
  return -1;
}

// A program the provider's host runs must not inherit the /proc files it reads.
TEST(ProcText, FilesAreOpenedCloseOnExec) {
  TempRoot root;
  root.Write("/proc/meminfo", "MemTotal: 1 kB\n");
  const auto real = root.Path() / "proc/meminfo";

  perf::LineFile file("/proc/meminfo");
  ASSERT_TRUE(file.isOpen());
  const int fd = OpenDescriptorOf(real);
  ASSERT_GE(fd, 0);
  EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);

  int flags = -1;  // looked at while FindPiece holds the file open
  perf::FindPiece("/proc/meminfo", [&](std::string_view) {
    const int open = OpenDescriptorOf(real);
    flags = open < 0 ? -1 : ::fcntl(open, F_GETFD);
    return true;
  });
  ASSERT_GE(flags, 0);
  EXPECT_NE(flags & FD_CLOEXEC, 0);
}

}  // namespace
