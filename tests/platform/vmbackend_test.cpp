// The "vm" backend against a stand-in simulator on a loopback TCP port: the
// handshake, answers matched by sequence number, time-outs, dropped frames and
// reconnection.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sys/syscall.h>

#include <atomic>
#include <fstream>
#include <future>

#include "base/clock.h"
#include "base/fdio.h"
#include "base/ipmi_checksum.h"
#include "log.h"
#include "vmbackend.h"
#include "vmcodec.h"

using namespace std::chrono_literals;
using mgmt::imbd::IpmiRequest;
using mgmt::imbd::Outcome;
using mgmt::imbd::VmBackend;
namespace vm = mgmt::imbd::vm;
using Bytes = std::vector<uint8_t>;

namespace {

// A listening socket on 127.0.0.1 that plays the simulator's side.
class FakeSimulator {
 public:
  explicit FakeSimulator(uint16_t port = 0) { Listen(port); }
  ~FakeSimulator() {
    Drop();
    if (listen_ >= 0) ::close(listen_);
  }
  uint16_t Port() const { return port_; }

  void Listen(uint16_t port) {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        ::listen(listen_, 1) != 0)
      throw std::runtime_error("cannot listen");
    socklen_t len = sizeof(addr);
    getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
  }
  void StopListening() {
    ::close(listen_);
    listen_ = -1;
  }
  bool Accept() {
    pollfd p{listen_, POLLIN, 0};
    if (::poll(&p, 1, 5000) != 1) return false;
    conn_ = ::accept(listen_, nullptr, nullptr);
    return conn_ >= 0;
  }
  void Drop() {
    if (conn_ >= 0) ::close(conn_);
    conn_ = -1;
  }
  void Send(const Bytes& bytes) { mgmt::base::WriteFull(conn_, bytes); }
  // The next frames the backend sent, waiting up to five seconds for `count`.
  std::vector<vm::Frame> Receive(size_t count) {
    while (frames_.size() < count) {
      pollfd p{conn_, POLLIN, 0};
      if (::poll(&p, 1, 5000) != 1) break;
      uint8_t buf[256];
      const ssize_t n = ::read(conn_, buf, sizeof(buf));
      if (n <= 0) break;
      decoder_.Feed({buf, static_cast<size_t>(n)}, frames_);
    }
    std::vector<vm::Frame> out(
        frames_.begin(), frames_.begin() + static_cast<long>(std::min(count, frames_.size())));
    frames_.erase(frames_.begin(), frames_.begin() + static_cast<long>(out.size()));
    return out;
  }
  // Answers a request frame with the given completion code and data.
  void Answer(const vm::Frame& request, Bytes ccAndData, bool corrupt = false) {
    Bytes raw{request.bytes[0], static_cast<uint8_t>(request.bytes[1] + 4), request.bytes[2]};
    raw.insert(raw.end(), ccAndData.begin(), ccAndData.end());
    raw.push_back(static_cast<uint8_t>(mgmt::base::IpmiChecksum(raw) + (corrupt ? 1 : 0)));
    Bytes wire;
    for (uint8_t b : raw) {
      if (b == 0xA0 || b == 0xA1 || b == 0xAA) {
        wire.push_back(0xAA);
        wire.push_back(b | 0x10);
      } else {
        wire.push_back(b);
      }
    }
    wire.push_back(0xA0);
    Send(wire);
  }

 private:
  int listen_ = -1;
  int conn_ = -1;
  uint16_t port_ = 0;
  vm::Decoder decoder_;
  std::vector<vm::Frame> frames_;
};

IpmiRequest Request(uint8_t cmd, Bytes data = {}) {
  IpmiRequest r;
  r.netFn = 0x06;
  r.cmd = cmd;
  r.data = std::move(data);
  return r;
}

VmBackend::Options OptionsFor(uint16_t port) {
  VmBackend::Options o;
  o.port = std::to_string(port);
  o.minBackoff = 10ms;
  o.maxBackoff = 50ms;
  return o;
}

// True while thread `tid` of this process waits in poll(2).
bool InPoll(pid_t tid) {
  std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/syscall");
  long number = -1;
  in >> number;
  return number == SYS_poll || number == SYS_ppoll;
}

void WaitConnected(const VmBackend& backend) {
  for (int i = 0; i < 500 && !backend.Connected(); ++i) std::this_thread::sleep_for(10ms);
}

std::mutex g_logMutex;
std::vector<std::string> g_log;

void CaptureLine(int priority, const char* line) {
  if (priority == LOG_DEBUG) return;
  std::lock_guard lock(g_logMutex);
  g_log.emplace_back(line);
}

