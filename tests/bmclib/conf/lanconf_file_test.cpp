// The BMC configuration values and their files: the layouts written into empty
// files, reading them back, and rewriting a hand-edited file without losing its
// comments and unknown lines.
#include <gtest/gtest.h>

#include <cstring>

#include "conftest.h"
#include "imbchannel.h"
#include "imblanconf.h"

using conftest::ConfFiles;
using conftest::Golden;
using conftest::ReadFile;
using conftest::WriteFile;
using mgmt::test::TempRoot;

namespace {

class LanConfFile : public ::testing::Test {
 protected:
  TempRoot root_;
  ConfFiles files_{root_.Path()};
};

CChannelConf ExampleChannel() {
  CChannelConf channel(1);
  channel.SetIsChannel(true);
  channel.SetIPSource(1);
  channel.SetIPSourceCap(2);
  channel.SetIP("192.168.0.120");
  channel.SetMAC("00a0cc1b2c3d");
  channel.SetNetmask("255.255.255.0");
  channel.SetGatewayIP("192.168.0.1");
  channel.SetGatewayMAC("00a0cc000001");
  return channel;
}

}  // namespace

TEST_F(LanConfFile, EmptyFilesGetTheKnownLayouts) {
  CBMCLanConf conf;
  conf.SetAsrTimer(300);
  ASSERT_EQ(conf.Set2File(nullptr), 0);
  EXPECT_EQ(ReadFile(files_.IpmiConf()), Golden("ipmi.conf"));

  ASSERT_EQ(ExampleChannel().Set2File(nullptr), 0);
  EXPECT_EQ(ReadFile(files_.ChannelConf()), Golden("bmcchannel.conf"));
}

TEST_F(LanConfFile, ReadingBackGivesTheValuesWritten) {
  WriteFile(files_.ChannelConf(), Golden("bmcchannel.conf"));
  CChannelConf channel(1);
  ASSERT_EQ(channel.GetFromFile(nullptr), 0);
  EXPECT_TRUE(channel.GetIsChannel());
  EXPECT_FALSE(channel.GetLanRead());
  EXPECT_EQ(channel.GetIPSource(), 1);
  EXPECT_EQ(channel.GetIPSourceCap(), 2);
  EXPECT_STREQ(channel.GetIP(), "192.168.0.120");
  EXPECT_STREQ(channel.GetMAC(), "00a0cc1b2c3d");
  EXPECT_STREQ(channel.GetNetmask(), "255.255.255.0");
  EXPECT_STREQ(channel.GetGatewayIP(), "192.168.0.1");
  EXPECT_STREQ(channel.GetGatewayMAC(), "00a0cc000001");
  EXPECT_STREQ(channel.GetSupportRmcpPlus(), "false");

  WriteFile(files_.IpmiConf(), Golden("ipmi.conf.edited"));
  CBMCLanConf conf;
  ASSERT_EQ(conf.GetFromFile(nullptr), 0);
  EXPECT_TRUE(conf.GetBMCSendEvent());
  EXPECT_TRUE(conf.GetShutdownIfTempHigh());  // 7 reads as on
  EXPECT_TRUE(conf.GetAsrEnabled());
  EXPECT_EQ(conf.GetAsrTimer(), 600);
  EXPECT_EQ(conf.GetAsrAction(), 1);
  EXPECT_STREQ(conf.GetUserName(), "operator");
  EXPECT_STREQ(conf.GetAvailableRMCP1(), "RMCP");
  EXPECT_STREQ(conf.GetAvailableRMCP2(), "RMCP+");
  EXPECT_STREQ(conf.GetRMCPSupporting(), "RMCP+");
  EXPECT_STREQ(conf.GetRmtAdminSupport(), "IPMI");
  EXPECT_STREQ(conf.Targets().GetTargetIPAt(0), "10.0.0.9");
  EXPECT_STREQ(conf.Targets().GetTargetMACAt(0), "000C29ABCDEF");
  EXPECT_STREQ(conf.Targets().GetTargetIPAt(1), "");
  EXPECT_STREQ(conf.GetPassword(), "");

  // Keys missing from a file: the defaults of a new object.
  WriteFile(files_.IpmiConf(), "[Watchdog]\nAsrEnabled=1 \n");
  CBMCLanConf sparse;
  sparse.GetFromFile(nullptr);
  EXPECT_STREQ(sparse.GetRmtAdminSupport(), "NONE");
  EXPECT_STREQ(sparse.GetUserName(), "");
  EXPECT_EQ(sparse.GetAsrTimer(), 0);
}

TEST_F(LanConfFile, RewritingAHandEditedFileKeepsCommentsAndUnknownLines) {
  WriteFile(files_.IpmiConf(), Golden("ipmi.conf.edited"));
  CBMCLanConf conf;
  conf.GetFromFile(nullptr);
  conf.SetAsrEnabled(false);
  conf.Targets().SetTargetIPAt(1, "192.0.2.7");
  conf.SetPassword("secret");
  ASSERT_EQ(conf.Set2File(nullptr), 0);
  const std::string written = ReadFile(files_.IpmiConf());
  EXPECT_EQ(written, Golden("ipmi.conf.edited.out"));
  EXPECT_EQ(written.find("secret"), std::string::npos);
}

