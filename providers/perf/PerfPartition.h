// PerfPartition: disk and partition I/O statistics from /proc.
#ifndef MGMT_PERF_PERFPARTITION_H
#define MGMT_PERF_PERFPARTITION_H

#include <cstdint>
#include <string>
#include <vector>

/// The statistics of one disk or partition, in the order the kernel prints them.
/// Counters are read at full width (the kernel keeps them in 64 bits); the provider
/// narrows them to the published types.
struct partition_stats {
  char name[64];                 ///< device name, NUL-terminated, at most 63 used
  std::int32_t running;          ///< not filled: the I/Os in progress are skipped
  std::uint64_t reads;           ///< reads completed
  std::uint64_t readsMerged;     ///< reads merged
  std::uint64_t sectorsRead;     ///< sectors read
  std::uint64_t msReading;       ///< milliseconds spent reading
  std::uint64_t writes;          ///< writes completed
  std::uint64_t writesMerged;    ///< writes merged
  std::uint64_t sectorsWritten;  ///< sectors written
  std::uint64_t msWriting;       ///< milliseconds spent writing
  std::uint64_t msWeightedIo;    ///< weighted milliseconds doing I/O
  std::uint64_t msIo;            ///< milliseconds doing I/O
};

/// Disk sampler; lives for one request.
class PerfPartition {
 public:
  /// Fills the name list with the name of every line of /proc/partitions after the
  /// first that starts with three numbers and a name: whole disks and partitions
  /// alike. Returns 0 when the file can't be opened (the name list stays empty),
  /// else the result of closing it.
  int getPartitionNames();

  /// Fills `stats` (which the caller zero-fills) for device `name`. The line of
  /// /proc/partitions that names the device is read as filegrep reads it (at most
  /// 127 characters); when it carries the statistics columns they are used and a
  /// line cut short leaves every counter alone (the name is still stored). When it
  /// has no statistics columns (every kernel since 2.6), the same counters come
  /// from the device's line in /proc/diskstats (14, 18 or 20 fields). Returns 1
  /// when all eleven values were read, else 0.
  int getPartitionStats(const std::string& name, partition_stats& stats);

  /// The names listed by getPartitionNames, in file order.
  const std::vector<std::string>& names() const { return names_; }

 private:
  std::vector<std::string> names_;
};

#endif
