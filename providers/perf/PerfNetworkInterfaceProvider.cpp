#include "PerfNetworkInterfaceProvider.h"

#include "BytesText.h"
#include "PerfCountersMain.h"
#include "PerfNet.h"
#include "PerfProviderSupport.h"
#include "xfile.h"

namespace Pegasus {

namespace {

using perfsupport::AddUint32;

// The 32-bit sum of two counters, each taken modulo 2^32 as published.
std::uint32_t Sum32(std::uint64_t a, std::uint64_t b) {
  return static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b);
}

CIMInstance BuildInterfaceInstance(const std::string& name) {
  net_stats s{};
  PerfNet().getInterfaceStats(name, s);
  std::uint64_t jiffies = 0, ticks = 0;
  getTimestamp(jiffies, ticks);

  CIMInstance instance{CIMName(CLASS_PERFNETWORKINTERFACE)};
  perfsupport::AddClocks(instance, jiffies, ticks);
  perfsupport::AddString(instance, "Name", ::mgmt::broker::StringFromBytes(s.name));
  AddUint32(instance, "BytesTotalPersec", Sum32(s.bytesReceived, s.bytesSent));
  AddUint32(instance, "BytesRecvPersec", s.bytesReceived);
  AddUint32(instance, "BytesSentPersec", s.bytesSent);
  AddUint32(instance, "PacketsPersec", Sum32(s.packetsReceived, s.packetsSent));
  AddUint32(instance, "PacketsRecvPersec", s.packetsReceived);
  AddUint32(instance, "PacketsSentPersec", s.packetsSent);
  AddUint32(instance, "PacketsRecvCompressedPersec", s.compressedReceived);
  AddUint32(instance, "PacketsSentCompressedPersec", s.compressedSent);
  AddUint32(instance, "PacketsRecvMulticastPersec", s.multicastReceived);
  AddUint32(instance, "PacketsRecvErrors", s.receiveErrors);
  AddUint32(instance, "PacketsRecvDropped", s.receiveDrops);
  AddUint32(instance, "PacketsRecvOverruns", s.receiveFifo);
  AddUint32(instance, "PacketsRecvFrameErrors", s.receiveFrame);
  AddUint32(instance, "PacketsSentErrors", s.sendErrors);
  AddUint32(instance, "PacketsSentDropped", s.sendDrops);
  AddUint32(instance, "PacketsSentOverruns", s.sendFifo);
  AddUint32(instance, "PacketsSentCollisions", s.collisions);
  AddUint32(instance, "PacketsSentCarrierErrors", s.sendCarrier);
  instance.setPath(
      perfsupport::NamePath(CLASS_PERFNETWORKINTERFACE, ::mgmt::broker::StringFromBytes(name)));
  return instance;
}

}  // namespace

const perfsupport::KeyedClass& PerfNetworkInterfaceProvider::Keyed() {
  static const perfsupport::KeyedClass keyed{CLASS_PERFNETWORKINTERFACE,
                                             ": No such network interface",
                                             [] {
                                               PerfNet net;
                                               net.getInterfaceNames();
                                               return net.names();
                                             },
                                             BuildInterfaceInstance};
  return keyed;
}

}  // namespace Pegasus
