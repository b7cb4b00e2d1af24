#include "base/connect.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>

#include "base/fdio.h"

namespace mgmt::base {
namespace {

using SteadyClock = std::chrono::steady_clock;

int MillisecondsUntil(SteadyClock::time_point deadline) {
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
  if (left <= 0) return 0;
  return left > 0x7fffffff ? 0x7fffffff : static_cast<int>(left);
}

void Fail(std::string* error, int err, const std::string& what) {
  if (error != nullptr) *error = what;
  errno = err;
}

/// Waits until a non-blocking connect on `fd` finished; 0 or the error it ended with.
int FinishConnect(int fd, SteadyClock::time_point deadline) {
  while (true) {
    pollfd p{fd, POLLOUT, 0};
    const int n = ::poll(&p, 1, MillisecondsUntil(deadline));
    if (n == 0) return ETIMEDOUT;
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return errno;
    return err;
  }
}

UniqueFd TryAddress(const addrinfo& ai, SteadyClock::time_point deadline, int& err) {
  UniqueFd fd(MoveAboveStdio(
      ::socket(ai.ai_family, ai.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai.ai_protocol)));
  if (!fd.Valid()) {
    err = errno;
    return fd;
  }
  if (::connect(fd.Get(), ai.ai_addr, ai.ai_addrlen) != 0) {
    err = errno == EINPROGRESS ? FinishConnect(fd.Get(), deadline) : errno;
    if (err != 0) return UniqueFd();
  }
  const int flags = ::fcntl(fd.Get(), F_GETFL);
  ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);
  const int one = 1;
  ::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  err = 0;
  return fd;
}

void SetSendTimeout(int fd, std::chrono::milliseconds timeout) {
  const auto ms = timeout.count() < 0 ? 0 : timeout.count();
  const timeval tv{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>(ms % 1000 * 1000)};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

}  // namespace

UniqueFd ConnectTcp(const std::string& host, unsigned port, std::chrono::milliseconds timeout,
                    std::string* error) {
  const auto deadline = SteadyClock::now() + timeout;
  if (port > 65535) {
    Fail(error, EINVAL, "bad port " + std::to_string(port));
    return UniqueFd();
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port);
  const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
  if (rc != 0) {
    Fail(error, EHOSTUNREACH, "cannot resolve " + host + ": " + ::gai_strerror(rc));
    return UniqueFd();
  }
  int err = EHOSTUNREACH;
  UniqueFd fd;
  for (const addrinfo* ai = list; ai != nullptr && !fd.Valid(); ai = ai->ai_next) {
    fd = TryAddress(*ai, deadline, err);
    if (err == ETIMEDOUT) break;  // the time is spent: later addresses get none
  }
  ::freeaddrinfo(list);
  if (!fd.Valid()) {
    Fail(error, err,
         host + ":" + service + ": " +
             (err == ETIMEDOUT ? std::string("connection timed out") : std::strerror(err)));
  }
  return fd;
}

UniqueFd ConnectUnix(const std::string& path, std::chrono::milliseconds timeout,
                     std::string* error) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof addr.sun_path) {
    Fail(error, path.empty() ? ENOENT : ENAMETOOLONG, "socket path empty or too long: " + path);
    return UniqueFd();
  }
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  UniqueFd fd(MoveAboveStdio(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)));
  if (!fd.Valid()) {
    Fail(error, errno, std::string("socket: ") + std::strerror(errno));
    return fd;
  }
  // A blocking connect to a Unix socket whose accept queue is full waits for room,
  // as long as the socket's send time-out allows; it then fails with EAGAIN.
  const auto deadline = SteadyClock::now() + timeout;
  while (true) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
    if (left.count() <= 0) {
      Fail(error, ETIMEDOUT, path + ": connection timed out");
      return UniqueFd();
    }
    SetSendTimeout(fd.Get(), left);
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) break;
    if (errno == EINTR) continue;
    const int err = errno == EAGAIN ? ETIMEDOUT : errno;
    Fail(error, err, path + ": " + std::strerror(err));
    return UniqueFd();
  }
  SetSendTimeout(fd.Get(), std::chrono::milliseconds(0));
  return fd;
}

}  // namespace mgmt::base
