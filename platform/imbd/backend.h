// What imbd sends IPMI requests to: a BMC behind some transport.
#ifndef MGMT_IMBD_BACKEND_H
#define MGMT_IMBD_BACKEND_H

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace mgmt::imbd {

/// One IPMI request to a responder on the BMC's system interface.
struct IpmiRequest {
  uint8_t rsSa = 0x20;
  uint8_t netFn = 0;  ///< request network function (0..0x3F)
  uint8_t rsLun = 0;  ///< 0..3
  uint8_t cmd = 0;
  std::vector<uint8_t> data;
};

enum class Outcome {
  kAnswered,     ///< `bytes` holds the completion code and the response data
  kTimedOut,     ///< no answer within the request's time-out
  kUnavailable,  ///< the BMC cannot be reached right now
  kBusy,         ///< too many requests outstanding
};

struct IpmiResponse {
  Outcome outcome = Outcome::kUnavailable;
  std::vector<uint8_t> bytes;
};

/// A BMC transport. Transact is called from many threads at once.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual IpmiResponse Transact(const IpmiRequest& request, std::chrono::milliseconds timeout) = 0;
  /// Ends every wait at once and refuses new requests (the daemon is stopping).
  virtual void Shutdown() {}
};

/// Builds the backend named by a command-line spec: "vm:HOST:PORT" or
/// "openipmi:DEVICE". Null with `error` filled for a spec it cannot use.
std::unique_ptr<Backend> MakeBackend(std::string_view spec, std::string& error);

}  // namespace mgmt::imbd

#endif
