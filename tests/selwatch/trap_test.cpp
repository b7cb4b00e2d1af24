// The trap sender: trap.conf lines, and the SNMPv1 trap as it arrives on a
// loopback address of the test's own (port 162: the tests run as root).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ipmipet.h"
#include "pettrap.h"
#include "selwatch_fixture.h"
#include "support/net.h"

using namespace selwatch_test;
using mgmt::selwatch::ParseSinkLine;

namespace {

/// A UDP socket on ADDRESS:162, closed with the object.
class TrapReceiver {
 public:
  explicit TrapReceiver(const std::string& address) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(162);
    inet_pton(AF_INET, address.c_str(), &sin.sin_addr);
    bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&sin), sizeof(sin)) == 0;
  }
  ~TrapReceiver() { close(fd_); }
  bool Bound() const { return bound_; }
  /// The next datagram, waiting up to `ms`; empty when none came.
  Bytes Receive(int ms) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, ms) <= 0) return {};
    Bytes packet(2048);
    const ssize_t n = recv(fd_, packet.data(), packet.size(), 0);
    packet.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return packet;
  }

 private:
  int fd_ = -1;
  bool bound_ = false;
};

/// The trap a datagram carries, decoded by net-snmp.
struct Trap {
  std::string community;
  std::vector<oid> enterprise;
  long generic = -1;
  long specific = -1;
  std::vector<oid> variable;
  Bytes value;
};

std::optional<Trap> Decode(Bytes packet) {
  netsnmp_session session;
  snmp_sess_init(&session);
  session.version = SNMP_VERSION_1;
  netsnmp_pdu* pdu = snmp_pdu_create(0);
  if (snmp_parse(nullptr, &session, pdu, packet.data(), packet.size()) != 0 ||
      pdu->command != SNMP_MSG_TRAP || pdu->variables == nullptr) {
    snmp_free_pdu(pdu);
    return std::nullopt;
  }
  Trap trap;
  trap.community.assign(reinterpret_cast<char*>(pdu->community), pdu->community_len);
  trap.enterprise.assign(pdu->enterprise, pdu->enterprise + pdu->enterprise_length);
  trap.generic = pdu->trap_type;
  trap.specific = pdu->specific_type;
  const netsnmp_variable_list* v = pdu->variables;
  trap.variable.assign(v->name, v->name + v->name_length);
  if (v->type == ASN_OCTET_STR) trap.value.assign(v->val.string, v->val.string + v->val_len);
  snmp_free_pdu(pdu);
  return trap;
}

class TrapTest : public SelwatchTest {
 protected:
  TrapTest() { mgmt::selwatch::InitTrapSender(); }
  void WriteTrapConf(const std::string& text) {
    const std::string dir = device_.Root() + "/usr/local/share/mgmtagent/agentconf";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/trap.conf") << text;
  }
};

}  // namespace

TEST(TrapSinkLine, SinkAddressesAndTheLinesThatAreSkipped) {
  std::string why;
  EXPECT_EQ(ParseSinkLine("trapsink 192.168.1.20", &why), "192.168.1.20");
  EXPECT_EQ(ParseSinkLine("trapsink nms.example", &why), "nms.example");
  EXPECT_EQ(ParseSinkLine("#trapsink 10.0.0.1", &why), std::nullopt);
  EXPECT_TRUE(why.empty());
  EXPECT_EQ(ParseSinkLine("  trapsink 10.0.0.3", &why), std::nullopt);
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(ParseSinkLine("trapsink", &why), std::nullopt);
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(ParseSinkLine("trapsink -v", &why), std::nullopt);
  EXPECT_NE(why.find('-'), std::string::npos);
  EXPECT_EQ(ParseSinkLine("trapsink 123456789012345", &why), "123456789012345");
  EXPECT_EQ(ParseSinkLine("trapsink 1234567890123456", &why), std::nullopt);
  EXPECT_NE(why.find("15"), std::string::npos);
  EXPECT_EQ(ParseSinkLine("community public", &why), std::nullopt);
  EXPECT_TRUE(why.empty());
}

TEST_F(TrapTest, OneTrapPerUsableSinkLineWithTheBlockWhole) {
  const std::string commented = mgmt::test::UnusedLoopbackAddress(162);
  const std::string sink = mgmt::test::UnusedLoopbackAddress(162);
  TrapReceiver skipped(commented);
  TrapReceiver receiver(sink);
  if (!skipped.Bound() || !receiver.Bound()) GTEST_SKIP() << "cannot bind port 162 (not root?)";
  WriteTrapConf("#trapsink " + commented + "\n  trapsink " + commented +
                "\ntrapsink -c\ntrapsink \n" + "trapsink " + sink + "\n");

  // A 110-byte block: the longest there is.
  mgmt::selwatch::PetEvent event;
  event.severity = kPetSeverityCritical;
  event.oemField = mgmt::selwatch::SensorNameField(std::string(70, 'n').c_str());
  Bytes block = mgmt::selwatch::EncodePetBlock(event);
  ASSERT_EQ(block.size(), 110u);
  handleEvent(block.data(), static_cast<int>(block.size()), 0x00010109);

  const auto trap = Decode(receiver.Receive(5000));
  ASSERT_TRUE(trap.has_value());
  EXPECT_EQ(trap->community, "tarpon");
  EXPECT_EQ(trap->enterprise, (std::vector<oid>{1, 3, 6, 1, 4, 1, 32473, 1, 1}));
  EXPECT_EQ(trap->generic, 6);
  EXPECT_EQ(trap->specific, 65801);
  EXPECT_EQ(trap->variable, (std::vector<oid>{1, 3, 6, 1, 4, 1, 32473, 1, 1, 1}));
  EXPECT_EQ(trap->value, block);
  EXPECT_TRUE(receiver.Receive(0).empty());
  EXPECT_TRUE(skipped.Receive(0).empty());
}

TEST_F(TrapTest, NoTrapConfMeansNoTrapAndAnUnreachableSinkDoesNotStopTheNext) {
  Bytes block(47, 0);
  handleEvent(block.data(), 47, 1);  // no file: nothing to do

  const std::string sink = mgmt::test::UnusedLoopbackAddress(162);
  TrapReceiver receiver(sink);
  if (!receiver.Bound()) GTEST_SKIP() << "cannot bind port 162 (not root?)";
  WriteTrapConf("trapsink no-such-host.invalid\ntrapsink " + sink + "\n");
  handleEvent(block.data(), 47, 2);
  const auto trap = Decode(receiver.Receive(5000));
  ASSERT_TRUE(trap.has_value());
  EXPECT_EQ(trap->specific, 2);
}
