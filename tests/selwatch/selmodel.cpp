#include "selmodel.h"

#include <algorithm>
#include <cstring>

using mgmt::test::Reply;

namespace selwatch_test {

SelModel::SelModel(mgmt::test::ScriptedBmc& bmc) {
  bmc.SetHandler([this](const mgmt::imbd::IpmiRequest& request) { return Answer(request); });
}

uint16_t SelModel::Add(SelEntry entry) {
  std::lock_guard lock(mutex_);
  entry.id = nextId_++;
  entries_.push_back(entry);
  return entry.id;
}

void SelModel::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
  nextId_ = 1;  // as a BMC may do: IDs are handed out afresh after a clear
}

void SelModel::SetFreeSpace(uint16_t bytes) {
  std::lock_guard lock(mutex_);
  freeSpace_ = bytes;
}

int SelModel::EntryReads() const {
  std::lock_guard lock(mutex_);
  return entryReads_;
}

int SelModel::Clears() const {
  std::lock_guard lock(mutex_);
  return clears_;
}

std::vector<SelEntry> SelModel::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

Bytes SelModel::Record(const SelEntry& e) {
  return {static_cast<uint8_t>(e.id),
          static_cast<uint8_t>(e.id >> 8),
          e.type,
          static_cast<uint8_t>(e.timestamp),
          static_cast<uint8_t>(e.timestamp >> 8),
          static_cast<uint8_t>(e.timestamp >> 16),
          static_cast<uint8_t>(e.timestamp >> 24),
          e.generator[0],
          e.generator[1],
          0x04,
          e.sensorType,
          e.sensorNumber,
          e.dirType,
          e.data[0],
          e.data[1],
          e.data[2]};
}

SELRECORD ToRecord(const SelEntry& entry, uint16_t next) {
  SELRECORD record{};
  record.wNextRecordID = next;
  record.wRecordID = entry.id;
  record.bRecordType = entry.type;
  record.dwTimestamp = entry.timestamp;
  record.bGeneratorID[0] = entry.generator[0];
  record.bGeneratorID[1] = entry.generator[1];
  record.bEvMRev = 0x04;
  record.bSensorType = entry.sensorType;
  record.bSensorNumber = entry.sensorNumber;
  record.bEventDirType = entry.dirType;
  std::memcpy(record.bEventData, entry.data, 3);
  return record;
}

Reply SelModel::Entry(const Bytes& data) {
  if (data.size() != 6) return Reply::Bytes({0xC7});
  ++entryReads_;
  const uint16_t reservation = static_cast<uint16_t>(data[0] | data[1] << 8);
  const uint16_t id = static_cast<uint16_t>(data[2] | data[3] << 8);
  const uint8_t offset = data[4];
  const uint8_t ask = data[5];
  if (cancelReservations > 0) {
    --cancelReservations;
    return Reply::Bytes({0xC5});
  }
  const bool partial = offset != 0 || ask != 0xFF;
  if (partial && reservation != reservation_) return Reply::Bytes({0xC5});
  if (ask > maxTransfer) return Reply::Bytes({0xCA});
  auto it = id == 0 ? entries_.begin()
                    : std::find_if(entries_.begin(), entries_.end(),
                                   [&](const SelEntry& e) { return e.id == id; });
  if (it == entries_.end()) return Reply::Bytes({0xCB});
  const auto after = std::next(it);
  uint16_t next = after == entries_.end() ? 0xFFFF : after->id;
  if (forcedNext) next = *forcedNext;
  const Bytes record = Record(*it);
  Bytes out{0x00, static_cast<uint8_t>(next), static_cast<uint8_t>(next >> 8)};
  size_t count = ask == 0xFF ? 16 : std::min<size_t>(ask, 16 - std::min<size_t>(offset, 16));
  if (partial && chunkBytes) count = std::min(count, *chunkBytes);
  out.insert(out.end(), record.begin() + std::min<size_t>(offset, 16),
             record.begin() + std::min<size_t>(offset + count, 16));
  return Reply::Bytes(out);
}

Reply SelModel::Sdr(const Bytes& data) {
  if (data.size() != 6) return Reply::Bytes({0xC7});
  const uint16_t id = static_cast<uint16_t>(data[2] | data[3] << 8);
  const uint8_t offset = data[4];
  const uint8_t ask = data[5];
  if (ask > maxTransfer) return Reply::Bytes({0xCA});
  size_t index = 0;
  if (id != 0) {
    index = sdrs.size();
    for (size_t i = 0; i < sdrs.size(); ++i) {
      if ((sdrs[i][0] | sdrs[i][1] << 8) == id) index = i;
    }
  }
  if (index >= sdrs.size()) return Reply::Bytes({0xCB});
  uint16_t next = 0xFFFF;
  if (index + 1 < sdrs.size()) {
    next = static_cast<uint16_t>(sdrs[index + 1][0] | sdrs[index + 1][1] << 8);
  } else if (sdrLastNext) {
    next = *sdrLastNext;
  }
  const Bytes& record = sdrs[index];
  Bytes out{0x00, static_cast<uint8_t>(next), static_cast<uint8_t>(next >> 8)};
  const size_t from = std::min<size_t>(offset, record.size());
  const size_t to = ask == 0xFF ? record.size() : std::min<size_t>(from + ask, record.size());
  out.insert(out.end(), record.begin() + static_cast<long>(from),
             record.begin() + static_cast<long>(to));
  return Reply::Bytes(out);
}

std::optional<Reply> SelModel::Answer(const mgmt::imbd::IpmiRequest& request) {
  std::lock_guard lock(mutex_);
  if (request.netFn != 0x0A) return std::nullopt;
  switch (request.cmd) {
    case 0x40: {  // Get SEL Info
      const uint16_t count = static_cast<uint16_t>(entries_.size());
      return Reply::Bytes({0x00, 0x51, static_cast<uint8_t>(count),
                           static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(freeSpace_),
                           static_cast<uint8_t>(freeSpace_ >> 8), 0, 0, 0, 0, 0, 0, 0, 0, 0x0F});
    }
    case 0x42:  // Reserve SEL
    case 0x22:  // Reserve SDR Repository
      ++reservation_;
      return Reply::Bytes(
          {0x00, static_cast<uint8_t>(reservation_), static_cast<uint8_t>(reservation_ >> 8)});
    case 0x43:
      return Entry(request.data);
    case 0x47: {  // Clear SEL
      const Bytes& d = request.data;
      if (d.size() != 6 || d[2] != 'C' || d[3] != 'L' || d[4] != 'R') return Reply::Bytes({0xCC});
      if ((d[0] | d[1] << 8) != reservation_) return Reply::Bytes({0xC5});
      ++clears_;
      entries_.clear();
      nextId_ = 1;
      return Reply::Bytes({0x00, 0x01});
    }
    case 0x23:
      return Sdr(request.data);
    default:
      return std::nullopt;
  }
}

}  // namespace selwatch_test
