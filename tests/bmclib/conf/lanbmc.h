// A scripted BMC with LAN channel 1 that remembers what is written to it: LAN
// parameters (alert destinations by set selector), channel access, user names
// and passwords. Channel 6 is a session-less channel; every other channel
// number is refused with 0xCC. Unknown commands get 0xC1 (cold reset too).
#ifndef MGMT_TESTS_BMCLIB_CONF_LANBMC_H
#define MGMT_TESTS_BMCLIB_CONF_LANBMC_H

#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "support/scripted_bmc.h"

namespace conftest {

struct LanBmcState {
  using Bytes = std::vector<uint8_t>;
  std::map<int, Bytes> params = {
      {2, {0x15, 0x15, 0x15, 0x15, 0x00}},
      {3, {192, 0, 2, 10}},
      {4, {0x01}},
      {5, {0x02, 0x00, 0x00, 0x00, 0x00, 0x20}},
      {6, {255, 255, 255, 0}},
      {12, {192, 0, 2, 1}},
      {13, {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}},
      {14, {0, 0, 0, 0}},
      {15, {0, 0, 0, 0, 0, 0}},
      {17, {0x04}},
  };
  /// LAN parameter 19 by set selector (13 bytes each).
  std::map<int, Bytes> dests = {
      {1, {1, 0, 0, 10, 0, 0, 9, 0x00, 0x0C, 0x29, 0xAB, 0xCD, 0xEF}},
      {2, {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {3, {3, 0, 0, 10, 0, 0, 11, 0x00, 0x0C, 0x29, 0x00, 0x00, 0x01}},
      {4, {4, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 0, 0}},
  };
  uint8_t accessVolatile = 0x22;
  uint8_t accessNonVolatile = 0x22;
  std::map<int, std::vector<uint8_t>> userNames;
  std::map<int, std::vector<uint8_t>> passwords;
  bool rmcpPlus = true;

  std::optional<mgmt::test::Reply> Answer(const mgmt::imbd::IpmiRequest& r);
};

/// The handler for ScriptedBmc::SetHandler over shared state.
inline mgmt::test::ScriptedBmc::Handler LanBmc(std::shared_ptr<LanBmcState> state) {
  return [state](const mgmt::imbd::IpmiRequest& r) { return state->Answer(r); };
}

inline std::optional<mgmt::test::Reply> LanBmcState::Answer(const mgmt::imbd::IpmiRequest& r) {
  using mgmt::test::Reply;
  const Bytes& d = r.data;
  auto withRevision = [](const Bytes& data) {
    Bytes reply{0x00, 0x11};
    reply.insert(reply.end(), data.begin(), data.end());
    return Reply::Bytes(reply);
  };
  if (r.netFn == 0x06 && r.cmd == 0x42 && d.size() == 1) {  // Get Channel Info
    if (d[0] == 1) return Reply::Bytes({0, 1, 0x04, 0x01, 0x82, 0xF2, 0x1B, 0x00, 0, 0});
    if (d[0] == 6) return Reply::Bytes({0, 6, 0x0C, 0x05, 0x00, 0xF2, 0x1B, 0x00, 0, 0});
    return Reply::Bytes({0xCC});
  }
  if (r.netFn == 0x06 && r.cmd == 0x41 && d.size() == 2 && d[0] == 1)
    return Reply::Bytes({0, d[1] == 0x80 ? accessVolatile : accessNonVolatile, 0x04});
  if (r.netFn == 0x06 && r.cmd == 0x40 && d.size() == 3 && d[0] == 1) {
    if ((d[1] & 0xC0) == 0x80) accessVolatile = d[1] & 0x3F;
    if ((d[1] & 0xC0) == 0x40) accessNonVolatile = d[1] & 0x3F;
    return Reply::Bytes({0x00});
  }
  if (r.netFn == 0x06 && r.cmd == 0x38 && d.size() == 2)
    return Reply::Bytes(
        {0x00, 0x01, 0x97, 0x00, static_cast<uint8_t>(rmcpPlus ? 0x03 : 0x01), 0, 0, 0, 0});
  if (r.netFn == 0x06 && r.cmd == 0x45 && d.size() == 17) {
    userNames[d[0]] = Bytes(d.begin() + 1, d.end());
    return Reply::Bytes({0x00});
  }
  if (r.netFn == 0x06 && r.cmd == 0x47 && d.size() >= 18) {
    passwords[d[0]] = Bytes(d.begin() + 2, d.end());
    return Reply::Bytes({0x00});
  }
  if (r.netFn == 0x0C && r.cmd == 0x02 && d.size() == 4 && d[0] == 1) {  // Get LAN Conf
    if (d[1] == 19) {
      auto dest = dests.find(d[2]);
      return dest == dests.end() ? Reply::Bytes({0x80}) : withRevision(dest->second);
    }
    auto p = params.find(d[1]);
    return p == params.end() ? Reply::Bytes({0x80}) : withRevision(p->second);
  }
  if (r.netFn == 0x0C && r.cmd == 0x01 && d.size() >= 3 && d[0] == 1) {  // Set LAN Conf
    Bytes value(d.begin() + 2, d.end());
    if (d[1] == 19)
      dests[d[2]] = value;
    else
      params[d[1]] = value;
    return Reply::Bytes({0x00});
  }
  if (r.netFn == 0x0C && (r.cmd == 0x01 || r.cmd == 0x02)) return Reply::Bytes({0xCC});
  return std::nullopt;
}

}  // namespace conftest

#endif
