// IMB driver access: the shared descriptor, the driver call and the synchronous
// IPMI request that every higher layer uses.
#include "imbapi.h"

#include <fcntl.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <shared_mutex>

#include "devseam.h"
#include "imbapi_internal.h"

int hDevice1 = 0;
DWORD NTstatus = 0;
DWORD AsyncEventHandle = 0;

namespace imbapi {
namespace {

// Guards the shared descriptor. Opening and closing take it exclusively, so two
// threads' first requests open one descriptor; a driver call holds it shared
// while it uses the descriptor, so IMBClose cannot close the number under a
// running call (where another file opened meanwhile could take it over).
std::shared_mutex& DescriptorLock() {
  static std::shared_mutex lock;
  return lock;
}

thread_local DWORD t_lastStatus = 0;

}  // namespace

void PrintDriverError(const char* function, const char* what) {
  char text[128];
  std::snprintf(text, sizeof(text), "%s %s: %s\n", "imbapi", function, what);
  std::perror(text);
}

DWORD LastStatus() { return t_lastStatus; }

DWORD MillisToMicros(int ms) {
  if (ms <= 0) return 0;
  const uint64_t us = static_cast<uint64_t>(ms) * 1000u;
  return us > UINT32_MAX ? UINT32_MAX : static_cast<DWORD>(us);
}

std::optional<ImbRequestBuffer> RequestBuffer(const IMBPREQUESTDATA& req, DWORD flags,
                                              DWORD timeOutUs) {
  if (req.dataLen < 0 || (req.dataLen > 0 && req.data == nullptr)) return std::nullopt;
  const std::span<const BYTE> data(req.data, static_cast<size_t>(req.dataLen));
  return mgmt::dev::EncodeSendMessage(
      {flags, timeOutUs, req.rsSA, req.cmd, req.netFn, req.rsLUN, data});
}

}  // namespace imbapi

int open_imb(void) {
  std::unique_lock lock(imbapi::DescriptorLock());
  if (__atomic_load_n(&hDevice1, __ATOMIC_ACQUIRE) != 0) return 1;
  const int fd = DevOpen("/dev/imb", O_RDWR);
  if (fd < 0) {
    char what[64];
    std::snprintf(what, sizeof(what), "open(%s) failed", "/dev/imb");
    imbapi::PrintDriverError("open_imb", what);
    return 0;
  }
  __atomic_store_n(&hDevice1, fd, __ATOMIC_RELEASE);
  return 1;
}

void IMBClose(void) {
  std::unique_lock lock(imbapi::DescriptorLock());
  const int fd = __atomic_exchange_n(&hDevice1, 0, __ATOMIC_ACQ_REL);
  if (fd != 0) DevClose(fd);
}

int DeviceIoControl(int /*hDevice*/, DWORD dwIoControlCode, void* lpvInBuffer, DWORD cbInBuffer,
                    void* lpvOutBuffer, DWORD cbOutBuffer, DWORD* lpcbBytesReturned,
                    void* /*lpoOverlapped*/) {
  DWORD status = 0;
  DWORD returned = cbOutBuffer;
  DWORD* bytesReturned = lpcbBytesReturned != nullptr ? lpcbBytesReturned : &returned;
  IoctlBlock block{};
  block.status = &status;
  block.inBuffer = lpvInBuffer;
  block.inLength = cbInBuffer;
  block.outBuffer = lpvOutBuffer;
  block.outLength = cbOutBuffer;
  block.bytesReturned = bytesReturned;
  block.overlapped = nullptr;
  int rc = -1;
  while (true) {
    {
      std::shared_lock use(imbapi::DescriptorLock());
      const int fd = __atomic_load_n(&hDevice1, __ATOMIC_ACQUIRE);
      if (fd != 0) {
        rc = DevIoctl(fd, dwIoControlCode, &block);
        break;
      }
    }
    // Not open (yet, or closed by another thread since): open on demand.
    if (!open_imb()) {
      // No driver call took place: this thread's status must not keep what an
      // earlier call left, or a stale "no message" would hide the failure.
      imbapi::t_lastStatus = IMB_STATUS_DEVICE_NOT_CONNECTED;
      return 0;
    }
  }
  // The process-wide word keeps the last status any thread saw; this thread's own
  // is kept apart for the callers here that act on it.
  imbapi::t_lastStatus = status;
  __atomic_store_n(&NTstatus, status, __ATOMIC_RELAXED);
  return rc == 0 ? 1 : 0;
}

int SendTimedImbpRequest(IMBPREQUESTDATA* reqPtr, int timeOut, BYTE* respDataPtr, int* respDataLen,
                         BYTE* completionCode) {
  if (reqPtr == nullptr || reqPtr->dataLen < 0 || reqPtr->dataLen > IMB_MAX_REQUEST_DATA ||
      (reqPtr->dataLen > 0 && reqPtr->data == nullptr))
    return 1;
  auto request = imbapi::RequestBuffer(
      *reqPtr, 0,
      imbapi::MillisToMicros(timeOut < IMB_MIN_TIMEOUT_MS ? IMB_MIN_TIMEOUT_MS : timeOut));
  if (!request) return 1;

  ImbResponseBuffer response{};
  DWORD returned = sizeof(response);
  if (!DeviceIoControl(imbapi::DeviceHandle(), IMB_IOCTL_SEND_MESSAGE, &*request, sizeof(*request),
                       &response, sizeof(response), &returned, nullptr))
    return 1;
  if (returned == 0) return 1;
  if (returned > sizeof(response)) returned = sizeof(response);
  if (completionCode != nullptr) *completionCode = response.cCode;
  if (respDataLen != nullptr) *respDataLen = 0;
  if (returned > 1 && respDataPtr != nullptr) {
    std::memcpy(respDataPtr, response.data, returned - 1);
    if (respDataLen != nullptr) *respDataLen = static_cast<int>(returned - 1);
  }
  return 0;
}

void FillRequest(IMBPREQUESTDATA* req, BYTE cmd, BYTE rsSA, BYTE bus, BYTE netFn, BYTE rsLUN,
                 BYTE* data, int dataLen) {
  if (req == nullptr) return;
  req->cmd = cmd;
  req->rsSA = rsSA;
  req->bus = bus;
  req->netFn = netFn;
  req->rsLUN = rsLUN;
  req->data = data;
  req->dataLen = dataLen;
}

int DoIpmiRequest(IMBPREQUESTDATA* req, BYTE* resp, int* respLen) {
  BYTE buffer[IMB_SEND_BUFFER_SIZE];
  int length = 0;
  BYTE cc = 0;
  if (SendTimedImbpRequest(req, 1000, buffer, &length, &cc) != 0) return -1;
  if (cc != 0) return cc;
  if (resp != nullptr && respLen != nullptr) {
    if (length > 0) std::memcpy(resp, buffer, length);
    *respLen = length;
  }
  return 0;
}
