// Platform Event Filtering: our event filter, alert policies, and turning PEF on
// and off.
#include <array>
#include <cstring>
#include <optional>
#include <utility>

#include "ipmiconf.h"
#include "ipmiconf_internal.h"

namespace {

constexpr BYTE kPefControl = 1;
constexpr BYTE kPefActionControl = 2;
constexpr BYTE kPefFilterCount = 5;
constexpr BYTE kPefFilterTable = 6;
constexpr BYTE kPefAlertPolicyTable = 9;

constexpr BYTE kFilterEnabled = 0x80;
constexpr BYTE kFilterPreconfigured = 0x40;

using FilterEntry = std::array<BYTE, 21>;

// A filter that matches every event and alerts through alert policy 1; byte 0
// is the filter number.
FilterEntry OurFilter(BYTE filter) {
  return {filter, kFilterEnabled, 0x01, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
          0xFF,   0x00,           0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00};
}

bool SameFilter(const FilterEntry& read, const FilterEntry& ours) {
  return std::memcmp(read.data() + 1, ours.data() + 1, read.size() - 1) == 0;
}

using mgmt::bmc::kCmdGetPefConf;

// One PEF parameter read whole: its data after the revision byte, or nothing
// when refused or too short. `transportFailed` tells the caller to stop.
template <size_t N>
std::optional<std::array<BYTE, N>> ReadPef(BYTE parameter, BYTE setSelector,
                                           bool& transportFailed) {
  const mgmt::bmc::IpmiReply reply =
      mgmt::bmc::Request(mgmt::bmc::kNetFnSensorEvent, kCmdGetPefConf, {parameter, setSelector, 0});
  transportFailed = reply.TransportFailed();
  if (!reply.Has(N)) return std::nullopt;
  std::array<BYTE, N> out;
  std::memcpy(out.data(), reply.buffer.data() + 1, N);
  return out;
}

// Sets or clears bit 0 of the PEF control and action control bytes that could
// be read; a byte that could not be read is not written back, since guessing
// its other bits would change settings nobody asked to change.
void WriteEnableBits(const std::optional<std::array<BYTE, 1>>& control,
                     const std::optional<std::array<BYTE, 1>>& action, bool on) {
  for (auto [value, parameter] : {std::pair{control, kPefControl}, {action, kPefActionControl}}) {
    if (!value) continue;
    const BYTE byte = on ? ((*value)[0] | 0x01) : ((*value)[0] & ~0x01);
    if (SetPEFConf(&byte, 1, parameter) < 0) return;
  }
}

}  // namespace

void UpdatePEFEntry(BYTE filter) {
  const FilterEntry entry = OurFilter(filter);
  SetPEFConf(entry.data(), static_cast<int>(entry.size()), kPefFilterTable);
}

int SetAlertPolicy(BYTE entry, BYTE channel, BYTE destination) {
  const BYTE data[4] = {entry, 0x18,
                        static_cast<BYTE>((channel & 0x0F) << 4 | (destination & 0x0F)), 0x00};
  return SetPEFConf(data, 4, kPefAlertPolicyTable);
}

int EnablePEF(void) {
  bool transportFailed = false;
  const auto control = ReadPef<1>(kPefControl, 0, transportFailed);
  if (transportFailed) return 0;
  const auto action = ReadPef<1>(kPefActionControl, 0, transportFailed);
  if (transportFailed) return 0;
  const auto count = ReadPef<1>(kPefFilterCount, 0, transportFailed);
  if (transportFailed) return 0;
  const int filters = count ? ((*count)[0] & 0x7F) : 0;

  // Our filter goes into the first free slot: one that is disabled and not
  // pre-configured by the manufacturer. A filter someone enabled is theirs and
  // stays; an equal filter is already ours and is reused.
  int target = 0;
  bool reuse = false;
  bool firstDisabled = false;
  for (int n = 1; n <= filters && !reuse; ++n) {
    const auto filter = ReadPef<21>(kPefFilterTable, static_cast<BYTE>(n), transportFailed);
    if (transportFailed) return 0;
    if (!filter) continue;
    const BYTE config = (*filter)[1];
    if (SameFilter(*filter, OurFilter(static_cast<BYTE>(n)))) {
      reuse = true;
    } else if ((config & kFilterEnabled) == 0) {
      if (n == 1) firstDisabled = true;
      if (target == 0 && (config & kFilterPreconfigured) == 0) target = n;
    }
  }
  // With every slot pre-configured, filter 1 is taken, but only while disabled.
  if (!reuse && target == 0 && firstDisabled) target = 1;
  if (!reuse && target != 0) UpdatePEFEntry(static_cast<BYTE>(target));

  WriteEnableBits(control, action, true);
  return 0;
}

void DisablePEF(void) {
  bool transportFailed = false;
  const auto control = ReadPef<1>(kPefControl, 0, transportFailed);
  if (transportFailed) return;
  const auto action = ReadPef<1>(kPefActionControl, 0, transportFailed);
  if (transportFailed) return;
  WriteEnableBits(control, action, false);
}
