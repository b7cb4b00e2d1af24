// Stream connections with a deadline: a peer that drops packets, or a local server
// whose queue is full, must not hold the caller for minutes.
#ifndef MGMT_BASE_CONNECT_H
#define MGMT_BASE_CONNECT_H

#include <chrono>
#include <string>

#include "base/fd.h"

namespace mgmt::base {

/// Connects to `host` (name or address) at `port`, trying each address the name
/// has until one answers, all within `timeout`. The socket is blocking,
/// close-on-exec, above the standard descriptors, and sends without delay
/// (TCP_NODELAY). On failure: an invalid UniqueFd, errno set (ETIMEDOUT when the
/// time ran out, EHOSTUNREACH when the name does not resolve) and, when `error` is
/// given, a message for the user.
UniqueFd ConnectTcp(const std::string& host, unsigned port, std::chrono::milliseconds timeout,
                    std::string* error = nullptr);

/// Connects to the Unix stream socket at `path`, waiting at most `timeout` for a
/// server whose accept queue is full. Blocking, close-on-exec, above the standard
/// descriptors. On failure as ConnectTcp (ENAMETOOLONG for a path that does not
/// fit a socket address).
UniqueFd ConnectUnix(const std::string& path, std::chrono::milliseconds timeout,
                     std::string* error = nullptr);

}  // namespace mgmt::base

#endif
