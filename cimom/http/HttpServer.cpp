#include "HttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

namespace mgmt::cimom {

HttpServer::HttpServer(ServerOptions options, RequestHandler handler)
    : options_(std::move(options)), handler_(std::move(handler)) {}

HttpServer::~HttpServer() {
  Stop();
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return threads_ == 0; });
  for (const auto& l : listeners_)
    if (!l.path.empty()) ::unlink(l.path.c_str());
}

unsigned HttpServer::ListenTcp(const std::string& address, unsigned port, std::string& error,
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
  base::UniqueFd fd(::socket(ss.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
  int one = 1;
  if (!fd.Valid() || ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
      ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&ss), len) != 0 || ::listen(fd.Get(), 64) != 0) {
    error = address + ":" + std::to_string(port) + ": " + std::strerror(errno);
    return 0;
  }
  ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&ss), &len);
  unsigned bound = ntohs(ss.ss_family == AF_INET ? v4->sin_port : v6->sin6_port);
  listeners_.push_back({std::move(fd), false, {}, tls});
  return bound;
}

bool HttpServer::ListenUnix(const std::string& path, mode_t mode, std::optional<gid_t> group,
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
  base::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) {
    error = std::strerror(errno);
    return false;
  }
  // Bind under a restrictive umask so the socket is never briefly open to all.
  mode_t old = ::umask(0177);
  int rc = ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  int bindErrno = errno;
  ::umask(old);
  if (rc != 0) {
    error = path + ": " + std::strerror(bindErrno);
    return false;
  }
  if ((group && ::chown(path.c_str(), static_cast<uid_t>(-1), *group) != 0) ||
      ::chmod(path.c_str(), mode) != 0 || ::listen(fd.Get(), 64) != 0) {
    error = path + ": " + std::strerror(errno);
    ::unlink(path.c_str());
    return false;
  }
  listeners_.push_back({std::move(fd), true, path, nullptr});
  return true;
}

void HttpServer::Stop() {
  stopping_ = true;
  std::lock_guard lock(mutex_);
  if (acceptLoop_) acceptLoop_->Stop();
}

std::size_t HttpServer::ActiveConnections() const {
  std::lock_guard lock(mutex_);
  return active_.size();
}

void HttpServer::Run() {
  std::vector<int> fds;
  for (const auto& l : listeners_) fds.push_back(l.fd.Get());
  {
    std::lock_guard lock(mutex_);
    acceptLoop_ = std::make_unique<base::AcceptLoop>(
        std::move(fds),
        base::AcceptLoop::Handlers{
            .accepted = [this](base::AcceptedConnection c) { Take(std::move(c)); },
            .acceptFailed =
                [](int err) { syslog(LOG_WARNING, "accept failed: %s", std::strerror(err)); }},
        base::AcceptLoop::Options{.clock = options_.clock, .accept = options_.accept});
    if (stopping_) acceptLoop_->Stop();
  }
  if (acceptLoop_->Run() != 0)
    syslog(LOG_ERR, "waiting for connections failed: %s", std::strerror(errno));
  // Wake every connection thread out of its read and wait for it to finish.
  std::unique_lock lock(mutex_);
  acceptLoop_.reset();
  for (int fd : active_) ::shutdown(fd, SHUT_RDWR);
  idle_.wait(lock, [this] { return threads_ == 0; });
}

