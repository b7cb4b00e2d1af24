// A BMC's SEL and SDR repository in memory, answering the scripted BMC's
// requests the way a BMC does (record 0 is the first, 0xCB for a missing ID,
// reservations, chunked reads, 0xCA above a transfer limit), with knobs for the
// misbehaviour the daemon must survive.
#ifndef MGMT_TESTS_SELWATCH_SELMODEL_H
#define MGMT_TESTS_SELWATCH_SELMODEL_H

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "selrecord.h"
#include "support/scripted_bmc.h"

namespace selwatch_test {

using Bytes = std::vector<uint8_t>;

/// A system event record: the 16 bytes after the next-record ID.
struct SelEntry {
  uint16_t id = 0;
  uint8_t type = 0x02;
  uint32_t timestamp = 0;
  uint8_t generator[2] = {0x20, 0x00};
  uint8_t sensorType = 0x01;
  uint8_t sensorNumber = 0x01;
  uint8_t dirType = 0x01;
  uint8_t data[3] = {0x59, 0x00, 0x00};
};

class SelModel {
 public:
  /// Serves the SEL and SDR commands of `bmc` from this model.
  explicit SelModel(mgmt::test::ScriptedBmc& bmc);

  /// Appends a record with the next free ID (returned).
  uint16_t Add(SelEntry entry);
  void Clear();
  /// Free space Get SEL Info reports.
  void SetFreeSpace(uint16_t bytes);

  /// Whole-record and chunk reads above this size are answered 0xCA.
  uint8_t maxTransfer = 0xFF;
  /// Answers 0xC5 to this many further SEL entry reads.
  int cancelReservations = 0;
  /// Chunk reads (offset or size below the record) get this many record bytes
  /// (nullopt: as asked).
  std::optional<size_t> chunkBytes;
  /// When set, the next-record ID every record names.
  std::optional<uint16_t> forcedNext;

  /// SDR repository: whole records (header included).
  std::vector<Bytes> sdrs;
  /// When set, the next-record ID of the last SDR (to make a loop).
  std::optional<uint16_t> sdrLastNext;

  int EntryReads() const;
  int Clears() const;
  std::vector<SelEntry> Entries() const;

 private:
  std::optional<mgmt::test::Reply> Answer(const mgmt::imbd::IpmiRequest& request);
  mgmt::test::Reply Entry(const Bytes& data);
  mgmt::test::Reply Sdr(const Bytes& data);
  static Bytes Record(const SelEntry& e);

  mutable std::mutex mutex_;
  std::vector<SelEntry> entries_;
  uint16_t nextId_ = 1;
  uint16_t reservation_ = 0x0100;
  uint16_t freeSpace_ = 16000;
  int entryReads_ = 0;
  int clears_ = 0;
};

/// The 16 bytes of a record as it lies in the SEL.
SELRECORD ToRecord(const SelEntry& entry, uint16_t next);

}  // namespace selwatch_test

#endif
