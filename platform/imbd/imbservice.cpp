#include "imbservice.h"

#include <cerrno>

#include "base/bytes.h"
#include "imbioctl.h"
#include "log.h"
#include "sendmessage.h"

namespace mgmt::imbd {
namespace {

CallResult Fail(int error, uint32_t status) { return {static_cast<uint32_t>(error), status, {}}; }

CallResult Ok(std::vector<uint8_t> output = {}) {
  return {0, IMB_STATUS_SUCCESS, std::move(output)};
}

// A four-byte answer where the caller has room for it.
CallResult OkWord(uint32_t value, uint32_t outCapacity) {
  std::vector<uint8_t> out;
  if (outCapacity >= 4) base::AppendLe32(out, value);
  return Ok(std::move(out));
}

}  // namespace

CallResult ImbService::Call(uint32_t code, std::span<const uint8_t> input, uint32_t outCapacity) {
  switch (code) {
    case IMB_IOCTL_SEND_MESSAGE:
      return SendMessage(input, outCapacity);
    case IMB_IOCTL_GET_ASYNC_MSG:
      // No asynchronous messages are queued for the host.
      if (input.size() < 8) return Fail(EINVAL, IMB_STATUS_INVALID_PARAMETER);
      return Fail(EAGAIN, IMB_STATUS_NO_ASYNC_MSG);
    case IMB_IOCTL_SHUTDOWN_CODE:
      if (input.size() < 8) return Fail(EINVAL, IMB_STATUS_INVALID_PARAMETER);
      shutdownCode_ = base::GetLe32(input, 0);
      shutdownDelay_ = base::GetLe32(input, 4);
      Log(LOG_INFO, "shutdown code %u set, delay %u", shutdownCode_.load(), shutdownDelay_.load());
      return Ok();
    case IMB_IOCTL_START_ASYNC_POLL:
      return Ok();
    case IMB_IOCTL_REGISTER_ASYNC:
      return OkWord(nextHandle_++, outCapacity);
    case IMB_IOCTL_UNREGISTER_ASYNC:
      if (input.size() < 4) return Fail(EINVAL, IMB_STATUS_INVALID_PARAMETER);
      return OkWord(0, outCapacity);
    case IMB_IOCTL_ASYNC_AVAILABLE:
      if (input.size() < 4) return Fail(EINVAL, IMB_STATUS_INVALID_PARAMETER);
      return OkWord(0, outCapacity);  // nothing available
    default:
      return Fail(EINVAL, IMB_STATUS_NOT_SUPPORTED);
  }
}

CallResult ImbService::SendMessage(std::span<const uint8_t> input, uint32_t outCapacity) {
  const auto message = dev::DecodeSendMessage(input);
  if (!message || message->netFn > 0x3F || message->rsLun > 3)
    return Fail(EINVAL, IMB_STATUS_INVALID_PARAMETER);
  IpmiRequest request;
  request.rsSa = message->rsSa;
  request.cmd = message->cmd;
  request.netFn = message->netFn;
  request.rsLun = message->rsLun;
  request.data.assign(message->data.begin(), message->data.end());

  const bool async = (message->flags & IMB_REQ_FLAG_ASYNC) != 0;
  auto timeout = std::chrono::milliseconds(message->timeoutUs / 1000);
  if (async || timeout.count() == 0) timeout = defaultTimeout_;

  IpmiResponse response = backend_.Transact(request, timeout);
  switch (response.outcome) {
    case Outcome::kAnswered:
      break;
    case Outcome::kTimedOut:
      Log(LOG_DEBUG, "netfn 0x%02x cmd 0x%02x timed out", request.netFn, request.cmd);
      return Fail(ETIMEDOUT, IMB_STATUS_IO_TIMEOUT);
    case Outcome::kBusy:
      return Fail(EBUSY, IMB_STATUS_DEVICE_BUSY);
    case Outcome::kUnavailable:
      return Fail(ENXIO, IMB_STATUS_DEVICE_NOT_CONNECTED);
  }
  if (async) {
    // The request went to the BMC; its caller learns only the completion code and
    // the sequence number under which an answer would be queued.
    const uint8_t cc = response.bytes.empty() ? 0 : response.bytes[0];
    if (outCapacity < 2) return Fail(EOVERFLOW, IMB_STATUS_BUFFER_TOO_SMALL);
    return Ok({cc, nextAsyncSeq_++});
  }
  if (response.bytes.size() > outCapacity) return Fail(EOVERFLOW, IMB_STATUS_BUFFER_TOO_SMALL);
  return Ok(std::move(response.bytes));
}

}  // namespace mgmt::imbd