void HttpServer::Take(base::AcceptedConnection connection) {
  const Listener& l = listeners_[connection.listener];
  base::UniqueFd fd = std::move(connection.fd);
  const auto& ss = connection.address;
  Peer peer;
  peer.local = l.local;
  if (l.local) {
    ucred cred{};
    socklen_t clen = sizeof cred;
    if (::getsockopt(fd.Get(), SOL_SOCKET, SO_PEERCRED, &cred, &clen) == 0) peer.uid = cred.uid;
    peer.address = "local";
  } else {
    char buf[INET6_ADDRSTRLEN] = "?";
    if (ss.ss_family == AF_INET)
      ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&ss)->sin_addr, buf, sizeof buf);
    else if (ss.ss_family == AF_INET6)
      ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&ss)->sin6_addr, buf,
                  sizeof buf);
    peer.address = buf;
    int one = 1;
    ::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  const int raw = fd.Get();
  {
    std::lock_guard lock(mutex_);
    if (active_.size() >= options_.maxConnections) {
      // A plain connection is told why; on HTTPS no session exists yet, and bytes
      // outside one would only garble the client's handshake: it is just closed.
      if (l.tls == nullptr) {
        http::Message resp;
        resp.status = 503;
        resp.AddHeader("Connection", "close");
        const std::string text = http::FormatResponse(resp);
        [[maybe_unused]] ssize_t n =
            ::send(raw, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      }
      return;
    }
    active_.insert(raw);
    ++threads_;
  }
  const std::string address = peer.address;
  try {
    std::thread([this, f = std::move(fd), p = std::move(peer), tls = l.tls]() mutable {
      Serve(std::move(f), std::move(p), tls);
    }).detach();
  } catch (const std::system_error& e) {
    // Out of threads: this client is refused (its descriptor closed with the
    // thread's unstarted work) rather than the exception ending the server.
    syslog(LOG_WARNING, "%s: cannot serve a connection: %s", address.c_str(), e.what());
    std::lock_guard lock(mutex_);
    active_.erase(raw);
    --threads_;
    idle_.notify_all();
  }
}

namespace {

/// How long a refusal may take to leave: the client is misbehaving, so it gets
/// little of the connection thread's time.
constexpr std::chrono::milliseconds kRefusalTimeout{1000};

int StatusFor(http::ReadResult r) {
  switch (r) {
    case http::ReadResult::kMalformed:
      return 400;
    case http::ReadResult::kHeadTooLarge:
      return 431;
    case http::ReadResult::kBodyTooLarge:
      return 413;
    case http::ReadResult::kLengthRequired:
      return 411;
    case http::ReadResult::kUnsupportedEncoding:
      return 501;
    case http::ReadResult::kTimedOut:
      return 408;
    default:
      return 0;
  }
}
}  // namespace

void HttpServer::Serve(base::UniqueFd fd, Peer peer, net::TlsContext* tls) {
  // OpenSSL writes with write(2), so a close_notify to a peer that has gone would
  // raise SIGPIPE; blocked here, it stays with this thread and ends with it.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
  const int raw = fd.Get();
  {
    std::unique_ptr<net::TlsSession> session;
    if (tls != nullptr) {
      // The handshake runs here, not in the accept loop, under the request time-out.
      ::fcntl(raw, F_SETFL, ::fcntl(raw, F_GETFL) | O_NONBLOCK);
      std::string error;
      session = net::TlsAccept(*tls, raw, net::Clock::now() + options_.requestTimeout, error);
      if (!session) syslog(LOG_NOTICE, "%s: %s", peer.address.c_str(), error.c_str());
    }
    const bool usable = tls == nullptr || session != nullptr;
    net::Stream stream =
        session ? net::Stream(std::move(fd), std::move(session)) : net::Stream(std::move(fd));
    http::Message req;
    while (usable && !stopping_) {
      if (!stream.WaitReadable(net::Clock::now() + options_.idleTimeout)) break;
      const auto deadline = net::Clock::now() + options_.requestTimeout;
      http::ReadResult r = http::ReadRequest(stream, req, options_.limits, deadline, deadline);
      if (r != http::ReadResult::kOk) {
        if (int status = StatusFor(r); status != 0 && !stopping_) {
          // Through the stream, so that on HTTPS the refusal is inside the session.
          http::Message resp;
          resp.status = status;
          resp.AddHeader("Connection", "close");
          stream.WriteAll(http::FormatResponse(resp),
                          net::Clock::now() + std::min<std::chrono::milliseconds>(
                                                  options_.requestTimeout, kRefusalTimeout));
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
        resp.AddHeader("Connection", "close");
      } catch (...) {
        syslog(LOG_ERR, "%s: request failed", peer.address.c_str());
        resp = http::Message{};
        resp.status = 500;
        resp.AddHeader("Connection", "close");
      }
      bool keep = http::WantsKeepAlive(req) && !stopping_;
      if (const std::string* c = resp.Header("Connection"); c && http::EqualsNoCase(*c, "close"))
        keep = false;
      if (!keep && resp.Header("Connection") == nullptr) resp.AddHeader("Connection", "close");
      if (stream.WriteAll(http::FormatResponse(resp),
                          net::Clock::now() + options_.requestTimeout) != net::IoStatus::kOk ||
          !keep)
        break;
    }
    // Leave the registry before the stream closes the descriptor, so Stop() never
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
