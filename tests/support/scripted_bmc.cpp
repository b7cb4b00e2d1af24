#include "support/scripted_bmc.h"

#include <thread>

namespace mgmt::test {

void ScriptedBmc::Expect(uint8_t netFn, uint8_t cmd, Reply reply) {
  std::lock_guard lock(mutex_);
  queued_[{netFn, cmd}].push_back(std::move(reply));
}

void ScriptedBmc::Always(uint8_t netFn, uint8_t cmd, Reply reply) {
  std::lock_guard lock(mutex_);
  always_[{netFn, cmd}] = std::move(reply);
}

void ScriptedBmc::SetHandler(Handler handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

std::vector<Received> ScriptedBmc::Requests() const {
  std::lock_guard lock(mutex_);
  return received_;
}

void ScriptedBmc::ClearRequests() {
  std::lock_guard lock(mutex_);
  received_.clear();
}

imbd::IpmiResponse ScriptedBmc::Transact(const imbd::IpmiRequest& request,
                                         std::chrono::milliseconds timeout) {
  std::optional<Reply> reply;
  Handler handler;
  {
    std::lock_guard lock(mutex_);
    received_.push_back({request, timeout});
    const Key key{request.netFn, request.cmd};
    if (auto q = queued_.find(key); q != queued_.end() && !q->second.empty()) {
      reply = std::move(q->second.front());
      q->second.pop_front();
    } else if (auto a = always_.find(key); a != always_.end()) {
      reply = a->second;
    } else {
      handler = handler_;
    }
  }
  if (!reply && handler) reply = handler(request);
  if (!reply) reply = Reply::Bytes({0xC1});
  if (reply->delay.count() > 0) std::this_thread::sleep_for(reply->delay);
  switch (reply->kind) {
    case Reply::Kind::kNoReply:
      return {imbd::Outcome::kTimedOut, {}};
    case Reply::Kind::kUnreachable:
      return {imbd::Outcome::kUnavailable, {}};
    case Reply::Kind::kBytes:
      break;
  }
  return {imbd::Outcome::kAnswered, std::move(reply->bytes)};
}

}  // namespace mgmt::test
