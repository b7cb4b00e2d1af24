// Addresses and ports for tests that run side by side with other tests on the
// same machine: ports free right now, and loopback addresses of a test's own
// (all of 127.0.0.0/8 reaches this host), for peers whose port is fixed.
#ifndef MGMT_TESTS_SUPPORT_NET_H
#define MGMT_TESTS_SUPPORT_NET_H

#include <cstdint>
#include <string>

namespace mgmt::test {

/// A TCP (or UDP) port that nothing is bound to on `address` at the moment of
/// the call, chosen by the kernel. Prefer letting the server bind port 0 and
/// report it; use these for peers that must be told their port in advance.
/// Throws std::runtime_error when no port can be bound.
std::uint16_t FreeTcpPort(const std::string& address = "127.0.0.1");
std::uint16_t FreeUdpPort(const std::string& address = "127.0.0.1");

/// A random address in 127.0.0.0/8 other than 127.0.0.1 on which the given UDP
/// and TCP ports (0: not needed) can be bound right now, e.g. a trap receiver on
/// the fixed port 162 of an address no other test uses.
std::string UnusedLoopbackAddress(std::uint16_t udpPort = 0, std::uint16_t tcpPort = 0);

}  // namespace mgmt::test

#endif
