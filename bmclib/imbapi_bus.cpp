// Requests that travel beyond the BMC: I2C master write-read on a private bus,
// and answers to IPMB requests that arrived over the EMP path.
#include <cstring>
#include <vector>

#include "base/ipmi_checksum.h"
#include "imbapi.h"
#include "imbapi_internal.h"

namespace {

constexpr BYTE kBmcAddress = 0x20;
constexpr BYTE kNetFnApp = 0x06;
constexpr BYTE kCmdMasterWriteRead = 0x52;
constexpr BYTE kCmdSendMessage = 0x34;
// The small senders' 67-byte buffer less the request header.
constexpr size_t kSmallMaxData = size_t{IMB_SMALL_BUFFER_SIZE} - size_t{IMB_REQ_HEADER_SIZE};

// Sends `data` as application request `cmd` through the 67-byte buffers.
bool SendSmall(BYTE cmd, const std::vector<BYTE>& data, int timeOutMs, ImbResponseBuffer& response,
               DWORD& returned) {
  auto request = mgmt::dev::EncodeSendMessage(
      {0, imbapi::MillisToMicros(timeOutMs), kBmcAddress, cmd, kNetFnApp, 0, data});
  if (!request) return false;
  returned = IMB_SMALL_BUFFER_SIZE;
  return DeviceIoControl(imbapi::DeviceHandle(), IMB_IOCTL_SEND_MESSAGE, &*request,
                         IMB_SMALL_BUFFER_SIZE, &response, IMB_SMALL_BUFFER_SIZE, &returned,
                         nullptr) != 0;
}

}  // namespace

int SendTimedI2cRequest(I2cRequest* reqPtr, int timeOut, BYTE* respDataPtr, int* respDataLen,
                        BYTE* completionCode) {
  if (reqPtr == nullptr || respDataLen == nullptr || completionCode == nullptr ||
      reqPtr->dataLen < 0 || static_cast<size_t>(reqPtr->dataLen) + 3 > kSmallMaxData ||
      (reqPtr->dataLen > 0 && reqPtr->data == nullptr))
    return 1;
  std::vector<BYTE> data{reqPtr->busType, reqPtr->slaveAddr, reqPtr->readCount};
  data.insert(data.end(), reqPtr->data, reqPtr->data + reqPtr->dataLen);
  ImbResponseBuffer response{};
  DWORD returned = 0;
  if (!SendSmall(kCmdMasterWriteRead, data, timeOut, response, returned) || returned == 0) return 1;
  if (returned > IMB_SMALL_BUFFER_SIZE) returned = IMB_SMALL_BUFFER_SIZE;
  *completionCode = response.cCode;
  *respDataLen = static_cast<int>(returned - 1);
  if (*respDataLen != 0 && respDataPtr != nullptr)
    std::memcpy(respDataPtr, response.data, returned - 1);
  return 0;
}

int SendTimedEmpMessageResponse(BYTE* msgHeader, BYTE* responseDataBuf, int responseDataLen,
                                int timeOut) {
  // Channel, requester address, netFn/LUN, checksum, responder, seq/LUN, command,
  // data, checksum: eight bytes around the response data.
  if (msgHeader == nullptr || responseDataLen < 0 ||
      static_cast<size_t>(responseDataLen) + 8 > kSmallMaxData ||
      (responseDataLen > 0 && responseDataBuf == nullptr))
    return 1;
  std::vector<BYTE> data;
  data.push_back(1);  // channel
  data.push_back(msgHeader[3]);
  data.push_back(static_cast<BYTE>((msgHeader[1] & 0xFC) | (msgHeader[4] & 0x03) | 0x04));
  data.push_back(mgmt::base::IpmiChecksum(std::span(data).subspan(1, 2)));
  const size_t bodyStart = data.size();
  data.push_back(kBmcAddress);
  data.push_back(static_cast<BYTE>((msgHeader[4] & 0xFC) | (msgHeader[1] & 0x03)));
  data.push_back(msgHeader[5]);
  data.insert(data.end(), responseDataBuf, responseDataBuf + responseDataLen);
  data.push_back(mgmt::base::IpmiChecksum(std::span(data).subspan(bodyStart)));
  ImbResponseBuffer response{};
  DWORD returned = 0;
  if (!SendSmall(kCmdSendMessage, data, timeOut, response, returned)) return 1;
  return returned == 1 && response.cCode == 0 ? 0 : 1;
}
