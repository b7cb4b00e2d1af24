// The "openipmi" backend against a scripted stand-in for /dev/ipmi0.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <future>
#include <thread>

#include "log.h"
#include "openipmibackend.h"

using namespace std::chrono_literals;
using mgmt::imbd::IpmiRequest;
using mgmt::imbd::Outcome;
using Bytes = std::vector<uint8_t>;

namespace {

struct Sent {
  int addrType = 0;
  int lunOrSlave = 0;
  long msgid = 0;
  uint8_t netfn = 0;
  uint8_t cmd = 0;
  Bytes data;
};

struct Queued {
  int recvType = IPMI_RESPONSE_RECV_TYPE;
  long msgid = 0;
  uint8_t netfn = 0;
  uint8_t cmd = 0;
  Bytes data;
};

// Records what was sent; delivers what the test queues, in order.
class FakeIpmiDevice : public mgmt::imbd::IpmiDevIo {
 public:
  int Send(ipmi_req& request) override {
    std::lock_guard lock(mutex_);
    if (failSends_) {
      errno = ENXIO;
      return -1;
    }
    Sent s;
    const auto* addr = reinterpret_cast<const ipmi_addr*>(request.addr);
    s.addrType = addr->addr_type;
    if (s.addrType == IPMI_IPMB_ADDR_TYPE)
      s.lunOrSlave = reinterpret_cast<const ipmi_ipmb_addr*>(request.addr)->slave_addr;
    s.msgid = request.msgid;
    s.netfn = request.msg.netfn;
    s.cmd = request.msg.cmd;
    s.data.assign(request.msg.data, request.msg.data + request.msg.data_len);
    sent_.push_back(s);
    cv_.notify_all();
    return 0;
  }
  int Poll(int timeoutMs) override {
    std::unique_lock lock(mutex_);
    ++polls_;
    if (failPolls_) {
      errno = ENOMEM;
      return -1;
    }
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !queue_.empty(); })
               ? 1
               : 0;
  }
  int Receive(ipmi_recv& message) override {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) {
      errno = EAGAIN;
      return -1;
    }
    const Queued q = queue_.front();
    queue_.pop_front();
    message.recv_type = q.recvType;
    message.msgid = q.msgid;
    message.msg.netfn = q.netfn;
    message.msg.cmd = q.cmd;
    const size_t n = std::min<size_t>(q.data.size(), message.msg.data_len);
    std::memcpy(message.msg.data, q.data.data(), n);
    message.msg.data_len = static_cast<unsigned short>(n);
    return 0;
  }

  void Deliver(Queued q) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(q));
    cv_.notify_all();
  }
  std::vector<Sent> WaitSent(size_t count) {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, 5s, [&] { return sent_.size() >= count; });
    return sent_;
  }
  void FailSends() {
    std::lock_guard lock(mutex_);
    failSends_ = true;
  }
  void FailPolls() {
    std::lock_guard lock(mutex_);
    failPolls_ = true;
  }
  int Polls() {
    std::lock_guard lock(mutex_);
    return polls_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Sent> sent_;
  std::deque<Queued> queue_;
  bool failSends_ = false;
  bool failPolls_ = false;
  int polls_ = 0;
};

IpmiRequest Request(uint8_t rsSa, uint8_t netFn, uint8_t cmd, Bytes data = {}) {
  IpmiRequest r;
  r.rsSa = rsSa;
  r.netFn = netFn;
  r.cmd = cmd;
  r.data = std::move(data);
  return r;
}

}  // namespace

TEST(OpenIpmiBackend, AnswersAreMatchedByMessageIdWhateverTheirOrder) {
  mgmt::imbd::SetLogSinks(false, false);
  auto owned = std::make_unique<FakeIpmiDevice>();
  FakeIpmiDevice& device = *owned;
  mgmt::imbd::OpenIpmiBackend backend(std::move(owned));

  auto a = std::async(std::launch::async, [&] {
    return backend.Transact(Request(0x20, 0x0A, 0x43, {1, 2}), 5s);
  });
  device.WaitSent(1);
  auto b = std::async(std::launch::async,
                      [&] { return backend.Transact(Request(0x2C, 0x06, 0x01), 5s); });
  const auto sent = device.WaitSent(2);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].addrType, IPMI_SYSTEM_INTERFACE_ADDR_TYPE);
  EXPECT_EQ(sent[0].netfn, 0x0A);
  EXPECT_EQ(sent[0].data, (Bytes{1, 2}));
  EXPECT_EQ(sent[1].addrType, IPMI_IPMB_ADDR_TYPE);  // not the BMC: over IPMB
  EXPECT_EQ(sent[1].lunOrSlave, 0x2C);
  EXPECT_NE(sent[0].msgid, sent[1].msgid);

  device.Deliver({IPMI_ASYNC_EVENT_RECV_TYPE, sent[0].msgid, 0x0B, 0x43, {0x00, 0xEE}});
  device.Deliver({IPMI_RESPONSE_RECV_TYPE, 9999, 0x0B, 0x43, {0x00, 0xDD}});
  device.Deliver({IPMI_RESPONSE_RECV_TYPE, sent[1].msgid, 0x07, 0x01, {0x00, 0x20}});
  device.Deliver({IPMI_RESPONSE_RECV_TYPE, sent[0].msgid, 0x0B, 0x43, {0xCA}});
  const auto ra = a.get();
  const auto rb = b.get();
  EXPECT_EQ(ra.outcome, Outcome::kAnswered);
  EXPECT_EQ(ra.bytes, Bytes{0xCA});
  EXPECT_EQ(rb.bytes, (Bytes{0x00, 0x20}));
}

TEST(OpenIpmiBackend, NoAnswerTimesOutAndAFailedSendFailsAtOnce) {
  mgmt::imbd::SetLogSinks(false, false);
  auto owned = std::make_unique<FakeIpmiDevice>();
  FakeIpmiDevice& device = *owned;
  mgmt::imbd::OpenIpmiBackend backend(std::move(owned));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(backend.Transact(Request(0x20, 0x06, 0x01), 200ms).outcome, Outcome::kTimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
  device.FailSends();
  EXPECT_EQ(backend.Transact(Request(0x20, 0x06, 0x01), 30s).outcome, Outcome::kUnavailable);
}

TEST(OpenIpmiBackend, ADeviceThatCannotBePolledFailsRequestsWithoutSpinning) {
  mgmt::imbd::SetLogSinks(false, false);
  auto owned = std::make_unique<FakeIpmiDevice>();
  FakeIpmiDevice& device = *owned;
  device.FailPolls();
  mgmt::imbd::OpenIpmiBackend backend(std::move(owned));
  EXPECT_EQ(backend.Transact(Request(0x20, 0x06, 0x01), 30s).outcome, Outcome::kUnavailable);
  // A window in which a reader that kept polling the broken device would call
  // it thousands of times.
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(device.Polls(), 1);
}
