// Host network discovery against fixture files under the installation root and
// a stand-in ping first in PATH (no real ping, no shell, no files left in the
// working directory).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "conftest.h"
#include "getsysconf.h"
#include "support/stand_ins.h"

using conftest::ReadFile;
using conftest::WriteFile;
using namespace std::chrono_literals;

namespace {

class HostNet : public ::testing::Test {
 protected:
  void SetUp() override { cwdBefore_ = Listing(std::filesystem::current_path()); }
  void TearDown() override { EXPECT_EQ(Listing(std::filesystem::current_path()), cwdBefore_); }
  static std::vector<std::string> Listing(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
      names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::vector<std::vector<std::string>> Pings() const { return commands_.Calls("ping"); }

  mgmt::test::TempRoot root_;
  mgmt::test::StandInCommands commands_{{"ping"}};
  std::vector<std::string> cwdBefore_;
};

constexpr const char* kArpHeader =
    "IP address       HW type     Flags       HW address            Mask     Device\n";

}  // namespace

TEST_F(HostNet, ArpTableGivesCompleteEntriesOnly) {
  WriteFile(root_.Path() / "proc/net/arp",
            std::string(kArpHeader) +
                "10.0.0.9         0x1         0x2         00:0c:29:ab:cd:ef     *        eth0\n"
                "10.0.0.8         0x1         0x0         00:00:00:00:00:00     *        eth0\n");
  char ip1[] = "10.0.0.9", ip2[] = "10.0.0.8", ip3[] = "10.0.0.7";
  char mac1[13] = "x", mac2[13] = "x", mac3[13] = "x";
  char* ips[] = {ip1, ip2, ip3, nullptr};
  char* macs[] = {mac1, mac2, nullptr, nullptr};
  ASSERT_EQ(getmacsbyip(ips, macs), 0);
  EXPECT_STREQ(mac1, "000C29ABCDEF");
  EXPECT_STREQ(mac2, "");   // incomplete
  EXPECT_STREQ(mac3, "x");  // not asked for

  std::filesystem::remove(root_.Path() / "proc/net/arp");
  EXPECT_EQ(getmacsbyip(ips, macs), -1);
}

TEST_F(HostNet, UnresolvedAddressesArePingedWithAnArgumentVector) {
  WriteFile(root_.Path() / "proc/net/arp",
            std::string(kArpHeader) +
                "10.0.0.9         0x1         0x2         00:0c:29:ab:cd:ef     *        eth0\n");
  char ip1[] = "10.0.0.9", ip2[] = "10.0.0.8", ip3[] = "10.0.0.1;id", ip4[] = "10.0.0.6";
  char mac1[13], mac2[13], mac3[13];
  char* ips[] = {ip1, ip2, ip3, ip4, nullptr};
  char* macs[] = {mac1, mac2, mac3, nullptr, nullptr};
  GetTrapTargetMacs(ips, macs, 4);
  EXPECT_STREQ(mac1, "000C29ABCDEF");
  EXPECT_STREQ(mac2, "");
  // Only the valid, unresolved address with a MAC buffer; the text with ";" is
  // not an address and never reaches a command.
  EXPECT_EQ(Pings(),
            (std::vector<std::vector<std::string>>{{"-c", "2", "-i", "1", "-w", "1", "10.0.0.8"}}));
}

TEST_F(HostNet, PingsThatHangAreKilledAndReaped) {
  const std::filesystem::path pids = root_.Path() / "ping.pids";
  mgmt::test::WriteFile(commands_.Dir() / "ping",
                        "#!/bin/sh\necho $$ >>'" + pids.string() + "'\nexec sleep 30\n");
  char ip1[] = "10.0.0.8", ip2[] = "10.0.0.7";
  char mac1[13] = "", mac2[13] = "";
  char* ips[] = {ip1, ip2, nullptr};
  char* macs[] = {mac1, mac2, nullptr};
  const auto start = std::chrono::steady_clock::now();
  mgmt::bmc::PingUnresolved(ips, macs, 300ms);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  std::istringstream started(mgmt::test::ReadFile(pids));
  int count = 0;
  for (pid_t pid; started >> pid; ++count) EXPECT_NE(kill(pid, 0), 0) << pid;  // gone, not a zombie
  EXPECT_LE(count, 2);
}

TEST_F(HostNet, DefaultGatewayFromTheRoutingTable) {
  const std::string header =
      "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
  WriteFile(root_.Path() / "proc/net/route",
            header +
                "eth1\t00000000\t0200000A\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
                "eth0\t00000000\t0100A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
                "eth0\t0000A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n");
  WriteFile(root_.Path() / "proc/net/arp",
            std::string(kArpHeader) +
                "192.168.0.1      0x1         0x2         00:a0:cc:00:00:01     *        eth0\n");
  char ip[16] = "unchanged", mac[13] = "unchanged";
  EXPECT_EQ(GetDefaultGateway(ip, sizeof ip, mac, sizeof mac), 0);
  EXPECT_STREQ(ip, "192.168.0.1");  // the lower metric
  EXPECT_STREQ(mac, "00A0CC000001");
  EXPECT_TRUE(Pings().empty());

  WriteFile(root_.Path() / "proc/net/route",
            header + "eth0\t0000A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n");
  std::strcpy(ip, "unchanged");
  std::strcpy(mac, "unchanged");
  EXPECT_EQ(GetDefaultGateway(ip, sizeof ip, mac, sizeof mac), 0);
  EXPECT_STREQ(ip, "unchanged");
  EXPECT_STREQ(mac, "unchanged");
}

TEST_F(HostNet, NetmasksMatchWholeAddresses) {
  WriteFile(root_.Path() / "run/mgmtagent/ifaddrs",
            "2: eth0    inet 10.0.0.12/24 brd 10.0.0.255 scope global eth0\n"
            "3: eth1    inet 10.0.0.1/16 brd 10.0.255.255 scope global eth1\n"
            "3: eth1    inet6 fe80::1/64 scope link\n");
  netconf_t adapters[4];
  std::memset(adapters, 0, sizeof adapters);
  std::strcpy(adapters[0].ip, "10.0.0.1");
  std::strcpy(adapters[0].mac, "525400000001");
  std::strcpy(adapters[1].ip, "10.9.9.9");
  std::strcpy(adapters[1].mac, "525400000002");
  GetNetMasks(adapters, 4);
  EXPECT_STREQ(adapters[0].netmask, "255.255.0.0");  // not the mask of 10.0.0.12
  EXPECT_STREQ(adapters[1].netmask, "");
}

TEST_F(HostNet, WithoutAnObjectManagerTheListIsEmpty) {
  netconf_t adapters[3];
  std::memset(adapters, 0x41, sizeof adapters);
  getNetcfg_OS(adapters, 3);
  EXPECT_STREQ(adapters[0].ip, "");
  EXPECT_STREQ(adapters[0].mac, "");
  EXPECT_EQ(DecideIPSourceTypeCapability("020000000020"), 1);
}
