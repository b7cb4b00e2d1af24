// imbd's socket side: accepts client connections at the /dev/imb path and serves
// one IMB ioctl exchange after another on each, many clients at once.
#ifndef MGMT_IMBD_SERVER_H
#define MGMT_IMBD_SERVER_H

#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/accept_loop.h"
#include "base/fd.h"
#include "imbservice.h"

namespace mgmt::imbd {

class Server {
 public:
  Server(ImbService& service, std::string socketPath);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  /// Binds the socket (mode 0600; a stale socket left by a dead server is
  /// replaced, a live one or any other file is not) and starts accepting.
  /// False with `error` filled when it cannot.
  bool Start(std::string& error);
  /// Stops accepting, ends every client connection, removes the socket.
  void Stop();

  /// Most connections served at once; further ones are closed at once.
  static constexpr size_t kMaxClients = 512;
  /// How long accepting pauses when it fails for want of descriptors or memory.
  static constexpr std::chrono::milliseconds kAcceptPause{100};

 private:
  struct Client {
    int fd = -1;
    std::thread thread;
    bool done = false;
  };
  void Take(base::UniqueFd fd);
  void Serve(Client& client);
  void ReapFinished();

  ImbService& service_;
  const std::string path_;
  base::UniqueFd listen_;
  std::unique_ptr<base::AcceptLoop> acceptLoop_;
  std::thread acceptor_;
  std::mutex mutex_;
  std::list<Client> clients_;
  bool started_ = false;
};

}  // namespace mgmt::imbd

#endif
