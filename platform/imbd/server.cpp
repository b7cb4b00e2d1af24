#include "server.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "base/connect.h"
#include "base/fdio.h"
#include "devframe.h"
#include "log.h"

namespace mgmt::imbd {
namespace {

/// How long the check for a live server at the socket path may wait.
constexpr std::chrono::seconds kProbeTimeout{2};

}  // namespace

Server::Server(ImbService& service, std::string socketPath)
    : service_(service), path_(std::move(socketPath)) {}

Server::~Server() { Stop(); }

bool Server::Start(std::string& error) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path_.empty() || path_.size() >= sizeof(addr.sun_path)) {
    error = "socket path empty or too long: " + path_;
    return false;
  }
  struct stat st {};
  if (::lstat(path_.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      error = path_ + " exists and is not a socket";
      return false;
    }
    if (base::ConnectUnix(path_, kProbeTimeout).Valid()) {
      error = path_ + " is served by another process";
      return false;
    }
    ::unlink(path_.c_str());
  }
  std::memcpy(addr.sun_path, path_.c_str(), path_.size() + 1);
  listen_.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!listen_.Valid()) {
    error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  // The socket file is created private, so no one ever sees it with the umask's
  // wider permissions (the umask is process-wide, but no other thread of imbd
  // creates files); chmod makes sure of 0600 whatever the umask was.
  const mode_t oldUmask = ::umask(0177);
  const int bound = ::bind(listen_.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
  const int bindError = errno;
  ::umask(oldUmask);
  errno = bindError;
  if (bound != 0 || ::chmod(path_.c_str(), 0600) != 0 || ::listen(listen_.Get(), 64) != 0) {
    error = "cannot listen at " + path_ + ": " + std::strerror(errno);
    listen_.Reset();
    return false;
  }
  acceptLoop_ = std::make_unique<base::AcceptLoop>(
      std::vector<int>{listen_.Get()},
      base::AcceptLoop::Handlers{
          .beforeAccept = [this] { ReapFinished(); },
          .accepted = [this](base::AcceptedConnection c) { Take(std::move(c.fd)); },
          .acceptFailed =
              [](int err) { Log(LOG_WARNING, "accept failed: %s", std::strerror(err)); }},
      base::AcceptLoop::Options{.pause = kAcceptPause});
  if (!acceptLoop_->Ready()) {
    error = std::string("cannot set up accepting: ") + std::strerror(errno);
    acceptLoop_.reset();
    listen_.Reset();
    ::unlink(path_.c_str());
    return false;
  }
  acceptor_ = std::thread([this] {
    if (acceptLoop_->Run() != 0)
      Log(LOG_ERR, "poll on the listening socket failed: %s", std::strerror(errno));
  });
  return true;
}

void Server::Stop() {
  if (!acceptLoop_) return;
  acceptLoop_->Stop();
  acceptor_.join();
  acceptLoop_.reset();
  {
    std::lock_guard lock(mutex_);
    for (auto& client : clients_) ::shutdown(client.fd, SHUT_RDWR);
  }
  for (auto& client : clients_) client.thread.join();
  for (auto& client : clients_) ::close(client.fd);
  clients_.clear();
  listen_.Reset();
  ::unlink(path_.c_str());
}

void Server::ReapFinished() {
  std::list<Client> finished;
  {
    std::lock_guard lock(mutex_);
    for (auto it = clients_.begin(); it != clients_.end();) {
      auto next = std::next(it);
      if (it->done) finished.splice(finished.end(), clients_, it);
      it = next;
    }
  }
  for (auto& client : finished) {
    client.thread.join();
    ::close(client.fd);
  }
}

void Server::Take(base::UniqueFd fd) {
  std::lock_guard lock(mutex_);
  if (clients_.size() >= kMaxClients) {
    Log(LOG_WARNING, "too many clients; connection refused");
    return;
  }
  Client& client = clients_.emplace_back();
  client.fd = fd.Get();
  try {
    client.thread = std::thread([this, &client] { Serve(client); });
    (void)fd.Release();  // the client owns it now
  } catch (const std::system_error& e) {
    // Out of threads: refuse this client rather than let the exception end
    // the daemon.
    Log(LOG_WARNING, "cannot serve a client: %s", e.what());
    clients_.pop_back();
  }
}

void Server::Serve(Client& client) {
  // A request's header and input usually arrive together: read what is there
  // and take frames out of the buffer.
  std::vector<uint8_t> buffer(dev::kHeaderSize + dev::kMaxPayload);
  size_t have = 0;
  while (true) {
    if (have < dev::kHeaderSize) {
      const long n =
          base::ReadAtLeast(client.fd, std::span(buffer).subspan(have), dev::kHeaderSize - have);
      if (n < 0) break;  // client closed or went away
      have += static_cast<size_t>(n);
    }
    const auto request = dev::DecodeRequest(std::span(buffer).first<dev::kHeaderSize>());
    if (!request) {
      Log(LOG_WARNING, "malformed request from a client; connection closed");
      break;
    }
    const size_t total = dev::kHeaderSize + request->inLength;
    if (have < total) {
      const long n = base::ReadAtLeast(client.fd, std::span(buffer).subspan(have), total - have);
      if (n < 0) break;
      have += static_cast<size_t>(n);
    }
    const CallResult result =
        service_.Call(request->code, std::span(buffer).subspan(dev::kHeaderSize, request->inLength),
                      request->outCapacity);
    const auto reply = dev::EncodeReply(
        {result.error, result.status, static_cast<uint32_t>(result.output.size())});
    std::vector<uint8_t> frame(reply.begin(), reply.end());
    frame.insert(frame.end(), result.output.begin(), result.output.end());
    if (base::WriteFull(client.fd, frame) != 0) break;  // e.g. the client was killed
    std::memmove(buffer.data(), buffer.data() + total, have - total);
    have -= total;
  }
  // The client sees its end of file now; the descriptor is closed when reaped.
  ::shutdown(client.fd, SHUT_RDWR);
  std::lock_guard lock(mutex_);
  client.done = true;
}

}  // namespace mgmt::imbd
