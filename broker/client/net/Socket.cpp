#include "net/Socket.h"

#include "net/Tls.h"

#include <poll.h>
#include <sys/socket.h>
#include <cerrno>

namespace mgmt::net {

namespace {

int MsUntil(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  if (left.count() <= 0) return 0;
  if (left.count() > 0x7fffffff) return 0x7fffffff;
  return static_cast<int>(left.count());
}

// Waits for `events` on fd; false on time-out or poll failure.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    int r = ::poll(&p, 1, MsUntil(deadline));
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

}  // namespace

Stream::Stream(base::UniqueFd fd) : fd_(std::move(fd)) {}
Stream::Stream(base::UniqueFd fd, std::unique_ptr<TlsSession> tls)
    : fd_(std::move(fd)), tls_(std::move(tls)) {}
Stream::Stream(Stream&&) noexcept = default;
Stream& Stream::operator=(Stream&& other) noexcept {
  if (this != &other) {
    tls_.reset();  // ends on the old socket before that closes
    fd_ = std::move(other.fd_);
    tls_ = std::move(other.tls_);
    buf_ = std::move(other.buf_);
    pos_ = other.pos_;
    other.pos_ = 0;
  }
  return *this;
}
Stream::~Stream() { tls_.reset(); }

namespace {
// recv/send results shared by plain and TLS transfers: a byte count, or one of these.
constexpr long kClosed = 0, kError = -1, kWantRead = -2, kWantWrite = -3;
static_assert(kClosed == TlsSession::kClosed && kError == TlsSession::kError &&
              kWantRead == TlsSession::kWantRead && kWantWrite == TlsSession::kWantWrite);
}  // namespace

long Stream::RawRecv(char* buf, std::size_t n) {
  if (tls_) return tls_->Recv(buf, n);
  for (;;) {
    ssize_t r = ::recv(fd_.Get(), buf, n, MSG_DONTWAIT);
    if (r >= 0) return static_cast<long>(r);
    if (errno == EINTR) continue;
    return (errno == EAGAIN || errno == EWOULDBLOCK) ? kWantRead : kError;
  }
}

long Stream::RawSend(const char* buf, std::size_t n) {
  if (tls_) return tls_->Send(buf, n);
  for (;;) {
    ssize_t r = ::send(fd_.Get(), buf, n, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (r > 0) return static_cast<long>(r);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return kWantWrite;
    return (r < 0 && (errno == EPIPE || errno == ECONNRESET)) ? kClosed : kError;
  }
}

bool Stream::WaitReadable(Clock::time_point deadline) {
  if (HasBuffered() || (tls_ && tls_->Pending())) return true;
  return WaitFor(fd_.Get(), POLLIN, deadline);
}

IoStatus Stream::Fill(Clock::time_point deadline) {
  if (pos_ > 0 && pos_ == buf_.size()) {
    buf_.clear();
    pos_ = 0;
  }
  char tmp[16384];
  for (;;) {
    long n = RawRecv(tmp, sizeof tmp);
    if (n > 0) {
      buf_.append(tmp, static_cast<std::size_t>(n));
      return IoStatus::kOk;
    }
    if (n == kClosed) return IoStatus::kClosed;
    if (n == kError) return IoStatus::kError;
    if (!WaitFor(fd_.Get(), n == kWantRead ? POLLIN : POLLOUT, deadline))
      return IoStatus::kTimedOut;
  }
}

IoStatus Stream::ReadLine(std::string& line, std::size_t maxLen, Clock::time_point deadline) {
  line.clear();
  std::size_t scanned = pos_;
  for (;;) {
    auto nl = buf_.find('\n', scanned);
    if (nl != std::string::npos) {
      if (nl - pos_ > maxLen) return IoStatus::kError;
      line.assign(buf_, pos_, nl - pos_);
      pos_ = nl + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return IoStatus::kOk;
    }
    if (buf_.size() - pos_ > maxLen) return IoStatus::kError;
    scanned = buf_.size();
    // Compact before growing so a long keep-alive session does not accumulate.
    if (pos_ > 0) {
      buf_.erase(0, pos_);
      scanned -= pos_;
      pos_ = 0;
    }
    IoStatus s = Fill(deadline);
    if (s != IoStatus::kOk) return s;
  }
}

IoStatus Stream::ReadExact(std::string& out, std::size_t n, Clock::time_point deadline) {
  // The caller has already bounded n; growing in one step avoids a cascade of
  // large reallocations for megabyte bodies.
  out.reserve(out.size() + n);
  while (n > 0) {
    if (pos_ == buf_.size()) {
      IoStatus s = Fill(deadline);
      if (s != IoStatus::kOk) return s;
    }
    std::size_t take = std::min(n, buf_.size() - pos_);
    out.append(buf_, pos_, take);
    pos_ += take;
    n -= take;
  }
  return IoStatus::kOk;
}

IoStatus Stream::ReadToEnd(std::string& out, std::size_t maxLen, Clock::time_point deadline) {
  for (;;) {
    std::size_t take = buf_.size() - pos_;
    if (out.size() + take > maxLen) return IoStatus::kError;
    out.append(buf_, pos_, take);
    pos_ = buf_.size();
    IoStatus s = Fill(deadline);
    if (s == IoStatus::kClosed) return IoStatus::kOk;
    if (s != IoStatus::kOk) return s;
  }
}

IoStatus Stream::WriteAll(std::string_view data, Clock::time_point deadline) {
  while (!data.empty()) {
    long n = RawSend(data.data(), data.size());
    if (n > 0) {
      data.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n == kClosed) return IoStatus::kClosed;
    if (n == kError) return IoStatus::kError;
    if (!WaitFor(fd_.Get(), n == kWantRead ? POLLIN : POLLOUT, deadline))
      return IoStatus::kTimedOut;
  }
  return IoStatus::kOk;
}

}  // namespace mgmt::net
