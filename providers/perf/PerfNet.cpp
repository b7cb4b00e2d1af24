#include "PerfNet.h"

#include "proctext.h"

#include <array>
#include <cstring>
#include <optional>
#include <string_view>

namespace {

constexpr const char* kNetDev = "/proc/net/dev";

// An interface line: the name field before the first colon (interface names never
// hold a colon or a blank) and the counters after it. The heading lines have no
// colon.
struct InterfaceLine {
  std::string_view field;     // leading blanks included
  std::string_view name;      // without blanks
  std::string_view counters;  // the text after the colon
};

std::optional<InterfaceLine> SplitInterfaceLine(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view field = line.substr(0, colon);
  const auto tokens = perf::SpaceTokens(field);
  if (tokens.size() != 1) return std::nullopt;
  return InterfaceLine{field, tokens[0], line.substr(colon + 1)};
}

}  // namespace

void PerfNet::getInterfaceNames() {
  perf::LineFile file(kNetDev);
  std::string line;
  while (file.next(line)) {
    if (const auto iface = SplitInterfaceLine(line)) names_.emplace_back(iface->name);
  }
}

int PerfNet::getInterfaceStats(const std::string& name, net_stats& stats) {
  perf::LineFile file(kNetDev);
  std::string line;
  while (file.next(line)) {
    const auto iface = SplitInterfaceLine(line);
    if (!iface || iface->name != name) continue;
    if (iface->field.size() >= sizeof stats.name) return 0;
    std::memcpy(stats.name, iface->field.data(), iface->field.size());
    stats.name[iface->field.size()] = '\0';

    // The counters in the order of the line: receive, then transmit.
    std::uint64_t* const order[] = {
        &stats.bytesReceived,      &stats.packetsReceived,   &stats.receiveErrors,
        &stats.receiveDrops,       &stats.receiveFifo,       &stats.receiveFrame,
        &stats.compressedReceived, &stats.multicastReceived, &stats.bytesSent,
        &stats.packetsSent,        &stats.sendErrors,        &stats.sendDrops,
        &stats.sendFifo,           &stats.collisions,        &stats.sendCarrier,
        &stats.compressedSent};
    std::array<std::uint64_t, std::size(order)> values{};
    const std::size_t got = perf::ScanDecimals(iface->counters, values);
    for (std::size_t i = 0; i < got; ++i) *order[i] = values[i];
    return 1;
  }
  return 0;
}
