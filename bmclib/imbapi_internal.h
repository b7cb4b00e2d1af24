// Helpers shared by the IMB library's source files; not part of its interface.
#ifndef MGMT_BMCLIB_IMBAPI_INTERNAL_H
#define MGMT_BMCLIB_IMBAPI_INTERNAL_H

#include <optional>

#include "imbapi.h"
#include "sendmessage.h"

namespace imbapi {

/// perror with the driver-failure text "imbapi FUNCTION: WHAT\n".
void PrintDriverError(const char* function, const char* what);

/// The status word of this thread's last driver call.
DWORD LastStatus();

/// hDevice1 as the callers pass it to DeviceIoControl (which takes the
/// descriptor under its own lock): read atomically, since other threads open
/// and close the device meanwhile.
inline int DeviceHandle() { return __atomic_load_n(&hDevice1, __ATOMIC_RELAXED); }

/// Milliseconds as the drivers' microsecond field (negative: 0; saturates).
DWORD MillisToMicros(int ms);

/// The send-message input for `req`; nullopt when its data do not fit the
/// 128-byte buffer (callers of the 67-byte senders check their smaller limit).
std::optional<ImbRequestBuffer> RequestBuffer(const IMBPREQUESTDATA& req, DWORD flags,
                                              DWORD timeOutUs);

}  // namespace imbapi

#endif
