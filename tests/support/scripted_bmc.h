// A BMC that answers exactly what a test scripts, for unit tests of everything
// above the driver: completion codes such as 0xC5 and 0xCA, short replies, and
// requests that get no answer, which a real simulator cannot produce on demand.
#ifndef MGMT_TESTS_SUPPORT_SCRIPTED_BMC_H
#define MGMT_TESTS_SUPPORT_SCRIPTED_BMC_H

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "backend.h"

namespace mgmt::test {

/// What the scripted BMC does with one request.
struct Reply {
  enum class Kind { kBytes, kNoReply, kUnreachable };
  Kind kind = Kind::kBytes;
  std::vector<uint8_t> bytes;          ///< completion code and response data, as sent
  std::chrono::milliseconds delay{0};  ///< how long the BMC takes to answer

  static Reply Bytes(std::vector<uint8_t> bytes) { return {Kind::kBytes, std::move(bytes), {}}; }
  /// No answer: the driver call fails as on a time-out, at once (tests never
  /// wait out the real 30 seconds).
  static Reply NoReply() { return {Kind::kNoReply, {}, {}}; }
  static Reply Unreachable() { return {Kind::kUnreachable, {}, {}}; }
};

/// A request as the BMC received it, with the time-out the driver enforced.
struct Received {
  imbd::IpmiRequest request;
  std::chrono::milliseconds timeout;
};

class ScriptedBmc final : public imbd::Backend {
 public:
  using Handler = std::function<std::optional<Reply>(const imbd::IpmiRequest&)>;

  /// Queues a reply for the next request with this network function and command.
  void Expect(uint8_t netFn, uint8_t cmd, Reply reply);
  /// Shorthand: queues these completion-code-and-data bytes.
  void Expect(uint8_t netFn, uint8_t cmd, std::vector<uint8_t> bytes) {
    Expect(netFn, cmd, Reply::Bytes(std::move(bytes)));
  }
  /// The reply for every request with this network function and command once its
  /// queue is empty.
  void Always(uint8_t netFn, uint8_t cmd, Reply reply);
  /// Consulted when nothing else is scripted; its empty result means 0xC1
  /// (invalid command), as a BMC answers a command it does not know.
  void SetHandler(Handler handler);

  std::vector<Received> Requests() const;
  void ClearRequests();

  imbd::IpmiResponse Transact(const imbd::IpmiRequest& request,
                              std::chrono::milliseconds timeout) override;

 private:
  using Key = std::pair<uint8_t, uint8_t>;
  mutable std::mutex mutex_;
  std::map<Key, std::deque<Reply>> queued_;
  std::map<Key, Reply> always_;
  Handler handler_;
  std::vector<Received> received_;
};

}  // namespace mgmt::test

#endif
