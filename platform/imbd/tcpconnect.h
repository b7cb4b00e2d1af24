// TCP connections to a BMC simulator.
#ifndef MGMT_IMBD_TCPCONNECT_H
#define MGMT_IMBD_TCPCONNECT_H

#include <chrono>
#include <string>

namespace mgmt::imbd {

/// Connects to HOST:PORT, waiting at most `connectTimeout` (a remote host that
/// drops packets must not stall reconnection or shutdown for minutes). The
/// socket is blocking, sends without delay, and a read gives up after
/// `readSlice`. A descriptor, or -1 with errno set.
int ConnectTcp(const std::string& host, const std::string& port,
               std::chrono::milliseconds connectTimeout, std::chrono::milliseconds readSlice);

}  // namespace mgmt::imbd

#endif
