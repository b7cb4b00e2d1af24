// Stream sockets with deadlines: the transport under the CIM-XML HTTP client and
// server (connections come from base/connect.h). Every read and write waits with poll() against an
// absolute deadline, so a silent or slow peer can hold a connection only as long as its time-out
// allows.
#ifndef MGMT_NET_SOCKET_H
#define MGMT_NET_SOCKET_H

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/fd.h"

namespace mgmt::net {

using Clock = std::chrono::steady_clock;

class TlsSession;

/// Outcome of a transfer that may stop early.
enum class IoStatus { kOk, kClosed, kTimedOut, kError };

/// A connected stream socket with a small read buffer.
class Stream {
 public:
  explicit Stream(base::UniqueFd fd);
  /// A stream whose bytes pass through an established TLS session on `fd`.
  Stream(base::UniqueFd fd, std::unique_ptr<TlsSession> tls);
  Stream(Stream&&) noexcept;
  Stream& operator=(Stream&&) noexcept;
  ~Stream();

  int Fd() const { return fd_.Get(); }

  /// Reads one line ending in LF (the LF and a preceding CR removed). Fails with
  /// Error when the line exceeds `maxLen` bytes.
  IoStatus ReadLine(std::string& line, std::size_t maxLen, Clock::time_point deadline);
  /// Reads exactly `n` bytes, appended to `out`.
  IoStatus ReadExact(std::string& out, std::size_t n, Clock::time_point deadline);
  /// Reads until the peer closes, appending at most `maxLen` bytes in total.
  IoStatus ReadToEnd(std::string& out, std::size_t maxLen, Clock::time_point deadline);
  /// Writes all of `data`.
  IoStatus WriteAll(std::string_view data, Clock::time_point deadline);
  /// True when buffered bytes are waiting (a pipelined request).
  bool HasBuffered() const { return pos_ < buf_.size(); }
  /// Waits until bytes arrive or the peer closes; false on time-out.
  bool WaitReadable(Clock::time_point deadline);

 private:
  IoStatus Fill(Clock::time_point deadline);

  long RawRecv(char* buf, std::size_t n);
  long RawSend(const char* buf, std::size_t n);

  // The session must end (its close_notify goes out) while the socket is still
  // open: closed first, the descriptor's number may already belong to another
  // connection that the alert would then corrupt. Members go in reverse order of
  // declaration, so fd_ comes first; destructor and move assignment keep to that.
  base::UniqueFd fd_;
  std::unique_ptr<TlsSession> tls_;
  std::string buf_;
  std::size_t pos_ = 0;
};

}  // namespace mgmt::net

#endif
