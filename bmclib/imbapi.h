// The IMB driver interface: IPMI requests to the BMC through the IMB driver at
// /dev/imb (a kernel driver, or imbd serving the same protocol on a socket).
//
// One descriptor, opened on first use, is shared by every thread of the process;
// each request is one self-contained driver call with its buffers on the caller's
// stack, so threads may send requests at the same time.
//
// Results: 0 answered / 1 failed (IMB_OK, IMB_FAILED), except DoIpmiRequest
// (-1 transport failure, the completion code, or 0) and GetAsyncImbpMessage
// (3, IMB_NO_MESSAGE, when nothing is queued).
#ifndef MGMT_BMCLIB_IMBAPI_H
#define MGMT_BMCLIB_IMBAPI_H

#include <bit>
#include <cstddef>
#include <cstdint>

#include "imbioctl.h"

typedef unsigned char BYTE;
typedef uint32_t DWORD;

enum {
  IMB_OK = 0,
  IMB_FAILED = 1,
  IMB_NO_MESSAGE = 3,
};

enum {
  IMB_MIN_TIMEOUT_MS = 30000,  ///< floor of SendTimedImbpRequest's time-out
};

/// The caller's IPMI request.
typedef struct {
  BYTE cmd;     ///< IPMI command code
  BYTE rsSA;    ///< responder slave address (0x20: the BMC)
  BYTE bus;     ///< bus type; always 0 and not transmitted
  BYTE netFn;   ///< network function
  BYTE rsLUN;   ///< responder LUN
  BYTE* data;   ///< request data, owned by the caller
  int dataLen;  ///< number of request data bytes
} IMBPREQUESTDATA;

static_assert(offsetof(IMBPREQUESTDATA, cmd) == 0);
static_assert(offsetof(IMBPREQUESTDATA, rsSA) == 1);
static_assert(offsetof(IMBPREQUESTDATA, bus) == 2);
static_assert(offsetof(IMBPREQUESTDATA, netFn) == 3);
static_assert(offsetof(IMBPREQUESTDATA, rsLUN) == 4);
static_assert(offsetof(IMBPREQUESTDATA, data) == sizeof(void*));
static_assert(offsetof(IMBPREQUESTDATA, dataLen) == 2 * sizeof(void*));

/// Input of SendTimedI2cRequest.
typedef struct {
  BYTE slaveAddr;
  BYTE busType;
  BYTE readCount;
  BYTE* data;   ///< bytes to write
  int dataLen;  ///< number of bytes to write
} I2cRequest;

static_assert(offsetof(I2cRequest, slaveAddr) == 0);
static_assert(offsetof(I2cRequest, busType) == 1);
static_assert(offsetof(I2cRequest, readCount) == 2);
static_assert(offsetof(I2cRequest, data) == sizeof(void*));
static_assert(offsetof(I2cRequest, dataLen) == 2 * sizeof(void*));

// Driver buffers: little-endian integers at fixed offsets.
static_assert(std::endian::native == std::endian::little);
#pragma pack(push, 1)
// ImbRequestBuffer, the input of the send-message code, is in imbioctl.h: imbd
// decodes it too.
/// Output of the send-message code: completion code, then response data.
struct ImbResponseBuffer {
  BYTE cCode;
  BYTE data[IMB_MAX_RESPONSE_DATA];
};
/// Input of the asynchronous-message fetch (0x1088).
struct ImbAsyncRequest {
  DWORD timeOut;  ///< microseconds
  DWORD lastSeq;
};
/// Output of the asynchronous-message fetch.
struct ImbAsyncResponse {
  DWORD thisSeq;
  BYTE channel;
  BYTE data[65];
};
/// Input of the shutdown-code call (0x1092).
struct ImbShutdownCode {
  DWORD code;
  DWORD delay;
};
#pragma pack(pop)

static_assert(sizeof(ImbResponseBuffer) == IMB_SEND_BUFFER_SIZE);
static_assert(sizeof(ImbAsyncRequest) == 8);
static_assert(sizeof(ImbAsyncResponse) == 70);
static_assert(offsetof(ImbAsyncResponse, channel) == 4);
static_assert(offsetof(ImbAsyncResponse, data) == 5);
static_assert(sizeof(ImbShutdownCode) == 8);

