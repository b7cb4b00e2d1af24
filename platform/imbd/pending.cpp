#include "pending.h"

namespace mgmt::imbd {

bool PendingTable::Add(uint32_t id, uint32_t tag) {
  std::lock_guard lock(mutex_);
  return slots_.try_emplace(id, Slot{tag, false, {}}).second;
}

bool PendingTable::Contains(uint32_t id) const {
  std::lock_guard lock(mutex_);
  return slots_.contains(id);
}

bool PendingTable::Complete(uint32_t id, uint32_t tag, std::vector<uint8_t> bytes) {
  {
    std::lock_guard lock(mutex_);
    const auto it = slots_.find(id);
    if (it == slots_.end() || it->second.done || it->second.tag != tag) return false;
    it->second.done = true;
    it->second.response = {Outcome::kAnswered, std::move(bytes)};
  }
  cv_.notify_all();
  return true;
}

void PendingTable::FailAll(Outcome outcome) {
  {
    std::lock_guard lock(mutex_);
    for (auto& [id, slot] : slots_) {
      if (slot.done) continue;
      slot.done = true;
      slot.response = {outcome, {}};
    }
  }
  cv_.notify_all();
}

IpmiResponse PendingTable::Wait(uint32_t id, std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  const auto it = slots_.find(id);
  if (it == slots_.end()) return {Outcome::kUnavailable, {}};
  cv_.wait_until(lock, deadline, [&] { return it->second.done; });
  IpmiResponse response =
      it->second.done ? std::move(it->second.response) : IpmiResponse{Outcome::kTimedOut, {}};
  slots_.erase(it);
  return response;
}

std::optional<IpmiResponse> PendingTable::TakeIfDone(uint32_t id) {
  std::lock_guard lock(mutex_);
  const auto it = slots_.find(id);
  if (it == slots_.end()) return IpmiResponse{Outcome::kUnavailable, {}};
  if (!it->second.done) return std::nullopt;
  IpmiResponse response = std::move(it->second.response);
  slots_.erase(it);
  return response;
}

uint64_t PendingTable::Generation() const {
  std::lock_guard lock(mutex_);
  return generation_;
}

void PendingTable::WaitSlice(uint32_t id, std::chrono::steady_clock::time_point until,
                             uint64_t seen) {
  std::unique_lock lock(mutex_);
  cv_.wait_until(lock, until, [&] {
    const auto it = slots_.find(id);
    return it == slots_.end() || it->second.done || generation_ != seen;
  });
}

void PendingTable::Notify() {
  {
    std::lock_guard lock(mutex_);
    ++generation_;
  }
  cv_.notify_all();
}

void PendingTable::Remove(uint32_t id) {
  std::lock_guard lock(mutex_);
  slots_.erase(id);
}

}  // namespace mgmt::imbd
