#include "bmcrequest.h"

#include <vector>

namespace mgmt::selwatch {

BmcAnswer SendToBmc(uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data, int timeoutMs,
                    uint8_t rsSa, uint8_t rsLun) {
  BmcAnswer answer;
  // The IMB layer takes a writable pointer; it only reads the request data.
  std::vector<BYTE> request(data.begin(), data.end());
  IMBPREQUESTDATA req;
  FillRequest(&req, cmd, rsSa, 0, netFn, rsLun, request.empty() ? nullptr : request.data(),
              static_cast<int>(request.size()));
  int length = 0;
  BYTE cc = 0;
  if (SendTimedImbpRequest(&req, timeoutMs, answer.data, &length, &cc) != 0) return answer;
  answer.answered = true;
  answer.completionCode = cc;
  answer.length = length < 0 ? 0 : static_cast<size_t>(length);
  if (answer.length > sizeof(answer.data)) answer.length = sizeof(answer.data);
  return answer;
}

}  // namespace mgmt::selwatch
