// PerfNet: network interface counters from /proc/net/dev.
#ifndef MGMT_PERF_PERFNET_H
#define MGMT_PERF_PERFNET_H

#include <cstdint>
#include <string>
#include <vector>

/// The counters of one interface. Read at full width (current kernels keep them in
/// 64 bits); the provider narrows them to the published types.
struct net_stats {
  /// The interface's name field as the file prints it: the text before the colon,
  /// leading blanks included ("    lo" for lo, whose name is right-aligned in six
  /// columns); a longer name stands whole. NUL-terminated.
  char name[64];
  std::uint64_t packetsReceived;
  std::uint64_t packetsSent;
  std::uint64_t bytesReceived;
  std::uint64_t bytesSent;
  std::uint64_t compressedReceived;
  std::uint64_t compressedSent;
  std::uint64_t multicastReceived;
  std::uint64_t collisions;
  std::uint64_t receiveErrors;
  std::uint64_t sendErrors;
  std::uint64_t receiveDrops;
  std::uint64_t sendDrops;
  std::uint64_t receiveFifo;
  std::uint64_t sendFifo;
  std::uint64_t receiveFrame;
  std::uint64_t sendCarrier;
};

/// Interface sampler; lives for one request.
class PerfNet {
 public:
  /// Fills the name list with every interface of /proc/net/dev (the text before a
  /// line's colon without its blanks), in file order. Nothing happens when the
  /// file can't be opened.
  void getInterfaceNames();

  /// Fills `stats` (which the caller zero-fills) from the line of interface
  /// `name`: the name field and the sixteen counters after the colon, as many as
  /// parse. Returns 0 when no line names the interface, else 1.
  int getInterfaceStats(const std::string& name, net_stats& stats);

  /// The names listed by getInterfaceNames, in file order.
  const std::vector<std::string>& names() const { return names_; }

 private:
  std::vector<std::string> names_;
};

#endif
