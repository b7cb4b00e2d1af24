// The IMB driver's ioctl interface: request codes, the argument block whose address
// is the third ioctl argument, and the driver status values. Shared by the IMB
// library (the caller), the device seam (which carries requests to imbd over a
// socket) and imbd (which answers them).
#ifndef MGMT_PLATFORM_IMBIOCTL_H
#define MGMT_PLATFORM_IMBIOCTL_H

#include <stddef.h>
#include <stdint.h>

/// Argument block of every IMB ioctl. Address words are native pointers: on 32-bit
/// x86 the block is ten 32-bit words, on 64-bit Linux the address words widen.
struct IoctlBlock {
  uint32_t reserved[3];     ///< zero
  uint32_t* status;         ///< where the driver stores its status word
  void* inBuffer;           ///< request bytes
  uint32_t inLength;        ///< request length in bytes
  void* outBuffer;          ///< response buffer
  uint32_t outLength;       ///< response buffer capacity in bytes
  uint32_t* bytesReturned;  ///< in: output capacity; out: bytes stored
  void* overlapped;         ///< always null
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(IoctlBlock) == 40);
static_assert(offsetof(IoctlBlock, status) == 12);
static_assert(offsetof(IoctlBlock, inBuffer) == 16);
static_assert(offsetof(IoctlBlock, inLength) == 20);
static_assert(offsetof(IoctlBlock, outBuffer) == 24);
static_assert(offsetof(IoctlBlock, outLength) == 28);
static_assert(offsetof(IoctlBlock, bytesReturned) == 32);
static_assert(offsetof(IoctlBlock, overlapped) == 36);
#else
static_assert(sizeof(IoctlBlock) == 72);
static_assert(offsetof(IoctlBlock, status) == 16);
static_assert(offsetof(IoctlBlock, inBuffer) == 24);
static_assert(offsetof(IoctlBlock, inLength) == 32);
static_assert(offsetof(IoctlBlock, outBuffer) == 40);
static_assert(offsetof(IoctlBlock, outLength) == 48);
static_assert(offsetof(IoctlBlock, bytesReturned) == 56);
static_assert(offsetof(IoctlBlock, overlapped) == 64);
#endif

/// IMB ioctl request codes.
enum : uint32_t {
  IMB_IOCTL_SEND_MESSAGE = 0x1082,
  IMB_IOCTL_GET_ASYNC_MSG = 0x1088,
  IMB_IOCTL_SHUTDOWN_CODE = 0x1092,
  IMB_IOCTL_START_ASYNC_POLL = 0x1094,
  IMB_IOCTL_REGISTER_ASYNC = 0x1098,
  IMB_IOCTL_UNREGISTER_ASYNC = 0x109A,
  IMB_IOCTL_ASYNC_AVAILABLE = 0x109C,
};

/// Driver status words. Callers interpret only success and "no async message";
/// the others say why a call failed, for logs and tests.
enum : uint32_t {
  IMB_STATUS_SUCCESS = 0,
  IMB_STATUS_NO_ASYNC_MSG = 0xE0070012u,
  IMB_STATUS_INVALID_PARAMETER = 0xC000000Du,
  IMB_STATUS_BUFFER_TOO_SMALL = 0xC0000023u,
  IMB_STATUS_DEVICE_NOT_CONNECTED = 0xC000009Du,
  IMB_STATUS_IO_TIMEOUT = 0xC00000B5u,
  IMB_STATUS_NOT_SUPPORTED = 0xC00000BBu,
  IMB_STATUS_DEVICE_BUSY = 0x80000011u,
};

/// Sizes of the driver buffers.
enum {
  IMB_SEND_BUFFER_SIZE = 128,   ///< synchronous sender, input and output
  IMB_SMALL_BUFFER_SIZE = 67,   ///< I2C, EMP and asynchronous senders
  IMB_MAX_REQUEST_DATA = 115,   ///< 128 less the request header
  IMB_MAX_RESPONSE_DATA = 127,  ///< 128 less the completion code
};

enum : size_t {
  IMB_REQ_HEADER_SIZE = 13,  ///< flags, time-out, rsSa, cmd, netFn, rsLun, dataLength
  IMB_REQ_FLAG_ASYNC = 1,
};

/// Input of the send-message code (0x1082): little-endian words at fixed offsets.
/// The library fills it (mgmt::dev::EncodeSendMessage) and imbd takes it apart
/// (mgmt::dev::DecodeSendMessage), both in sendmessage.h. The 67-byte senders
/// pass only the first 67 bytes of it.
#pragma pack(push, 1)
struct ImbRequestBuffer {
  uint32_t flags;    ///< 0 synchronous, 1 asynchronous (IMB_REQ_FLAG_ASYNC)
  uint32_t timeOut;  ///< microseconds (0 for asynchronous)
  uint8_t rsSa;
  uint8_t cmd;
  uint8_t netFn;
  uint8_t rsLun;
  uint8_t dataLength;
  uint8_t data[IMB_MAX_REQUEST_DATA];
};
#pragma pack(pop)

static_assert(sizeof(ImbRequestBuffer) == IMB_SEND_BUFFER_SIZE);
static_assert(offsetof(ImbRequestBuffer, flags) == 0);
static_assert(offsetof(ImbRequestBuffer, timeOut) == 4);
static_assert(offsetof(ImbRequestBuffer, rsSa) == 8);
static_assert(offsetof(ImbRequestBuffer, cmd) == 9);
static_assert(offsetof(ImbRequestBuffer, netFn) == 10);
static_assert(offsetof(ImbRequestBuffer, rsLun) == 11);
static_assert(offsetof(ImbRequestBuffer, dataLength) == 12);
static_assert(offsetof(ImbRequestBuffer, data) == IMB_REQ_HEADER_SIZE);

#endif
