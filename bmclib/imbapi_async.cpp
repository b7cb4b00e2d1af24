// Asynchronous messages, notification registration and the shutdown code. The
// daemon and the providers do not use them; they complete the driver interface.
#include <cstring>

#include "imbapi.h"
#include "imbapi_internal.h"

int SendAsyncImbpRequest(IMBPREQUESTDATA* reqPtr, BYTE* seqNo) {
  constexpr int kMaxData = int{IMB_SMALL_BUFFER_SIZE} - int{IMB_REQ_HEADER_SIZE};
  if (reqPtr == nullptr || seqNo == nullptr || reqPtr->dataLen < 0 || reqPtr->dataLen > kMaxData ||
      (reqPtr->dataLen > 0 && reqPtr->data == nullptr))
    return 1;
  auto request = imbapi::RequestBuffer(*reqPtr, IMB_REQ_FLAG_ASYNC, 0);
  if (!request) return 1;
  ImbResponseBuffer response{};
  DWORD returned = IMB_SMALL_BUFFER_SIZE;
  if (!DeviceIoControl(imbapi::DeviceHandle(), IMB_IOCTL_SEND_MESSAGE, &*request,
                       IMB_SMALL_BUFFER_SIZE, &response, IMB_SMALL_BUFFER_SIZE, &returned,
                       nullptr) ||
      returned != 2)
    return 1;
  *seqNo = response.data[0];
  return 0;
}

int GetAsyncImbpMessage(BYTE* msgPtr, DWORD* msgLen, DWORD timeOut, DWORD* seqNo,
                        DWORD channelNumber) {
  if (msgPtr == nullptr || msgLen == nullptr || seqNo == nullptr) return 1;
  while (true) {
    ImbAsyncRequest request{};
    request.timeOut =
        imbapi::MillisToMicros(static_cast<int>(timeOut > INT32_MAX ? INT32_MAX : timeOut));
    request.lastSeq = *seqNo;
    ImbAsyncResponse response{};
    DWORD returned = sizeof(response);
    if (!DeviceIoControl(imbapi::DeviceHandle(), IMB_IOCTL_GET_ASYNC_MSG, &request, sizeof(request),
                         &response, sizeof(response), &returned, nullptr))
      return imbapi::LastStatus() == IMB_STATUS_NO_ASYNC_MSG ? IMB_NO_MESSAGE : IMB_FAILED;
    // A message needs its sequence number and channel byte; anything shorter
    // cannot be taken apart.
    if (returned < offsetof(ImbAsyncResponse, data) || returned > sizeof(response) ||
        returned - 4 > *msgLen)
      return 1;
    if (response.channel != channelNumber) {
      *seqNo = response.thisSeq;
      continue;
    }
    const DWORD length = returned - offsetof(ImbAsyncResponse, data);
    std::memcpy(msgPtr, response.data, length);
    *msgLen = length;
    *seqNo = response.thisSeq;
    return 0;
  }
}

int RegisterForImbAsyncMessageNotification(DWORD* handleId) {
  if (handleId == nullptr || AsyncEventHandle != 0) return 1;
  DWORD input = 0;
  DWORD handle = 0;
  DWORD returned = sizeof(handle);
  if (!DeviceIoControl(imbapi::DeviceHandle(), IMB_IOCTL_REGISTER_ASYNC, &input, sizeof(input),
                       &handle, sizeof(handle), &returned, nullptr) ||
      returned != sizeof(handle))
    return 1;
  AsyncEventHandle = handle;
  *handleId = handle;
  return 0;
}

int UnRegisterForImbAsyncMessageNotification(DWORD handleId) {
  if (handleId != AsyncEventHandle) return 1;
  DWORD output = 0;
  DWORD returned = sizeof(output);
  if (!DeviceIoControl(imbapi::DeviceHandle(), IMB_IOCTL_UNREGISTER_ASYNC, &handleId,
                       sizeof(handleId), &output, sizeof(output), &returned, nullptr))
    return 1;
  // Without clearing it no handle could ever be registered again.
  AsyncEventHandle = 0;
  return 0;
}

int IsAsyncMessageAvailable(DWORD eventId) {
  if (eventId != AsyncEventHandle) return 1;
  DWORD output = 0;
  DWORD returned = sizeof(output);
  return DeviceIoControl(imbapi::DeviceHandle(), IMB_IOCTL_ASYNC_AVAILABLE, &eventId,
                         sizeof(eventId), &output, sizeof(output), &returned, nullptr)
             ? 0
             : 1;
}

int StartAsyncMesgPoll(void) {
  DWORD returned = 0;
  return DeviceIoControl(imbapi::DeviceHandle(), IMB_IOCTL_START_ASYNC_POLL, nullptr, 0, nullptr, 0,
                         &returned, nullptr)
             ? 0
             : 1;
}

int SetShutDownCode(int delayTime, int code) {
  ImbShutdownCode input{static_cast<DWORD>(code), static_cast<DWORD>(delayTime)};
  DWORD returned = 0;
  return DeviceIoControl(imbapi::DeviceHandle(), IMB_IOCTL_SHUTDOWN_CODE, &input, sizeof(input),
                         nullptr, 0, &returned, nullptr)
             ? 0
             : 1;
}
