#include "support/net.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>
#include <stdexcept>

namespace mgmt::test {

namespace {

// Binds a socket of `type` to address:port; returns the bound port, or 0.
std::uint16_t TryBind(int type, const std::string& address, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  if (::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) {
    throw std::runtime_error("not an IPv4 address: " + address);
  }
  const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  std::uint16_t bound = 0;
  socklen_t len = sizeof sa;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) == 0) {
    bound = ntohs(sa.sin_port);
  }
  ::close(fd);
  return bound;
}

std::uint16_t FreePort(int type, const std::string& address) {
  const std::uint16_t port = TryBind(type, address, 0);
  if (port == 0) throw std::runtime_error("no free port on " + address);
  return port;
}

}  // namespace

std::uint16_t FreeTcpPort(const std::string& address) { return FreePort(SOCK_STREAM, address); }
std::uint16_t FreeUdpPort(const std::string& address) { return FreePort(SOCK_DGRAM, address); }

std::string UnusedLoopbackAddress(std::uint16_t udpPort, std::uint16_t tcpPort) {
  std::random_device seed;
  std::mt19937 random(seed());
  std::uniform_int_distribution<int> octet(1, 254);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string address = "127." + std::to_string(octet(random)) + "." +
                                std::to_string(octet(random)) + "." + std::to_string(octet(random));
    if (udpPort != 0 && TryBind(SOCK_DGRAM, address, udpPort) == 0) continue;
    if (tcpPort != 0 && TryBind(SOCK_STREAM, address, tcpPort) == 0) continue;
    return address;
  }
  throw std::runtime_error("no loopback address with the ports free");
}

}  // namespace mgmt::test
