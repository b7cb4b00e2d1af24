// The accept loop: connections handed over with finished ones reaped first, and a
// pause (measured on a test clock) when accepting fails for want of descriptors.
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/accept_loop.h"
#include "base/connect.h"
#include "loopback.h"

namespace {

using namespace std::chrono_literals;
using mgmt::base::AcceptedConnection;
using mgmt::base::AcceptLoop;
using mgmt::base::UniqueFd;

struct Listener : LoopbackPort {
  Listener() : LoopbackPort(8) {}
};

TEST(AcceptLoop, HandsOverConnectionsFromEveryListenerReapingFirst) {
  Listener a, b;
  std::mutex mutex;
  std::vector<std::string> events;
  std::vector<AcceptedConnection> accepted;
  AcceptLoop* loopPtr = nullptr;
  AcceptLoop loop({a.fd.Get(), b.fd.Get()},
                  {.beforeAccept = [&] { events.push_back("reap"); },
                   .accepted =
                       [&](AcceptedConnection c) {
                         std::lock_guard lock(mutex);
                         events.push_back("accept " + std::to_string(c.listener));
                         accepted.push_back(std::move(c));
                         if (accepted.size() == 2) loopPtr->Stop();
                       }},
                  {});
  loopPtr = &loop;
  UniqueFd toA = mgmt::base::ConnectTcp("127.0.0.1", a.port, 2s);
  std::thread runner([&] { EXPECT_EQ(loop.Run(), 0); });
  // The second one only after the first was taken, so the order is known.
  while (true) {
    std::lock_guard lock(mutex);
    if (!accepted.empty()) break;
  }
  UniqueFd toB = mgmt::base::ConnectTcp("127.0.0.1", b.port, 2s);
  runner.join();
  ASSERT_EQ(accepted.size(), 2u);
  EXPECT_EQ(events, (std::vector<std::string>{"reap", "accept 0", "reap", "accept 1"}));
  EXPECT_TRUE(accepted[0].fd.Valid());
  EXPECT_EQ(accepted[0].address.ss_family, AF_INET);
}

TEST(AcceptLoop, PausesWhenOutOfDescriptorsAndRecovers) {
  Listener listener;
  mgmt::base::ManualClock clock;
  std::atomic<int> attempts{0};
  std::atomic<bool> exhausted{true};
  std::vector<int> failures;
  std::atomic<int> connections{0};
  AcceptLoop loop({listener.fd.Get()},
                  {.accepted = [&](AcceptedConnection) { ++connections; },
                   .acceptFailed = [&](int err) { failures.push_back(err); }},
                  {.pause = 100ms,
                   .clock = &clock,
                   .accept = [&](int fd, sockaddr* address, socklen_t* length) {
                     ++attempts;
                     if (exhausted) {
                       errno = EMFILE;
                       return -1;
                     }
                     return ::accept4(fd, address, length, SOCK_CLOEXEC);
                   }});
  // The queued connection keeps the listener readable the whole time.
  UniqueFd client = mgmt::base::ConnectTcp("127.0.0.1", listener.port, 2s);
  std::thread runner([&] { EXPECT_EQ(loop.Run(), 0); });

  clock.WaitForSleepers(1);
  EXPECT_EQ(attempts, 1);  // one attempt, then a pause instead of a spin
  clock.Advance(99ms);
  clock.WaitForSleepers(1);
  EXPECT_EQ(attempts, 1);
  clock.Advance(1ms);  // the pause is over: one more attempt, one more pause
  clock.WaitForSleepers(1);
  EXPECT_EQ(attempts, 2);

  exhausted = false;  // descriptors freed
  clock.Advance(100ms);
  while (connections == 0) std::this_thread::yield();
  EXPECT_EQ(attempts, 3);

  loop.Stop();
  runner.join();
  EXPECT_EQ(failures, (std::vector<int>{EMFILE, EMFILE}));
}

TEST(AcceptLoop, StopEndsAPause) {
  Listener listener;
  mgmt::base::ManualClock clock;
  AcceptLoop loop({listener.fd.Get()}, {.accepted = [](AcceptedConnection) {}},
                  {.clock = &clock, .accept = [](int, sockaddr*, socklen_t*) {
                     errno = ENFILE;
                     return -1;
                   }});
  UniqueFd client = mgmt::base::ConnectTcp("127.0.0.1", listener.port, 2s);
  std::thread runner([&] { loop.Run(); });
  clock.WaitForSleepers(1);
  loop.Stop();  // no time passes: the pause ends because of the stop
  runner.join();

  // Stopped before it ran: returns at once.
  AcceptLoop idle({listener.fd.Get()}, {.accepted = [](AcceptedConnection) {}}, {});
  idle.Stop();
  EXPECT_EQ(idle.Run(), 0);
}

}  // namespace
