#include "net/Tls.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>

#include <cerrno>

namespace mgmt::net {

namespace {

SSL* SslOf(void* p) { return static_cast<SSL*>(p); }

std::string LastError() {
  unsigned long e = ERR_get_error();
  if (e == 0) return "unknown TLS error";
  char buf[256];
  ERR_error_string_n(e, buf, sizeof buf);
  ERR_clear_error();
  return buf;
}

long Classify(SSL* ssl, int r) {
  switch (SSL_get_error(ssl, r)) {
    case SSL_ERROR_WANT_READ:
      return TlsSession::kWantRead;
    case SSL_ERROR_WANT_WRITE:
      return TlsSession::kWantWrite;
    case SSL_ERROR_ZERO_RETURN:
      return TlsSession::kClosed;
    default:
      ERR_clear_error();
      return TlsSession::kError;
  }
}

}  // namespace

TlsSession::~TlsSession() {
  SSL_shutdown(SslOf(ssl_));  // best effort close_notify; the socket is non-blocking
  SSL_free(SslOf(ssl_));
}

long TlsSession::Recv(char* buf, std::size_t n) {
  std::size_t got = 0;
  int r = SSL_read_ex(SslOf(ssl_), buf, n, &got);
  return r == 1 ? static_cast<long>(got) : Classify(SslOf(ssl_), r);
}

long TlsSession::Send(const char* buf, std::size_t n) {
  std::size_t put = 0;
  int r = SSL_write_ex(SslOf(ssl_), buf, n, &put);
  return r == 1 ? static_cast<long>(put) : Classify(SslOf(ssl_), r);
}

bool TlsSession::Pending() const { return SSL_pending(SslOf(ssl_)) > 0; }

std::unique_ptr<TlsContext> TlsContext::Load(const std::string& certFile,
                                             const std::string& keyFile, std::string& error) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
  if (ctx == nullptr) {
    error = LastError();
    return nullptr;
  }
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  if (SSL_CTX_use_certificate_chain_file(ctx, certFile.c_str()) != 1) {
    error = certFile + ": " + LastError();
  } else if (SSL_CTX_use_PrivateKey_file(ctx, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
    error = keyFile + ": " + LastError();
  } else if (SSL_CTX_check_private_key(ctx) != 1) {
    error = "the private key does not match the certificate";
  } else {
    return std::unique_ptr<TlsContext>(new TlsContext(ctx));
  }
  SSL_CTX_free(ctx);
  return nullptr;
}

TlsContext::~TlsContext() { SSL_CTX_free(static_cast<SSL_CTX*>(ctx_)); }

std::unique_ptr<TlsSession> TlsAccept(TlsContext& ctx, int fd,
                                      std::chrono::steady_clock::time_point deadline,
                                      std::string& error) {
  SSL* ssl = SSL_new(static_cast<SSL_CTX*>(ctx.ctx_));
  if (ssl == nullptr || SSL_set_fd(ssl, fd) != 1) {
    error = LastError();
    SSL_free(ssl);
    return nullptr;
  }
  std::unique_ptr<TlsSession> session(new TlsSession(ssl));
  for (;;) {
    int r = SSL_accept(ssl);
    if (r == 1) return session;
    long what = Classify(ssl, r);
    if (what != TlsSession::kWantRead && what != TlsSession::kWantWrite) {
      error = "TLS handshake failed";
      return nullptr;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd, static_cast<short>(what == TlsSession::kWantRead ? POLLIN : POLLOUT), 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
      error = "TLS handshake timed out";
      return nullptr;
    }
  }
}

}  // namespace mgmt::net