bool Logged(const std::string& text) {
  for (int i = 0; i < 500; ++i) {
    {
      std::lock_guard lock(g_logMutex);
      for (const auto& line : g_log)
        if (line.find(text) != std::string::npos) return true;
    }
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

class VmBackendTest : public ::testing::Test {
 protected:
  void SetUp() override { mgmt::imbd::SetLogSinks(false, false); }
  void TearDown() override { mgmt::imbd::SetLogCapture(nullptr); }
};

}  // namespace

TEST_F(VmBackendTest, AnnouncesVersionAndPowerResetCapabilitiesAndMatchesAnswersBySequence) {
  FakeSimulator sim;
  VmBackend backend(OptionsFor(sim.Port()));
  ASSERT_TRUE(sim.Accept());
  const auto hello = sim.Receive(2);
  ASSERT_EQ(hello.size(), 2u);
  EXPECT_EQ(hello[0].bytes, (Bytes{0xFF, 0x01}));
  EXPECT_EQ(hello[1].bytes, (Bytes{0x08, 0x03}));
  WaitConnected(backend);

  // Two requests in flight; the simulator answers the second one first, with
  // a control command and an answer to nobody in between.
  auto first = std::async(std::launch::async, [&] { return backend.Transact(Request(0x01), 5s); });
  auto frames = sim.Receive(1);
  auto second =
      std::async(std::launch::async, [&] { return backend.Transact(Request(0x22, {0xA0}), 5s); });
  auto more = sim.Receive(1);
  ASSERT_EQ(frames.size(), 1u);
  ASSERT_EQ(more.size(), 1u);
  EXPECT_EQ(more[0].bytes[3], 0xA0);  // data byte arrived unescaped
  sim.Send(vm::EncodeControl(vm::kAttentionOn));
  vm::Frame foreign = more[0];
  foreign.bytes[0] = static_cast<uint8_t>(foreign.bytes[0] + 100);
  sim.Answer(foreign, {0x00, 0x99});
  sim.Answer(more[0], {0x00, 0x02});
  sim.Answer(frames[0], {0x00, 0x01, 0xAA});
  const auto a = first.get();
  const auto b = second.get();
  EXPECT_EQ(a.outcome, Outcome::kAnswered);
  EXPECT_EQ(a.bytes, (Bytes{0x00, 0x01, 0xAA}));
  EXPECT_EQ(b.outcome, Outcome::kAnswered);
  EXPECT_EQ(b.bytes, (Bytes{0x00, 0x02}));
}

TEST_F(VmBackendTest, ARequestTimesOutAtItsDeadlineNotAtTheNextSlice) {
  // Time passes only when the test says so; a request's single waits could last
  // an hour, so only the deadline can end this one in time.
  mgmt::base::ManualClock clock;
  auto options = OptionsFor(0);
  FakeSimulator sim;
  options.port = std::to_string(sim.Port());
  options.clock = &clock;
  options.waitSlice = std::chrono::hours(1);
  VmBackend backend(options);
  ASSERT_TRUE(sim.Accept());
  sim.Receive(2);
  WaitConnected(backend);

  std::atomic<pid_t> tid{0};
  auto pending = std::async(std::launch::async, [&] {
    tid = static_cast<pid_t>(::syscall(SYS_gettid));
    return backend.Transact(Request(0x01), 50ms);
  });
  ASSERT_EQ(sim.Receive(1).size(), 1u);  // sent; the simulator stays silent
  // The request reads the connection for itself, waiting in poll(2).
  while (tid == 0 || !InPoll(tid)) std::this_thread::yield();
  clock.Advance(49ms);
  EXPECT_EQ(pending.wait_for(0s), std::future_status::timeout);
  clock.Advance(1ms);
  const bool done = pending.wait_for(60s) == std::future_status::ready;
  if (!done) sim.Drop();  // ends the wait, so the test itself ends
  EXPECT_TRUE(done) << "the request waited past its deadline";
  EXPECT_EQ(pending.get().outcome, Outcome::kTimedOut);
}

TEST_F(VmBackendTest, CorruptAnswersAreDroppedAndTheTimeOutIsEnforced) {
  FakeSimulator sim;
  VmBackend backend(OptionsFor(sim.Port()));
  ASSERT_TRUE(sim.Accept());
  sim.Receive(2);
  WaitConnected(backend);
  auto pending =
      std::async(std::launch::async, [&] { return backend.Transact(Request(0x01), 300ms); });
  const auto frames = sim.Receive(1);
  ASSERT_EQ(frames.size(), 1u);
  sim.Answer(frames[0], {0x00, 0x01}, /*corrupt=*/true);
  const auto start = std::chrono::steady_clock::now();
  const auto result = pending.get();
  EXPECT_EQ(result.outcome, Outcome::kTimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  EXPECT_GE(backend.DroppedFrames(), 1u);

  // A late answer to the timed-out request does not reach the next request.
  auto next = std::async(std::launch::async, [&] { return backend.Transact(Request(0x01), 5s); });
  const auto nextFrames = sim.Receive(1);
  ASSERT_EQ(nextFrames.size(), 1u);
  sim.Answer(frames[0], {0x00, 0x0F});
  sim.Answer(nextFrames[0], {0x00, 0x02});
  EXPECT_EQ(next.get().bytes, (Bytes{0x00, 0x02}));
}

TEST_F(VmBackendTest, FailsFastWhileDownAndReconnectsWhenTheSimulatorReturns) {
  auto sim = std::make_unique<FakeSimulator>();
  const uint16_t port = sim->Port();
  VmBackend backend(OptionsFor(port));
  ASSERT_TRUE(sim->Accept());
  sim->Receive(2);
  WaitConnected(backend);

  // A request in flight when the connection drops fails at once.
  auto inFlight =
      std::async(std::launch::async, [&] { return backend.Transact(Request(0x01), 30s); });
  ASSERT_EQ(sim->Receive(1).size(), 1u);
  sim.reset();
  EXPECT_EQ(inFlight.get().outcome, Outcome::kUnavailable);
  for (int i = 0; i < 500 && backend.Connected(); ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(backend.Transact(Request(0x01), 30s).outcome, Outcome::kUnavailable);

  FakeSimulator again(port);
  ASSERT_TRUE(again.Accept());
  EXPECT_EQ(again.Receive(2).size(), 2u);  // a fresh handshake
  WaitConnected(backend);
  auto after = std::async(std::launch::async, [&] { return backend.Transact(Request(0x01), 5s); });
  const auto frames = again.Receive(1);
  ASSERT_EQ(frames.size(), 1u);
  again.Answer(frames[0], {0x00});
  EXPECT_EQ(after.get().outcome, Outcome::kAnswered);
}

TEST_F(VmBackendTest, TheSimulatorsPowerAndResetRequestsAreLoggedWhileIdle) {
  {
    std::lock_guard lock(g_logMutex);
    g_log.clear();
  }
  mgmt::imbd::SetLogCapture(CaptureLine);
  FakeSimulator sim;
  VmBackend backend(OptionsFor(sim.Port()));
  ASSERT_TRUE(sim.Accept());
  sim.Receive(2);
  WaitConnected(backend);
  // No request is waiting: the connection thread reads these.
  sim.Send(vm::EncodeControl(vm::kReset));
  sim.Send(vm::EncodeControl(vm::kPowerOff));
  EXPECT_TRUE(Logged("BMC requests host reset"));
  EXPECT_TRUE(Logged("BMC requests host power off"));
}

TEST_F(VmBackendTest, ManyConcurrentRequestsEachGetTheirOwnAnswer) {
  FakeSimulator sim;
  VmBackend backend(OptionsFor(sim.Port()));
  ASSERT_TRUE(sim.Accept());
  sim.Receive(2);
  WaitConnected(backend);
  constexpr int kThreads = 6;
  constexpr int kRounds = 150;
  // The simulator echoes each request's data back, answering as fast as it reads.
  std::thread answerer([&] {
    for (int answered = 0; answered < kThreads * kRounds;) {
      const auto frames = sim.Receive(1);
      if (frames.empty()) return;
      const auto& f = frames[0];
      Bytes answer{0x00};
      answer.insert(answer.end(), f.bytes.begin() + 3, f.bytes.end() - 1);
      sim.Answer(f, answer);
      ++answered;
    }
  });
  std::atomic<int> wrong{0};
  std::vector<std::thread> clients;
  for (int t = 0; t < kThreads; ++t) {
    clients.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        const Bytes data{static_cast<uint8_t>(t), static_cast<uint8_t>(i)};
        const auto r = backend.Transact(Request(0x30, data), 5s);
        if (r.outcome != Outcome::kAnswered || r.bytes != Bytes({0x00, data[0], data[1]})) ++wrong;
      }
    });
  }
  for (auto& c : clients) c.join();
  answerer.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST_F(VmBackendTest, ShutdownEndsWaitingRequestsAtOnce) {
  FakeSimulator sim;
  VmBackend backend(OptionsFor(sim.Port()));
  ASSERT_TRUE(sim.Accept());
  sim.Receive(2);
  WaitConnected(backend);
  auto waiting =
      std::async(std::launch::async, [&] { return backend.Transact(Request(0x01), 30s); });
  ASSERT_EQ(sim.Receive(1).size(), 1u);  // at the simulator, which never answers
  const auto start = std::chrono::steady_clock::now();
  backend.Shutdown();
  EXPECT_EQ(waiting.get().outcome, Outcome::kUnavailable);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_EQ(backend.Transact(Request(0x01), 30s).outcome, Outcome::kUnavailable);
}
