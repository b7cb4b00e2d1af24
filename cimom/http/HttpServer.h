// The object manager's HTTP front door: TCP and Unix-socket listeners, one thread
// per connection, a cap on simultaneous connections, idle and per-request
// time-outs, and the size limits of the framing layer. What a request means is the
// handler's business; this layer only frames, bounds and answers.
#ifndef MGMT_CIMOM_HTTPSERVER_H
#define MGMT_CIMOM_HTTPSERVER_H

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/accept_loop.h"
#include "base/clock.h"
#include "base/fd.h"
#include "http/HttpMessage.h"
#include "net/Socket.h"
#include "net/Tls.h"

namespace mgmt::cimom {

/// What the server knows about the other end of a connection.
struct Peer {
  bool local = false;                      ///< came in on the Unix socket
  std::optional<uid_t> uid;                ///< SO_PEERCRED of a local peer
  std::string address;                     ///< printable remote address, for logs
  std::string authorizedHeader;            ///< last Authorization value accepted on this connection
  std::uint64_t authorizedGeneration = 0;  ///< password file generation it was accepted under
  std::string user;                        ///< user authenticated on this connection
};

/// Answers one request; may update the connection's Peer (authentication cache).
using RequestHandler = std::function<http::Message(const http::Message&, Peer&)>;

struct ServerOptions {
  http::Limits limits;
  std::chrono::milliseconds idleTimeout{30000};  ///< between requests on a connection
  std::chrono::milliseconds requestTimeout{
      30000};  ///< to receive one request, or send one response
  std::size_t maxConnections = 32;
  /// The clock the pause after a failed accept is measured on (tests: a ManualClock).
  base::Clock* clock = &base::SystemClock();
  /// Empty: accept4(2). Tests make accepting fail through it.
  base::AcceptLoop::AcceptCall accept{};
};

class HttpServer {
 public:
  HttpServer(ServerOptions options, RequestHandler handler);
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;
  ~HttpServer();

  /// Listens on address:port (port 0 picks a free one). Returns the bound port, or 0
  /// with `error` set. With `tls` (which must outlive the server) the port speaks
  /// HTTPS.
  unsigned ListenTcp(const std::string& address, unsigned port, std::string& error,
                     net::TlsContext* tls = nullptr);
  /// Listens on a Unix socket at `path` (replacing a stale socket file), with `mode`
  /// and, when `group` is set, that owning group.
  bool ListenUnix(const std::string& path, mode_t mode, std::optional<gid_t> group,
                  std::string& error);

  /// Serves until Stop(); returns after every connection has ended.
  void Run();
  /// Asks Run() to return; safe from any thread and from a signal-handling thread.
  void Stop();

  /// Number of connections being served now.
  std::size_t ActiveConnections() const;

 private:
  struct Listener {
    base::UniqueFd fd;
    bool local;
    std::string path;                ///< Unix socket file to remove on shutdown
    net::TlsContext* tls = nullptr;  ///< HTTPS when set
  };
  void Take(base::AcceptedConnection connection);
  void Serve(base::UniqueFd fd, Peer peer, net::TlsContext* tls);

  ServerOptions options_;
  RequestHandler handler_;
  std::vector<Listener> listeners_;
  std::unique_ptr<base::AcceptLoop> acceptLoop_;  // while Run() runs; under mutex_
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable idle_;
  std::set<int> active_;     // descriptors of live connections, shut down on Stop()
  std::size_t threads_ = 0;  // connection threads still running
};

}  // namespace mgmt::cimom

#endif
