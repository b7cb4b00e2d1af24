#include "tcpconnect.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <cerrno>

namespace mgmt::imbd {

int ConnectTcp(const std::string& host, const std::string& port,
               std::chrono::milliseconds connectTimeout, std::chrono::milliseconds readSlice) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &list) != 0) {
    errno = EHOSTUNREACH;
    return -1;
  }
  int fd = -1;
  int err = ECONNREFUSED;
  for (addrinfo* ai = list; ai != nullptr && fd < 0; ai = ai->ai_next) {
    fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
    if (fd < 0) continue;
    int rc = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
    if (rc != 0 && errno == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      const int ms = static_cast<int>(connectTimeout.count());
      if (::poll(&p, 1, ms) == 1) {
        socklen_t len = sizeof(err);
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
        rc = err == 0 ? 0 : -1;
      } else {
        err = ETIMEDOUT;
      }
    } else if (rc != 0) {
      err = errno;
    }
    if (rc != 0) {
      ::close(fd);
      fd = -1;
    }
  }
  freeaddrinfo(list);
  if (fd < 0) {
    errno = err;
    return -1;
  }
  const int flags = fcntl(fd, F_GETFL);
  fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
  // Requests read without poll: a read gives up after this slice, and the
  // reader checks its deadline.
  timeval slice{static_cast<time_t>(readSlice.count() / 1000),
                static_cast<suseconds_t>(readSlice.count() % 1000 * 1000)};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &slice, sizeof(slice));
  return fd;
}

}  // namespace mgmt::imbd
