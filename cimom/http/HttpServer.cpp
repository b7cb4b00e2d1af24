#include "HttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <thread>

namespace mgmt::cimom {

HttpServer::HttpServer(ServerOptions options, RequestHandler handler)
    : options_(options),
      handler_(std::move(handler)),
      wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

HttpServer::~HttpServer() {
  stop();
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return threads_ == 0; });
  for (const auto& l : listeners_)
    if (!l.path.empty()) ::unlink(l.path.c_str());
}

unsigned HttpServer::listenTcp(const std::string& address, unsigned port, std::string& error,
                               net::TlsContext* tls) {
  sockaddr_storage ss{};
  socklen_t len = 0;
  auto* v4 = reinterpret_cast<sockaddr_in*>(&ss);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&ss);
  if (::inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = htons(static_cast<uint16_t>(port));
    len = sizeof *v4;
  } else if (::inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(static_cast<uint16_t>(port));
    len = sizeof *v6;
  } else {
    error = "not an IP address: " + address;
    return 0;
  }
  net::Fd fd(::socket(ss.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
  int one = 1;
  if (!fd.valid() || ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
      ::bind(fd.get(), reinterpret_cast<sockaddr*>(&ss), len) != 0 || ::listen(fd.get(), 64) != 0) {
    error = address + ":" + std::to_string(port) + ": " + std::strerror(errno);
    return 0;
  }
  ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&ss), &len);
  unsigned bound = ntohs(ss.ss_family == AF_INET ? v4->sin_port : v6->sin6_port);
  listeners_.push_back({std::move(fd), false, {}, tls});
  return bound;
}

bool HttpServer::listenUnix(const std::string& path, mode_t mode, std::optional<gid_t> group,
                            std::string& error) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) {
    error = "socket path too long: " + path;
    return false;
  }
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    // Only ever remove a socket left by an earlier run, never some other file.
    if (!S_ISSOCK(st.st_mode)) {
      error = path + ": exists and is not a socket";
      return false;
    }
    ::unlink(path.c_str());
  }
  net::Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) {
    error = std::strerror(errno);
    return false;
  }
  // Bind under a restrictive umask so the socket is never briefly open to all.
  mode_t old = ::umask(0177);
  int rc = ::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  int bindErrno = errno;
  ::umask(old);
  if (rc != 0) {
    error = path + ": " + std::strerror(bindErrno);
    return false;
  }
  if ((group && ::chown(path.c_str(), static_cast<uid_t>(-1), *group) != 0) ||
      ::chmod(path.c_str(), mode) != 0 || ::listen(fd.get(), 64) != 0) {
    error = path + ": " + std::strerror(errno);
    ::unlink(path.c_str());
    return false;
  }
  listeners_.push_back({std::move(fd), true, path, nullptr});
  return true;
}

void HttpServer::stop() {
  stopping_ = true;
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_.get(), &one, sizeof one);
}

std::size_t HttpServer::activeConnections() const {
  std::lock_guard lock(mutex_);
  return active_.size();
}

void HttpServer::run() {
  std::vector<pollfd> fds;
  while (!stopping_) {
    fds.clear();
    fds.push_back({wake_.get(), POLLIN, 0});
    for (const auto& l : listeners_) fds.push_back({l.fd.get(), POLLIN, 0});
    int r = ::poll(fds.data(), fds.size(), -1);
    if (r < 0 && errno != EINTR) break;
    for (std::size_t i = 1; i < fds.size() && !stopping_; ++i)
      if (fds[i].revents & POLLIN) accept(listeners_[i - 1]);
  }
  // Wake every connection thread out of its read and wait for it to finish.
  std::unique_lock lock(mutex_);
  for (int fd : active_) ::shutdown(fd, SHUT_RDWR);
  idle_.wait(lock, [this] { return threads_ == 0; });
}

