// The built-in CIM_NetworkAdapter provider, on a fixture root and on this machine.
#include "HostFixture.h"
#include "NetInterfaces.h"
#include "support/temp_dir.h"

#include <Pegasus/Common/CIMProperty.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include <unistd.h>

using namespace Pegasus;
using namespace mgmt::cimom;
using cimomtest::CimError;

namespace {

namespace fs = std::filesystem;

std::string Str(const CIMInstance& inst, const char* name) {
  Uint32 at = inst.findProperty(CIMName(name));
  if (at == PEG_NOT_FOUND) return "<absent>";
  String s;
  inst.getProperty(at).getValue().get(s);
  return ToStd(s);
}

std::vector<std::string> Addresses(const CIMInstance& inst) {
  std::vector<std::string> out;
  Uint32 at = inst.findProperty(CIMName("NetworkAddresses"));
  if (at == PEG_NOT_FOUND) return out;
  Array<String> list;
  inst.getProperty(at).getValue().get(list);
  for (Uint32 i = 0; i < list.size(); ++i) out.push_back(ToStd(list[i]));
  return out;
}

/// Output of a fixed command line (no data from outside goes into it).
std::string CommandOutput(const char* command) {
  std::string out;
  if (FILE* p = popen(command, "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

TEST(NetInterfaces, NormalisesMacAddresses) {
  EXPECT_EQ(NormaliseMac("52:54:00:ab:CD:ef"), "525400ABCDEF");
  EXPECT_EQ(NormaliseMac("00:00:00:00:00:00"), "000000000000");
  EXPECT_EQ(NormaliseMac(""), "");
  EXPECT_EQ(NormaliseMac("52:54:00:ab:cd"), "");
  EXPECT_EQ(NormaliseMac("52:54:00:ab:cd:ef:01"), "");
  EXPECT_EQ(NormaliseMac("52-54-00-ab-cd-ef"), "");
  EXPECT_EQ(NormaliseMac("zz:54:00:ab:cd:ef"), "");
}

TEST(NetInterfaces, ParsesIpAddrOutput) {
  auto pairs = ParseIpAddrOutput(
      "1: lo    inet 127.0.0.1/8 scope host lo\\       valid_lft forever\n"
      "1: lo    inet6 ::1/128 scope host \\       valid_lft forever\n"
      "5: veth0@if4    inet 10.1.0.1/24 brd 10.1.0.255 scope global veth0\n"
      "6: bad    inet 300.1.1.1/24\n"
      "garbage\n");
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[0], std::make_pair(std::string("lo"), std::string("127.0.0.1")));
  EXPECT_EQ(pairs[1], std::make_pair(std::string("veth0"), std::string("10.1.0.1")));
}

class NetworkAdapterTest : public cimomtest::HostFixture {
 protected:
  void TearDown() override {
    fixture_.reset();
    HostFixture::TearDown();
  }

  /// A fresh folder that is the installation root until the test ends.
  void MakeRoot(const char* prefix) {
    fixture_.emplace(prefix);
    root_ = fixture_->Path();
  }

  void MakeFixtureRoot() {
    MakeRoot("cimom-netroot");
    const struct {
      const char* name;
      const char* address;
      const char* index;
    } ifaces[] = {{"eth7", "52:54:00:ab:cd:ef\n", "3"},
                  {"lo", "00:00:00:00:00:00\n", "1"},
                  {"tun0", "\n", "9"}};
    for (const auto& i : ifaces) {
      fs::create_directories(root_ / "sys/class/net" / i.name);
      std::ofstream(root_ / "sys/class/net" / i.name / "address") << i.address;
      std::ofstream(root_ / "sys/class/net" / i.name / "ifindex") << i.index << "\n";
    }
    fs::create_directories(root_ / "run/mgmtagent");
    std::ofstream(root_ / "run/mgmtagent/ifaddrs")
        << "1: lo    inet 127.0.0.1/8 scope host lo\\       valid_lft forever preferred_lft "
           "forever\n"
           "3: eth7    inet 10.0.0.5/24 brd 10.0.0.255 scope global eth7\\       valid_lft "
           "forever\n"
           "3: eth7    inet6 fe80::1/64 scope link \\       valid_lft forever\n"
           "3: eth7    inet 10.0.1.5/24 brd 10.0.1.255 scope global secondary eth7\n";
    fs::create_directories(root_ / "proc/sys/kernel");
    std::ofstream(root_ / "proc/sys/kernel/hostname") << "fixture-host\n";
  }

  std::optional<mgmt::test::TempRoot> fixture_;
  fs::path root_;
};

TEST_F(NetworkAdapterTest, OneInstancePerInterfaceOfTheFixtureRoot) {
  MakeFixtureRoot();
  Array<CIMInstance> found = host_->EnumerateInstances(ctx_, ns_, CIMName("CIM_NetworkAdapter"));
  ASSERT_EQ(found.size(), 3u);
  // Ordered by interface index.
  EXPECT_EQ(Str(found[0], "DeviceID"), "lo");
  EXPECT_EQ(Str(found[1], "DeviceID"), "eth7");
  EXPECT_EQ(Str(found[2], "DeviceID"), "tun0");
  EXPECT_EQ(Str(found[0], "MACAddress"), "000000000000");
  EXPECT_EQ(Str(found[1], "MACAddress"), "525400ABCDEF");
  EXPECT_EQ(Str(found[2], "MACAddress"), "");
  EXPECT_EQ(Addresses(found[0]), (std::vector<std::string>{"127.0.0.1"}));
  EXPECT_EQ(Addresses(found[1]), (std::vector<std::string>{"10.0.0.5", "10.0.1.5"}));
  EXPECT_TRUE(Addresses(found[2]).empty());
  EXPECT_EQ(Str(found[1], "SystemName"), "fixture-host");
  EXPECT_EQ(Str(found[1], "CreationClassName"), "CIM_NetworkAdapter");
  EXPECT_EQ(Str(found[1], "SystemCreationClassName"), "CIM_ComputerSystem");
  EXPECT_EQ(ToStd(found[1].getPath().toString()),
            "CIM_NetworkAdapter.CreationClassName=\"CIM_NetworkAdapter\",DeviceID=\"eth7\","
            "SystemCreationClassName=\"CIM_ComputerSystem\",SystemName=\"fixture-host\"");

  // The names are the instances' paths, and each leads back to its instance,
  // also when the client adds its host and namespace.
  Array<CIMObjectPath> names =
      host_->EnumerateInstanceNames(ctx_, ns_, CIMName("CIM_NetworkAdapter"));
  ASSERT_EQ(names.size(), 3u);
  CIMObjectPath eth7 = names[1];
  eth7.setHost("cimserver.example");
  eth7.setNameSpace(ns_);
  EXPECT_EQ(Addresses(host_->GetInstance(ctx_, ns_, eth7)),
            (std::vector<std::string>{"10.0.0.5", "10.0.1.5"}));

  // Found through its superclasses, not through its subclasses.
  EXPECT_EQ(host_->EnumerateInstances(ctx_, ns_, CIMName("CIM_LogicalDevice")).size(), 3u);
  EXPECT_EQ(host_->EnumerateInstances(ctx_, ns_, CIMName("CIM_EthernetAdapter")).size(), 0u);

  CIMObjectPath gone(
      "CIM_NetworkAdapter.CreationClassName=\"CIM_NetworkAdapter\",DeviceID=\"eth9\","
      "SystemCreationClassName=\"CIM_ComputerSystem\",SystemName=\"fixture-host\"");
  EXPECT_EQ(CimError([&] { host_->GetInstance(ctx_, ns_, gone); }).first, CIM_ERR_NOT_FOUND);
  EXPECT_EQ(
      CimError([&] { host_->DeleteInstance(ctx_, ns_, gone); }),
      std::make_pair(CIM_ERR_NOT_SUPPORTED, std::string("CIM_NetworkAdapter::deleteInstance")));

  // What the BMC library's discovery asks for: the property list it reads.
  Array<CIMName> wanted;
  wanted.append(CIMName("MACAddress"));
  wanted.append(CIMName("NetWorkAddresses"));
  Array<CIMInstance> slim = host_->EnumerateInstances(
      ctx_, ns_, CIMName("CIM_NetworkAdapter"), true, true, false, false, CIMPropertyList(wanted));
  ASSERT_EQ(slim.size(), 3u);
  EXPECT_EQ(slim[1].getPropertyCount(), 2u);
}

TEST_F(NetworkAdapterTest, StagedRootWithoutAFixtureReportsLiveAddresses) {
  // An installation staged under a root (as the demo does) whose /sys is this
  // machine's and which holds no address fixture: the live addresses apply.
  MakeRoot("cimom-staged");
  fs::create_directory_symlink("/sys", root_ / "sys");
  Array<CIMInstance> found = host_->EnumerateInstances(ctx_, ns_, CIMName("CIM_NetworkAdapter"));
  bool loopbackSeen = false;
  for (Uint32 i = 0; i < found.size(); ++i) {
    if (Str(found[i], "DeviceID") != "lo") continue;
    loopbackSeen = true;
    const std::vector<std::string> ips = Addresses(found[i]);
    EXPECT_NE(std::find(ips.begin(), ips.end(), "127.0.0.1"), ips.end());
  }
  EXPECT_TRUE(loopbackSeen);
}

TEST_F(NetworkAdapterTest, MatchesIpOnThisMachine) {
  const mgmt::test::ScopedEnv noRoot("MGMTAGENT_ROOT", std::nullopt);
  std::string links = CommandOutput("ip -o link 2>/dev/null");
  std::string addrs = CommandOutput("ip -o addr 2>/dev/null");
  if (links.empty()) GTEST_SKIP() << "ip is not available";

  // "N: name[@peer]: <...> ... link/ether aa:bb:cc:dd:ee:ff brd ..."
  std::map<std::string, std::string> macByName;
  std::istringstream lines(links);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string index, name, word;
    words >> index >> name;
    if (!name.empty() && name.back() == ':') name.pop_back();
    if (size_t at = name.find('@'); at != std::string::npos) name.resize(at);
    std::string mac;
    while (words >> word) {
      if (word.rfind("link/", 0) == 0) {
        words >> mac;
        break;
      }
    }
    macByName[name] = NormaliseMac(mac);
  }
  std::map<std::string, std::vector<std::string>> ipv4ByName;
  for (auto& [name, address] : ParseIpAddrOutput(addrs)) ipv4ByName[name].push_back(address);

  Array<CIMInstance> found = host_->EnumerateInstances(ctx_, ns_, CIMName("CIM_NetworkAdapter"));
  std::set<std::string> seen;
  for (Uint32 i = 0; i < found.size(); ++i) {
    std::string name = Str(found[i], "DeviceID");
    seen.insert(name);
    ASSERT_TRUE(macByName.count(name)) << name << " is not listed by ip";
    EXPECT_EQ(Str(found[i], "MACAddress"), macByName[name]) << name;
    std::vector<std::string> expected = ipv4ByName[name];
    std::vector<std::string> got = Addresses(found[i]);
    std::sort(expected.begin(), expected.end());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, expected) << name;
  }
  for (const auto& [name, mac] : macByName)
    EXPECT_TRUE(seen.count(name)) << name << " has no instance";
}

}  // namespace