/// Descriptor of /dev/imb; 0 while not open.
extern int hDevice1;
/// The driver's status word of the last call (any thread's).
extern DWORD NTstatus;
/// The registered notification handle; 0 when none.
extern DWORD AsyncEventHandle;

/// Opens /dev/imb read-write on first use. 1 when open, 0 (after printing
/// "imbapi open_imb: open(/dev/imb) failed" and the system error) when not.
int open_imb(void);

/// Closes the device if open; the next request opens it again.
void IMBClose(void);

/// One driver call on the shared descriptor (`hDevice` is not used). 1 when the
/// ioctl returned 0, else 0.
int DeviceIoControl(int hDevice, DWORD dwIoControlCode, void* lpvInBuffer, DWORD cbInBuffer,
                    void* lpvOutBuffer, DWORD cbOutBuffer, DWORD* lpcbBytesReturned,
                    void* lpoOverlapped);

/// Sends `reqPtr` and waits up to `timeOut` ms (at least 30 s) for the answer.
/// 0 when the driver answered: `*completionCode` holds the completion code and
/// `*respDataLen` the response bytes copied to `respDataPtr` (0 when none came or
/// no buffer was given; the buffer must hold the command's whole response).
/// 1 when the transport failed or the request has more than 115 data bytes.
int SendTimedImbpRequest(IMBPREQUESTDATA* reqPtr, int timeOut, BYTE* respDataPtr, int* respDataLen,
                         BYTE* completionCode);

/// Stores the seven request fields.
void FillRequest(IMBPREQUESTDATA* req, BYTE cmd, BYTE rsSA, BYTE bus, BYTE netFn, BYTE rsLUN,
                 BYTE* data, int dataLen);

/// Sends with a 1000 ms time-out (raised to 30 s). -1 transport failure, the
/// completion code when the BMC refused, 0 on success; only then, and only when
/// both `resp` and `respLen` are given, are the response data copied.
int DoIpmiRequest(IMBPREQUESTDATA* req, BYTE* resp, int* respLen);

/// IPMI Master Write-Read on a private bus. `timeOut` in ms, no minimum.
/// 0 answered (`*respDataLen` = returned count less the completion code), 1 failed.
int SendTimedI2cRequest(I2cRequest* reqPtr, int timeOut, BYTE* respDataPtr, int* respDataLen,
                        BYTE* completionCode);

/// Answers an IPMB request received over the EMP path (`msgHeader`: its first six
/// bytes) through Send Message. 0 when the BMC accepted it, 1 otherwise.
int SendTimedEmpMessageResponse(BYTE* msgHeader, BYTE* responseDataBuf, int responseDataLen,
                                int timeOut);

/// Sends a request without waiting for its answer; `*seqNo` receives the
/// driver's sequence number. 0 or 1.
int SendAsyncImbpRequest(IMBPREQUESTDATA* reqPtr, BYTE* seqNo);

/// Fetches the next asynchronous message of `channelNumber` after `*seqNo`.
/// `*msgLen` is the capacity of `msgPtr` on entry and the message length on
/// return. 0 delivered, 1 failure, 3 no message.
int GetAsyncImbpMessage(BYTE* msgPtr, DWORD* msgLen, DWORD timeOut, DWORD* seqNo,
                        DWORD channelNumber);

/// 0 when the driver answered for the registered handle `eventId`, else 1.
int IsAsyncMessageAvailable(DWORD eventId);
/// Registers for notification; the handle is stored in `*handleId`. 0 or 1.
int RegisterForImbAsyncMessageNotification(DWORD* handleId);
/// Drops the registration of `handleId`. 0 or 1.
int UnRegisterForImbAsyncMessageNotification(DWORD handleId);
/// Starts the driver's asynchronous message polling. 0 or 1.
int StartAsyncMesgPoll(void);
/// Sets the driver's shutdown code. 0 or 1.
int SetShutDownCode(int delayTime, int code);

/// Maps `addressLength` bytes of physical memory at `startAddress` read-only.
/// 0 with the address in `*virtualAddress`, or 1 (also over imbd's socket, which
/// cannot map memory).
int MapPhysicalMemory(uintptr_t startAddress, int addressLength, uintptr_t* virtualAddress);
/// Undoes MapPhysicalMemory. 0 or 1.
int UnmapPhysicalMemory(uintptr_t virtualAddress, int length);

#endif
