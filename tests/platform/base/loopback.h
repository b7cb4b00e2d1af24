// A TCP socket bound to a free port on 127.0.0.1, listening or not, for the
// connect and accept tests.
#ifndef MGMT_TESTS_PLATFORM_BASE_LOOPBACK_H
#define MGMT_TESTS_PLATFORM_BASE_LOOPBACK_H

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <optional>

#include "base/fd.h"

/// Listens with `backlog`; without one, the port is only held (nothing answers).
struct LoopbackPort {
  explicit LoopbackPort(std::optional<int> backlog) {
    fd.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    EXPECT_EQ(::bind(fd.Get(), reinterpret_cast<sockaddr*>(&addr), len), 0);
    if (backlog) {
      EXPECT_EQ(::listen(fd.Get(), *backlog), 0);
    }
    ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
  }
  mgmt::base::UniqueFd fd;
  unsigned port = 0;
};

#endif
