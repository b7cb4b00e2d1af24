// Where writes land, and what the file looks like after a flush.
#include <climits>
#include <string>

#include "cfgtest.h"

namespace {

using CfgWrite = CfgTest;

TEST_F(CfgWrite, NewKeyGoesAfterTheSectionsLastLineBeforeBlankLines) {
  auto cfg = Open("[A]\na=1\n; about b\n\n\n[B]\nb=1\n");
  ASSERT_EQ(CfgWriteString(cfg.get(), "A", "c", "3"), 0);
  ASSERT_EQ(CfgFlush(cfg.get()), 0);
  EXPECT_EQ(Read("c.conf"), "[A]\na=1\n; about b\nc=3\n\n\n[B]\nb=1\n");
}

TEST_F(CfgWrite, MissingSectionIsAppendedWithABlankLine) {
  auto cfg = Open("; head\n[A]\na=1");
  ASSERT_EQ(CfgWriteString(cfg.get(), "A", "b", "2"), 0);  // after the last line: the new tail
  ASSERT_EQ(CfgWriteString(cfg.get(), "New", "x", "1"), 0);
  ASSERT_EQ(CfgWriteString(cfg.get(), "New", "y", "2"), 0);
  ASSERT_EQ(CfgWriteString(cfg.get(), "Next", "z", ""), 0);
  ASSERT_EQ(CfgFlush(cfg.get()), 0);
  EXPECT_EQ(Read("c.conf"), "; head\n[A]\na=1\nb=2\n[New]\nx=1\ny=2\n\n[Next]\nz=\n\n");
}

TEST_F(CfgWrite, ReplacingKeepsTheLineAndEverythingAroundIt) {
  const std::string before =
      "; top comment\r\n"
      "\r\n"
      "[Channel_1] ; note\r\n"
      "; IP comes next\r\n"
      "IP=10.0.0.1\r\n"
      "unknown line\r\n"
      "MAC=00a0cc1b2c3d\r\n";
  auto cfg = Open(before);
  ASSERT_EQ(CfgWriteString(cfg.get(), "Channel_1", "IP", "192.168.0.120"), 0);
  EXPECT_EQ(Get(cfg, "Channel_1", "IP"), "192.168.0.120");
  ASSERT_EQ(CfgFlush(cfg.get()), 0);
  // Line ends come back as plain LF.
  EXPECT_EQ(Read("c.conf"),
            "; top comment\n\n[Channel_1] ; note\n; IP comes next\nIP=192.168.0.120\n"
            "unknown line\nMAC=00a0cc1b2c3d\n");
}

TEST_F(CfgWrite, EmptyFileGetsTheChannelLayout) {
  CfgPtr cfg(CfgOpen(PathOf("bmcchannel.conf").c_str()));
  const long one = 1;
  const long two = 2;
  CfgWriteLongs(cfg.get(), "Channel_1", "IPSource", &one, 1, 10);
  CfgWriteLongs(cfg.get(), "Channel_1", "IpSourceCap", &two, 1, 10);
  ASSERT_EQ(CfgWriteString(cfg.get(), "Channel_1", "IP", "192.168.0.120"), 0);
  ASSERT_EQ(CfgWriteString(cfg.get(), "Channel_1", "SupportRmcp+", "false"), 0);
  ASSERT_EQ(CfgClose(cfg.release()), 0);
  EXPECT_EQ(Read("bmcchannel.conf"),
            "[Channel_1]\nIPSource=1 \nIpSourceCap=2 \nIP=192.168.0.120\nSupportRmcp+=false\n\n");
}

TEST_F(CfgWrite, NumberListsRoundTripInBothBases) {
  auto cfg = Open("");
  const long small[] = {1, 2, 3};
  CfgWriteLongs(cfg.get(), "S", "dec", small, 3, 10);
  EXPECT_EQ(Get(cfg, "S", "dec"), "1 2 3 ");
  const long hex[] = {0, 171};
  CfgWriteLongs(cfg.get(), "S", "hex", hex, 2, 16);
  EXPECT_EQ(Get(cfg, "S", "hex"), "0x0 0xAB ");
  CfgWriteLongs(cfg.get(), "S", "none", hex, 0, 10);
  EXPECT_EQ(Get(cfg, "S", "none"), "");

  const long edge[] = {-5, LONG_MAX, LONG_MIN, 0, 255};
  for (const int base : {10, 16}) {
    CfgWriteLongs(cfg.get(), "S", "edge", edge, 5, base);
    long back[5] = {};
    ASSERT_EQ(CfgReadLongs(cfg.get(), "S", "edge", back, 5), 0);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(back[i], edge[i]) << "base " << base << " index " << i;
  }
}

TEST_F(CfgWrite, ListLongerThanAValueLineIsNotWritten) {
  auto cfg = Open("[S]\nlist=1 \n");
  long many[20];
  for (long& v : many) v = LONG_MIN;  // 21 characters each: 420 in all
  CfgWriteLongs(cfg.get(), "S", "list", many, 20, 10);
  EXPECT_EQ(Get(cfg, "S", "list"), "1 ");
  CfgWriteLongs(cfg.get(), "S", "list", many, 12, 10);  // 252: fits
  EXPECT_EQ(Get(cfg, "S", "list").size(), 252u);
}

TEST_F(CfgWrite, TextThatWouldNotReadBackIsRefused) {
  const std::string before = "[S]\nk=1\n";
  auto cfg = Open(before);
  EXPECT_EQ(CfgWriteString(cfg.get(), "S", "k", "2\n[Evil]\nx=1"), 1);
  EXPECT_EQ(CfgWriteString(cfg.get(), "S", "k", "2\r"), 1);
  EXPECT_EQ(CfgWriteString(cfg.get(), "S", "a=b", "1"), 1);
  EXPECT_EQ(CfgWriteString(cfg.get(), "S", ";k", "1"), 1);
  EXPECT_EQ(CfgWriteString(cfg.get(), "S", "[k", "1"), 1);
  EXPECT_EQ(CfgWriteString(cfg.get(), "S", "", "1"), 1);
  EXPECT_EQ(CfgWriteString(cfg.get(), "S]x", "k", "1"), 1);
  EXPECT_EQ(CfgWriteString(cfg.get(), "", "k", "1"), 1);
  EXPECT_EQ(CfgWriteString(nullptr, "S", "k", "1"), 1);
  ASSERT_EQ(CfgFlush(cfg.get()), 0);
  EXPECT_EQ(Read("c.conf"), before);
}

}  // namespace