void HttpServer::refuse(int fd, int status) {
  http::Message resp;
  resp.status = status;
  resp.addHeader("Connection", "close");
  const std::string text = http::formatResponse(resp);
  [[maybe_unused]] ssize_t n = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

void HttpServer::accept(const Listener& l) {
  sockaddr_storage ss{};
  socklen_t len = sizeof ss;
  net::Fd fd(::accept4(l.fd.get(), reinterpret_cast<sockaddr*>(&ss), &len, SOCK_CLOEXEC));
  if (!fd.valid()) return;
  Peer peer;
  peer.local = l.local;
  if (l.local) {
    ucred cred{};
    socklen_t clen = sizeof cred;
    if (::getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &cred, &clen) == 0) peer.uid = cred.uid;
    peer.address = "local";
  } else {
    char buf[INET6_ADDRSTRLEN] = "?";
    if (ss.ss_family == AF_INET)
      ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&ss)->sin_addr, buf, sizeof buf);
    else if (ss.ss_family == AF_INET6)
      ::inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&ss)->sin6_addr, buf, sizeof buf);
    peer.address = buf;
    int one = 1;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  {
    std::lock_guard lock(mutex_);
    if (active_.size() >= options_.maxConnections) {
      refuse(fd.get(), 503);
      return;
    }
    active_.insert(fd.get());
    ++threads_;
  }
  std::thread([this, f = std::move(fd), p = std::move(peer), tls = l.tls]() mutable {
    serve(std::move(f), std::move(p), tls);
  }).detach();
}

namespace {
int statusFor(http::ReadResult r) {
  switch (r) {
    case http::ReadResult::Malformed:
      return 400;
    case http::ReadResult::HeadTooLarge:
      return 431;
    case http::ReadResult::BodyTooLarge:
      return 413;
    case http::ReadResult::LengthRequired:
      return 411;
    case http::ReadResult::UnsupportedEncoding:
      return 501;
    case http::ReadResult::TimedOut:
      return 408;
    default:
      return 0;
  }
}
}  // namespace

void HttpServer::serve(net::Fd fd, Peer peer, net::TlsContext* tls) {
  const int raw = fd.get();
  {
    std::unique_ptr<net::TlsSession> session;
    if (tls != nullptr) {
      // The handshake runs here, not in the accept loop, under the request time-out.
      ::fcntl(raw, F_SETFL, ::fcntl(raw, F_GETFL) | O_NONBLOCK);
      std::string error;
      session = net::tlsAccept(*tls, raw, net::Clock::now() + options_.requestTimeout, error);
      if (!session) syslog(LOG_NOTICE, "%s: %s", peer.address.c_str(), error.c_str());
    }
    const bool usable = tls == nullptr || session != nullptr;
    net::Stream stream =
        session ? net::Stream(std::move(fd), std::move(session)) : net::Stream(std::move(fd));
    http::Message req;
    while (usable && !stopping_) {
      if (!stream.waitReadable(net::Clock::now() + options_.idleTimeout)) break;
      const auto deadline = net::Clock::now() + options_.requestTimeout;
      http::ReadResult r = http::readRequest(stream, req, options_.limits, deadline, deadline);
      if (r != http::ReadResult::Ok) {
        if (int status = statusFor(r); status != 0 && !stopping_) {
          refuse(raw, status);
          syslog(LOG_NOTICE, "%s: request refused with HTTP %d", peer.address.c_str(), status);
        }
        break;
      }
      http::Message resp;
      try {
        resp = handler_(req, peer);
      } catch (const std::exception& e) {
        // The handler converts every expected failure itself; anything escaping it
        // is a defect, answered and logged rather than ending the process.
        syslog(LOG_ERR, "%s: request failed: %s", peer.address.c_str(), e.what());
        resp = http::Message{};
        resp.status = 500;
        resp.addHeader("Connection", "close");
      } catch (...) {
        syslog(LOG_ERR, "%s: request failed", peer.address.c_str());
        resp = http::Message{};
        resp.status = 500;
        resp.addHeader("Connection", "close");
      }
      bool keep = http::wantsKeepAlive(req) && !stopping_;
      if (const std::string* c = resp.header("Connection"); c && http::equalsNoCase(*c, "close"))
        keep = false;
      if (!keep && resp.header("Connection") == nullptr) resp.addHeader("Connection", "close");
      if (stream.writeAll(http::formatResponse(resp),
                          net::Clock::now() + options_.requestTimeout) != net::IoStatus::Ok ||
          !keep)
        break;
    }
    // Leave the registry before the stream closes the descriptor, so stop() never
    // shuts down a number that has been reused meanwhile.
    std::lock_guard lock(mutex_);
    active_.erase(raw);
  }
  // Notify under the lock: once it is released the server may be destroyed, and this
  // thread touches nothing after that.
  std::lock_guard lock(mutex_);
  --threads_;
  idle_.notify_all();
}

}  // namespace mgmt::cimom
