#include "PerfLogicalDiskProvider.h"

#include "BytesText.h"
#include "PerfCountersMain.h"
#include "PerfPartition.h"
#include "PerfProviderSupport.h"
#include "xfile.h"

namespace Pegasus {

namespace {

using perfsupport::AddUint32;
using perfsupport::AddUint64;

constexpr std::uint64_t kSectorBytes = 512;

CIMInstance BuildDiskInstance(const std::string& name) {
  partition_stats s{};
  PerfPartition().getPartitionStats(name, s);  // a line that does not parse leaves zeros
  std::uint64_t jiffies = 0, ticks = 0;
  getTimestamp(jiffies, ticks);

  // Transfers and times are published as 32-bit counters (their sums too); byte
  // counts are 64-bit products of the full sector counts.
  const std::uint32_t r = static_cast<std::uint32_t>(s.reads);
  const std::uint32_t w = static_cast<std::uint32_t>(s.writes);
  const std::uint32_t rt = static_cast<std::uint32_t>(s.msReading);
  const std::uint32_t wt = static_cast<std::uint32_t>(s.msWriting);
  const std::uint32_t transfers = r + w;
  const std::uint64_t readBytes = s.sectorsRead * kSectorBytes;
  const std::uint64_t writeBytes = s.sectorsWritten * kSectorBytes;
  const std::uint64_t bytes = (s.sectorsRead + s.sectorsWritten) * kSectorBytes;
  // Busy time never exceeds the uptime; should a kernel report more, idle is 0
  // rather than a wrapped-around huge number.
  const std::uint64_t idle = ticks > s.msIo ? ticks - s.msIo : 0;

  CIMInstance instance{CIMName(CLASS_PERFLOGICALDISK)};
  perfsupport::AddClocks(instance, jiffies, ticks);
  perfsupport::AddString(instance, "Name", ::mgmt::broker::StringFromBytes(s.name));
  AddUint64(instance, "AvgDiskQueueLength", s.msWeightedIo);
  AddUint64(instance, "PercentDiskTime", s.msIo);
  AddUint64(instance, "PercentDiskTime_Base", ticks);
  AddUint64(instance, "PercentIdleTime", idle);
  AddUint64(instance, "PercentIdleTime_Base", ticks);
  AddUint32(instance, "AvgDisksecPerTransfer", rt + wt);
  AddUint32(instance, "AvgDisksecPerTransfer_Base", transfers);
  AddUint32(instance, "AvgDisksecPerRead", rt);
  AddUint32(instance, "AvgDisksecPerRead_Base", r);
  AddUint32(instance, "AvgDisksecPerWrite", wt);
  AddUint32(instance, "AvgDisksecPerWrite_Base", w);
  AddUint64(instance, "AvgDiskBytesPerTransfer", bytes);
  AddUint32(instance, "AvgDiskBytesPerTransfer_Base", transfers);
  AddUint64(instance, "AvgDiskBytesPerRead", readBytes);
  AddUint32(instance, "AvgDiskBytesPerRead_Base", r);
  AddUint64(instance, "AvgDiskBytesPerWrite", writeBytes);
  AddUint32(instance, "AvgDiskBytesPerWrite_Base", w);
  AddUint32(instance, "DiskTransfersPersec", transfers);
  AddUint32(instance, "DiskReadsPersec", r);
  AddUint32(instance, "DiskWritesPersec", w);
  AddUint64(instance, "DiskBytesPersec", bytes);
  AddUint64(instance, "DiskReadBytesPersec", readBytes);
  AddUint64(instance, "DiskWriteBytesPersec", writeBytes);
  instance.setPath(
      perfsupport::NamePath(CLASS_PERFLOGICALDISK, ::mgmt::broker::StringFromBytes(name)));
  return instance;
}

}  // namespace

const perfsupport::KeyedClass& PerfLogicalDiskProvider::Keyed() {
  static const perfsupport::KeyedClass keyed{CLASS_PERFLOGICALDISK, ": No such logical disk",
                                             [] {
                                               PerfPartition partitions;
                                               partitions.getPartitionNames();
                                               return partitions.names();
                                             },
                                             BuildDiskInstance};
  return keyed;
}

}  // namespace Pegasus
