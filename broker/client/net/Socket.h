// Stream sockets with deadlines: the transport under the CIM-XML HTTP client and
// server. Every read and write waits with poll() against an absolute deadline, so a
// silent or slow peer can hold a connection only as long as its time-out allows.
#ifndef MGMT_NET_SOCKET_H
#define MGMT_NET_SOCKET_H

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace mgmt::net {

using Clock = std::chrono::steady_clock;

/// Owns one file descriptor; closes it on destruction.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd(Fd&& o) noexcept : fd_(o.release()) {}
  Fd& operator=(Fd&& o) noexcept;
  ~Fd();

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    int f = fd_;
    fd_ = -1;
    return f;
  }
  void reset(int fd = -1);

 private:
  int fd_ = -1;
};

class TlsSession;

/// Outcome of a transfer that may stop early.
enum class IoStatus { Ok, Closed, TimedOut, Error };

/// A connected stream socket with a small read buffer.
class Stream {
 public:
  explicit Stream(Fd fd);
  /// A stream whose bytes pass through an established TLS session on `fd`.
  Stream(Fd fd, std::unique_ptr<TlsSession> tls);
  Stream(Stream&&) noexcept;
  Stream& operator=(Stream&&) noexcept;
  ~Stream();

  int fd() const { return fd_.get(); }

  /// Reads one line ending in LF (the LF and a preceding CR removed). Fails with
  /// Error when the line exceeds `maxLen` bytes.
  IoStatus readLine(std::string& line, std::size_t maxLen, Clock::time_point deadline);
  /// Reads exactly `n` bytes, appended to `out`.
  IoStatus readExact(std::string& out, std::size_t n, Clock::time_point deadline);
  /// Reads until the peer closes, appending at most `maxLen` bytes in total.
  IoStatus readToEnd(std::string& out, std::size_t maxLen, Clock::time_point deadline);
  /// Writes all of `data`.
  IoStatus writeAll(std::string_view data, Clock::time_point deadline);
  /// True when buffered bytes are waiting (a pipelined request).
  bool hasBuffered() const { return pos_ < buf_.size(); }
  /// Waits until bytes arrive or the peer closes; false on time-out.
  bool waitReadable(Clock::time_point deadline);

 private:
  IoStatus fill(Clock::time_point deadline);

  long rawRecv(char* buf, std::size_t n);
  long rawSend(const char* buf, std::size_t n);

  std::unique_ptr<TlsSession>
      tls_;  // declared before fd_: the session ends before the socket closes
  Fd fd_;
  std::string buf_;
  std::size_t pos_ = 0;
};

/// Connects to host:port (name or address) before the deadline; returns an invalid
/// Fd and sets `error` on failure.
Fd connectTcp(const std::string& host, unsigned port, Clock::time_point deadline,
              std::string& error);
/// Connects to a Unix stream socket at `path`.
Fd connectUnix(const std::string& path, std::string& error);

}  // namespace mgmt::net

#endif
