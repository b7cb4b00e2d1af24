#include "base/accept_loop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

namespace mgmt::base {

AcceptLoop::AcceptLoop(std::vector<int> listeners, Handlers handlers, Options options)
    : listeners_(std::move(listeners)),
      handlers_(std::move(handlers)),
      options_(std::move(options)),
      wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (!options_.accept) {
    options_.accept = [](int listenFd, sockaddr* address, socklen_t* length) {
      return ::accept4(listenFd, address, length, SOCK_CLOEXEC);
    };
  }
}

void AcceptLoop::Stop() {
  running_ = false;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(wake_.Get(), &one, sizeof one);
  options_.clock->RecheckFlags();
}

int AcceptLoop::Run() {
  if (!wake_.Valid()) return -1;
  std::vector<pollfd> fds;
  fds.push_back({wake_.Get(), POLLIN, 0});
  for (const int fd : listeners_) fds.push_back({fd, POLLIN, 0});
  while (running_) {
    for (auto& p : fds) p.revents = 0;
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    for (size_t i = 1; i < fds.size() && running_; ++i)
      if (fds[i].revents != 0) AcceptOne(i - 1);
  }
  return 0;
}

void AcceptLoop::AcceptOne(size_t index) {
  // Finished connections give their descriptors back before the next is taken.
  if (handlers_.beforeAccept) handlers_.beforeAccept();
  AcceptedConnection connection;
  connection.listener = index;
  connection.addressLength = sizeof connection.address;
  connection.fd.Reset(options_.accept(listeners_[index],
                                      reinterpret_cast<sockaddr*>(&connection.address),
                                      &connection.addressLength));
  if (connection.fd.Valid()) {
    handlers_.accepted(std::move(connection));
    return;
  }
  const int err = errno;
  // A client that gave up while queued, a signal, or another thread taking the
  // connection first: nothing to wait for.
  if (err == EINTR || err == ECONNABORTED || err == EAGAIN || err == EWOULDBLOCK) return;
  if (handlers_.acceptFailed) handlers_.acceptFailed(err);
  // Out of descriptors or memory (or anything else accept refuses for a while):
  // the connection stays queued and the socket readable, so pause instead of
  // spinning until something frees.
  options_.clock->SleepFor(options_.pause, running_);
}

}  // namespace mgmt::base
