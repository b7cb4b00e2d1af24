#include "net/Socket.h"

#include "net/Tls.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace mgmt::net {

Fd& Fd::operator=(Fd&& o) noexcept {
  if (this != &o) reset(o.release());
  return *this;
}

Fd::~Fd() { reset(); }

void Fd::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

namespace {

int msUntil(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  if (left.count() <= 0) return 0;
  if (left.count() > 0x7fffffff) return 0x7fffffff;
  return static_cast<int>(left.count());
}

// Waits for `events` on fd; false on time-out or poll failure.
bool waitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    int r = ::poll(&p, 1, msUntil(deadline));
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

}  // namespace

Stream::Stream(Fd fd) : fd_(std::move(fd)) {}
Stream::Stream(Fd fd, std::unique_ptr<TlsSession> tls) : tls_(std::move(tls)), fd_(std::move(fd)) {}
Stream::Stream(Stream&&) noexcept = default;
Stream& Stream::operator=(Stream&&) noexcept = default;
Stream::~Stream() = default;

namespace {
// recv/send results shared by plain and TLS transfers: a byte count, or one of these.
constexpr long kClosed = 0, kError = -1, kWantRead = -2, kWantWrite = -3;
static_assert(kClosed == TlsSession::kClosed && kError == TlsSession::kError &&
              kWantRead == TlsSession::kWantRead && kWantWrite == TlsSession::kWantWrite);
}  // namespace

long Stream::rawRecv(char* buf, std::size_t n) {
  if (tls_) return tls_->recv(buf, n);
  for (;;) {
    ssize_t r = ::recv(fd_.get(), buf, n, MSG_DONTWAIT);
    if (r >= 0) return static_cast<long>(r);
    if (errno == EINTR) continue;
    return (errno == EAGAIN || errno == EWOULDBLOCK) ? kWantRead : kError;
  }
}

long Stream::rawSend(const char* buf, std::size_t n) {
  if (tls_) return tls_->send(buf, n);
  for (;;) {
    ssize_t r = ::send(fd_.get(), buf, n, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (r > 0) return static_cast<long>(r);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return kWantWrite;
    return (r < 0 && (errno == EPIPE || errno == ECONNRESET)) ? kClosed : kError;
  }
}

bool Stream::waitReadable(Clock::time_point deadline) {
  if (hasBuffered() || (tls_ && tls_->pending())) return true;
  return waitFor(fd_.get(), POLLIN, deadline);
}

IoStatus Stream::fill(Clock::time_point deadline) {
  if (pos_ > 0 && pos_ == buf_.size()) {
    buf_.clear();
    pos_ = 0;
  }
  char tmp[16384];
  for (;;) {
    long n = rawRecv(tmp, sizeof tmp);
    if (n > 0) {
      buf_.append(tmp, static_cast<std::size_t>(n));
      return IoStatus::Ok;
    }
    if (n == kClosed) return IoStatus::Closed;
    if (n == kError) return IoStatus::Error;
    if (!waitFor(fd_.get(), n == kWantRead ? POLLIN : POLLOUT, deadline)) return IoStatus::TimedOut;
  }
}

IoStatus Stream::readLine(std::string& line, std::size_t maxLen, Clock::time_point deadline) {
  line.clear();
  std::size_t scanned = pos_;
  for (;;) {
    auto nl = buf_.find('\n', scanned);
    if (nl != std::string::npos) {
      if (nl - pos_ > maxLen) return IoStatus::Error;
      line.assign(buf_, pos_, nl - pos_);
      pos_ = nl + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return IoStatus::Ok;
    }
    if (buf_.size() - pos_ > maxLen) return IoStatus::Error;
    scanned = buf_.size();
    // Compact before growing so a long keep-alive session does not accumulate.
    if (pos_ > 0) {
      buf_.erase(0, pos_);
      scanned -= pos_;
      pos_ = 0;
    }
    IoStatus s = fill(deadline);
    if (s != IoStatus::Ok) return s;
  }
}

IoStatus Stream::readExact(std::string& out, std::size_t n, Clock::time_point deadline) {
  // The caller has already bounded n; growing in one step avoids a cascade of
  // large reallocations for megabyte bodies.
  out.reserve(out.size() + n);
  while (n > 0) {
    if (pos_ == buf_.size()) {
      IoStatus s = fill(deadline);
      if (s != IoStatus::Ok) return s;
    }
    std::size_t take = std::min(n, buf_.size() - pos_);
    out.append(buf_, pos_, take);
    pos_ += take;
    n -= take;
  }
  return IoStatus::Ok;
}

IoStatus Stream::readToEnd(std::string& out, std::size_t maxLen, Clock::time_point deadline) {
  for (;;) {
    std::size_t take = buf_.size() - pos_;
    if (out.size() + take > maxLen) return IoStatus::Error;
    out.append(buf_, pos_, take);
    pos_ = buf_.size();
    IoStatus s = fill(deadline);
    if (s == IoStatus::Closed) return IoStatus::Ok;
    if (s != IoStatus::Ok) return s;
  }
}

IoStatus Stream::writeAll(std::string_view data, Clock::time_point deadline) {
  while (!data.empty()) {
    long n = rawSend(data.data(), data.size());
    if (n > 0) {
      data.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n == kClosed) return IoStatus::Closed;
    if (n == kError) return IoStatus::Error;
    if (!waitFor(fd_.get(), n == kWantRead ? POLLIN : POLLOUT, deadline)) return IoStatus::TimedOut;
  }
  return IoStatus::Ok;
}

Fd connectTcp(const std::string& host, unsigned port, Clock::time_point deadline,
              std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  const std::string service = std::to_string(port);
  int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &res);
  if (rc != 0) {
    error = std::string("cannot resolve ") + host + ": " + gai_strerror(rc);
    return Fd();
  }
  error = "no address for " + host;
  Fd result;
  for (addrinfo* ai = res; ai != nullptr; ai = ai->ai_next) {
    Fd fd(::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol));
    if (!fd.valid()) {
      error = std::strerror(errno);
      continue;
    }
    if (::connect(fd.get(), ai->ai_addr, ai->ai_addrlen) != 0) {
      if (errno != EINPROGRESS) {
        error = std::strerror(errno);
        continue;
      }
      if (!waitFor(fd.get(), POLLOUT, deadline)) {
        error = "connection timed out";
        continue;
      }
      int soerr = 0;
      socklen_t len = sizeof soerr;
      ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &soerr, &len);
      if (soerr != 0) {
        error = std::strerror(soerr);
        continue;
      }
    }
    int one = 1;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    result = std::move(fd);
    error.clear();
    break;
  }
  ::freeaddrinfo(res);
  return result;
}

Fd connectUnix(const std::string& path, std::string& error) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) {
    error = "socket path too long: " + path;
    return Fd();
  }
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid() || ::connect(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    error = path + ": " + std::strerror(errno);
    return Fd();
  }
  return fd;
}

}  // namespace mgmt::net
