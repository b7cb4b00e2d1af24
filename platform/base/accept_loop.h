// The accept policy of the thread-per-connection servers (imbd, cimserver): wait
// on the listening sockets and a wake-up, give finished connections' descriptors
// back before taking the next, retry what is transient, and pause (still
// stoppable) when the process is out of descriptors or memory, because the
// pending connection keeps the listener readable and the loop would otherwise
// spin at full speed until something frees.
#ifndef MGMT_BASE_ACCEPT_LOOP_H
#define MGMT_BASE_ACCEPT_LOOP_H

#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

#include "base/clock.h"
#include "base/fd.h"

namespace mgmt::base {

struct AcceptedConnection {
  UniqueFd fd;          ///< close-on-exec, blocking
  size_t listener = 0;  ///< index of the listening socket it came in on
  sockaddr_storage address{};
  socklen_t addressLength = 0;
};

class AcceptLoop {
 public:
  /// accept4(2) as the loop calls it (flags: SOCK_CLOEXEC); a seam for tests.
  using AcceptCall = std::function<int(int listenFd, sockaddr* address, socklen_t* length)>;

  struct Handlers {
    /// Before each accept: reap finished connections so their descriptors are free.
    std::function<void()> beforeAccept{};
    /// Takes each new connection (the caps and refusals are the server's own).
    std::function<void(AcceptedConnection)> accepted{};
    /// Told of each failure that makes the loop pause (errno value), for the log.
    std::function<void(int error)> acceptFailed{};
  };

  struct Options {
    /// How long accepting pauses after it failed for want of descriptors or memory.
    std::chrono::milliseconds pause{100};
    /// The clock the pause is measured on.
    Clock* clock = &SystemClock();
    /// Empty: ::accept4.
    AcceptCall accept{};
  };

  /// `listeners` are listening sockets the caller keeps open while Run() runs.
  AcceptLoop(std::vector<int> listeners, Handlers handlers, Options options);
  AcceptLoop(const AcceptLoop&) = delete;
  AcceptLoop& operator=(const AcceptLoop&) = delete;
  ~AcceptLoop() = default;

  /// False when the loop could not set itself up (no descriptor for its wake-up).
  [[nodiscard]] bool Ready() const { return wake_.Valid(); }

  /// Accepts until Stop(). Returns 0 after Stop(), or -1 with errno set when
  /// waiting on the sockets failed for good.
  int Run();
  /// Makes Run() return soon, also from a pause; from any thread (not from a
  /// signal handler). Stopping before Run() makes Run() return at once.
  void Stop();

 private:
  void AcceptOne(size_t index);

  std::vector<int> listeners_;
  Handlers handlers_;
  Options options_;
  UniqueFd wake_;  // eventfd that interrupts the wait on the listeners
  std::atomic<bool> running_{true};
};

}  // namespace mgmt::base

#endif