TEST_F(LanConfFile, AvailableRmcpsSplitAtTheFirstBlank) {
  struct Case {
    const char* value;
    const char* first;
    const char* second;
  };
  for (const Case& c : {Case{"RMCP RMCP+", "RMCP", "RMCP+"}, Case{"RMCP", "RMCP", ""},
                        Case{" ", "", ""}, Case{"A B C", "A", "B C"}}) {
    WriteFile(files_.IpmiConf(), std::string("[RMCPConfig]\nAvailableRMCPs=") + c.value + "\n");
    CBMCLanConf conf;
    conf.GetFromFile(nullptr);
    EXPECT_STREQ(conf.GetAvailableRMCP1(), c.first) << c.value;
    EXPECT_STREQ(conf.GetAvailableRMCP2(), c.second) << c.value;
  }
}

TEST_F(LanConfFile, MissingAndUnreadableFiles) {
  CBMCLanConf conf;
  conf.SetAsrEnabled(true);
  conf.GetFromFile(nullptr);  // no file: nothing read, nothing changed
  EXPECT_TRUE(conf.GetAsrEnabled());

  std::filesystem::create_directory(files_.IpmiConf());  // exists, cannot be read
  conf.GetFromFile(nullptr);
  EXPECT_TRUE(conf.GetAsrEnabled());
  EXPECT_EQ(conf.Set2File(nullptr), -1);
  EXPECT_TRUE(std::filesystem::is_directory(files_.IpmiConf()));
}

TEST_F(LanConfFile, InvalidAddressesAreNeverWritten) {
  CBMCLanConf conf;
  conf.Targets().SetTargetIPAt(0, "10.0.0");
  EXPECT_EQ(conf.Set2File(nullptr), -1);
  EXPECT_FALSE(std::filesystem::exists(files_.IpmiConf()));
  conf.Targets().SetTargetIPAt(0, "10.0.0.1");
  conf.Targets().SetTargetMACAt(0, "00:0c:29:ab:cd");
  EXPECT_EQ(conf.Set2File(nullptr), -1);
  EXPECT_FALSE(std::filesystem::exists(files_.IpmiConf()));

  // Placeholders mean "no target" and are written empty.
  conf.Targets().SetTargetIPAt(0, "255.255.255.255");
  conf.Targets().SetTargetMACAt(0, "000000000000");
  ASSERT_EQ(conf.Set2File(nullptr), 0);
  EXPECT_NE(ReadFile(files_.IpmiConf()).find("[Target_1]\nIP=\nMAC=\n"), std::string::npos);

  CChannelConf channel = ExampleChannel();
  channel.SetGatewayIP("192.168.0.256");
  EXPECT_EQ(channel.Set2File(nullptr), -1);
  channel = ExampleChannel();
  channel.SetIPSource(5);
  EXPECT_EQ(channel.Set2File(nullptr), -1);
  EXPECT_FALSE(std::filesystem::exists(files_.ChannelConf()));
}

TEST_F(LanConfFile, ChannelPresence) {
  // An all-F MAC marks a channel without a port, whatever IsChannel says.
  WriteFile(files_.ChannelConf(),
            "[Channel_2]\nIsChannel=1 \nMAC=FFFFFFFFFFFF\n\n[Channel_3]\nIsChannel=4 \n");
  CChannelConf two(2), three(3), four(4);
  two.GetFromFile(nullptr);
  three.GetFromFile(nullptr);
  four.GetFromFile(nullptr);
  EXPECT_FALSE(two.GetIsChannel());
  EXPECT_TRUE(three.GetIsChannel());
  EXPECT_FALSE(four.GetIsChannel());

  // An absent channel writes nothing; marking it absent writes only that.
  const std::string before = ReadFile(files_.ChannelConf());
  EXPECT_EQ(two.Set2File(nullptr), 0);
  EXPECT_EQ(ReadFile(files_.ChannelConf()), before);
  ASSERT_EQ(four.MarkAbsentInFile(nullptr), 0);
  EXPECT_EQ(ReadFile(files_.ChannelConf()), before + "[Channel_4]\nIsChannel=0 \n\n");
}

TEST_F(LanConfFile, TargetsReachOnlyChannelsReadFromTheBmc) {
  WriteFile(files_.IpmiConf(), Golden("ipmi.conf.edited"));
  CChannelConf channels[CBMCLanConf::kChannelCount];
  for (int i = 0; i < CBMCLanConf::kChannelCount; ++i) channels[i].SetChannel(i < 8 ? i : 15);
  channels[1].SetIsChannel(true);
  channels[1].SetLanRead(true);
  channels[2].SetIsChannel(true);  // from the file only
  CBMCLanConf conf;
  EXPECT_EQ(conf.GetFromFile(nullptr, channels), -1);
  EXPECT_STREQ(channels[1].Targets().GetTargetIPAt(0), "10.0.0.9");
  EXPECT_STREQ(channels[2].Targets().GetTargetIPAt(0), "");
}

TEST(EventTargets, SettersRefuseWhatDoesNotFit) {
  CEventTargets targets;
  EXPECT_TRUE(targets.SetTargetIPAt(2, "255.255.255.255"));  // 15 characters fit
  EXPECT_FALSE(targets.SetTargetIPAt(2, "1234567890123456"));
  EXPECT_STREQ(targets.GetTargetIPAt(2), "255.255.255.255");
  EXPECT_FALSE(targets.SetTargetIPAt(3, "10.0.0.1"));
  EXPECT_FALSE(targets.SetTargetIPAt(-1, "10.0.0.1"));
  EXPECT_EQ(targets.GetTargetIPAt(3), nullptr);
  EXPECT_TRUE(targets.SetTargetMACAt(0, "00:0c:29:ab:cd:ef"));  // 17 of 19
  EXPECT_FALSE(targets.SetTargetMACAt(0, "00:0c:29:ab:cd:ef:01"));
  EXPECT_STREQ(targets.GetTargetMACAt(0), "00:0c:29:ab:cd:ef");
}
