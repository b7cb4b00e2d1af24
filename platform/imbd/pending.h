// Requests in flight, waiting for the answer that carries their id.
#ifndef MGMT_IMBD_PENDING_H
#define MGMT_IMBD_PENDING_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "backend.h"

namespace mgmt::imbd {

/// The tag an answer to a request must carry: the response network function
/// (the request's with its low bit set) and the command.
inline uint32_t AnswerTag(uint8_t requestNetFn, uint8_t cmd) {
  return static_cast<uint32_t>((requestNetFn | 1) << 8 | cmd);
}

/// Matches answers to waiting requests by id. An answer is accepted only while
/// its request waits and only when its tag (what the answer must echo, such as
/// network function and command) matches; late or foreign answers are dropped.
class PendingTable {
 public:
  /// Registers a request; false when the id is already waiting.
  bool Add(uint32_t id, uint32_t tag);
  bool Contains(uint32_t id) const;
  /// Delivers an answer; false when nobody waits for it.
  bool Complete(uint32_t id, uint32_t tag, std::vector<uint8_t> bytes);
  /// Ends every wait with `outcome` (the transport went away).
  void FailAll(Outcome outcome);
  /// Waits for the answer to `id` until `deadline` and forgets the id.
  IpmiResponse Wait(uint32_t id, std::chrono::steady_clock::time_point deadline);
  /// Forgets `id` without waiting (the request could not be sent).
  void Remove(uint32_t id);

  /// The answer to `id` if it has arrived (the id is then forgotten).
  std::optional<IpmiResponse> TakeIfDone(uint32_t id);
  /// A counter that Notify advances; read it before deciding to wait.
  uint64_t Generation() const;
  /// Waits until `id` is answered, `until` passes or the generation moves on
  /// from `seen`.
  void WaitSlice(uint32_t id, std::chrono::steady_clock::time_point until, uint64_t seen);
  /// Wakes every WaitSlice (for instance: the reader role became free).
  void Notify();

 private:
  struct Slot {
    uint32_t tag = 0;
    bool done = false;
    IpmiResponse response;
  };
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::unordered_map<uint32_t, Slot> slots_;
  uint64_t generation_ = 0;
};

}  // namespace mgmt::imbd

#endif
