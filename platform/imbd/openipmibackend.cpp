#include "openipmibackend.h"

#include <cerrno>
#include <cstring>
#include <thread>

#include "log.h"

namespace mgmt::imbd {
namespace {

constexpr uint8_t kBmcAddress = 0x20;
constexpr int kPollSliceMs = 100;  // how soon the reader notices shutdown

}  // namespace

OpenIpmiBackend::OpenIpmiBackend(std::unique_ptr<IpmiDevIo> device)
    : device_(std::move(device)), reader_([this] { ReadLoop(); }) {}

OpenIpmiBackend::~OpenIpmiBackend() {
  stop_ = true;
  reader_.join();
}

void OpenIpmiBackend::ReadLoop() {
  unsigned char data[IPMI_MAX_MSG_LENGTH];
  ipmi_addr addr{};
  while (!stop_) {
    const int ready = device_->Poll(kPollSliceMs);
    if (ready == 0) continue;
    if (ready < 0) {
      Log(LOG_ERR, "poll on the IPMI device failed: %s", std::strerror(errno));
      pending_.FailAll(Outcome::kUnavailable);
      break;
    }
    ipmi_recv message{};
    message.addr = reinterpret_cast<unsigned char*>(&addr);
    message.addr_len = sizeof(addr);
    message.msg.data = data;
    message.msg.data_len = sizeof(data);
    if (device_->Receive(message) != 0) {
      if (errno != EAGAIN && errno != EINTR && errno != EMSGSIZE)
        Log(LOG_WARNING, "receive from the IPMI device failed: %s", std::strerror(errno));
      continue;
    }
    // Events and commands addressed to the host are not ours to answer.
    if (message.recv_type != IPMI_RESPONSE_RECV_TYPE) continue;
    const size_t length = std::min<size_t>(message.msg.data_len, sizeof(data));
    const uint32_t tag = static_cast<uint32_t>(message.msg.netfn) << 8 | message.msg.cmd;
    if (!pending_.Complete(static_cast<uint32_t>(message.msgid), tag,
                           std::vector<uint8_t>(data, data + length)))
      Log(LOG_DEBUG, "dropped an answer nobody waits for (id %ld)", message.msgid);
  }
  // A reader that stopped on an error leaves later requests to fail on time-out;
  // tell them at once instead.
  // The device is not polled again: a poll that fails at once would make this a
  // busy loop.
  while (!stop_) {
    pending_.FailAll(Outcome::kUnavailable);
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollSliceMs));
  }
}

void OpenIpmiBackend::Shutdown() {
  {
    // Under the lock Transact registers requests with: none slips past FailAll.
    std::lock_guard lock(sendMutex_);
    shuttingDown_ = true;
  }
  pending_.FailAll(Outcome::kUnavailable);
}

IpmiResponse OpenIpmiBackend::Transact(const IpmiRequest& request,
                                       std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  ipmi_system_interface_addr bmc{};
  bmc.addr_type = IPMI_SYSTEM_INTERFACE_ADDR_TYPE;
  bmc.channel = IPMI_BMC_CHANNEL;
  bmc.lun = request.rsLun;
  ipmi_ipmb_addr ipmb{};
  ipmb.addr_type = IPMI_IPMB_ADDR_TYPE;
  ipmb.channel = 0;
  ipmb.slave_addr = request.rsSa;
  ipmb.lun = request.rsLun;

  std::vector<uint8_t> data = request.data;
  ipmi_req req{};
  if (request.rsSa == kBmcAddress) {
    req.addr = reinterpret_cast<unsigned char*>(&bmc);
    req.addr_len = sizeof(bmc);
  } else {
    req.addr = reinterpret_cast<unsigned char*>(&ipmb);
    req.addr_len = sizeof(ipmb);
  }
  req.msg.netfn = request.netFn;
  req.msg.cmd = request.cmd;
  req.msg.data = data.empty() ? nullptr : data.data();
  req.msg.data_len = static_cast<unsigned short>(data.size());

  uint32_t id = 0;
  {
    std::lock_guard lock(sendMutex_);
    if (shuttingDown_) return {Outcome::kUnavailable, {}};
    do {
      id = nextId_++;
    } while (id == 0 || !pending_.Add(id, AnswerTag(request.netFn, request.cmd)));
    req.msgid = id;
    if (device_->Send(req) != 0) {
      const int err = errno;
      pending_.Remove(id);
      Log(LOG_WARNING, "send to the IPMI device failed: %s", std::strerror(err));
      return {err == EBUSY ? Outcome::kBusy : Outcome::kUnavailable, {}};
    }
  }
  return pending_.Wait(id, deadline);
}

}  // namespace mgmt::imbd
