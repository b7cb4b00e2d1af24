// TLS for the server's HTTPS port, on OpenSSL: a context holding the certificate
// and key, and one session per connection driven over a non-blocking socket so
// that the same deadlines as for plain HTTP apply to handshake and transfer.
#ifndef MGMT_NET_TLS_H
#define MGMT_NET_TLS_H

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace mgmt::net {

class TlsContext;

/// One TLS connection. Obtained from TlsAccept(); frees its state on destruction.
class TlsSession {
 public:
  ~TlsSession();
  TlsSession(const TlsSession&) = delete;
  TlsSession& operator=(const TlsSession&) = delete;

  /// Result codes of recv/send beyond a byte count.
  static constexpr long kClosed = 0, kError = -1, kWantRead = -2, kWantWrite = -3;
  long Recv(char* buf, std::size_t n);
  long Send(const char* buf, std::size_t n);
  /// Decrypted bytes already buffered inside the session.
  bool Pending() const;

 private:
  friend std::unique_ptr<TlsSession> TlsAccept(TlsContext&, int,
                                               std::chrono::steady_clock::time_point, std::string&);
  explicit TlsSession(void* ssl) : ssl_(ssl) {}
  void* ssl_;
};

/// Server certificate and private key (PEM files), TLS 1.2 or newer.
class TlsContext {
 public:
  /// nullptr with `error` set when the files cannot be used.
  static std::unique_ptr<TlsContext> Load(const std::string& certFile, const std::string& keyFile,
                                          std::string& error);
  ~TlsContext();
  TlsContext(const TlsContext&) = delete;
  TlsContext& operator=(const TlsContext&) = delete;

 private:
  friend std::unique_ptr<TlsSession> TlsAccept(TlsContext&, int,
                                               std::chrono::steady_clock::time_point, std::string&);
  explicit TlsContext(void* ctx) : ctx_(ctx) {}
  void* ctx_;
};

/// Runs the server side of the handshake on `fd` before the deadline.
std::unique_ptr<TlsSession> TlsAccept(TlsContext& ctx, int fd,
                                      std::chrono::steady_clock::time_point deadline,
                                      std::string& error);

}  // namespace mgmt::net

#endif
