// The request helper, configuration parameter reads and writes, MAC texts,
// RMCP+ capability, channel security keys and cold reset.
#include "ipmiconf.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ipmiconf_internal.h"

namespace mgmt::bmc {

IpmiReply Request(BYTE netFn, BYTE cmd, std::span<const BYTE> data) {
  IpmiReply reply;
  if (data.size() > IMB_MAX_REQUEST_DATA) return reply;
  std::array<BYTE, IMB_MAX_REQUEST_DATA> request{};
  std::copy(data.begin(), data.end(), request.begin());
  IMBPREQUESTDATA req;
  FillRequest(&req, cmd, kBmcAddress, 0, netFn, 0, request.data(), static_cast<int>(data.size()));
  reply.rc = DoIpmiRequest(&req, reply.buffer.data(), &reply.length);
  if (reply.rc != 0 || reply.length < 0) reply.length = 0;
  WipeSecret(request);
  return reply;
}

std::optional<std::vector<BYTE>> ReadLanParameter(BYTE channel, BYTE parameter, BYTE setSelector,
                                                  size_t length, bool& transportFailed) {
  const IpmiReply reply = Request(kNetFnTransport, 0x02, {channel, parameter, setSelector, 0});
  transportFailed = reply.TransportFailed();
  if (!reply.Has(length)) return std::nullopt;
  return std::vector<BYTE>(reply.buffer.begin() + 1, reply.buffer.begin() + 1 + length);
}

void WipeSecret(std::span<BYTE> buffer) {
  volatile BYTE* p = buffer.data();
  for (size_t i = 0; i < buffer.size(); ++i) p[i] = 0;
}

}  // namespace mgmt::bmc

using mgmt::bmc::IpmiReply;
using mgmt::bmc::kNetFnApp;
using mgmt::bmc::kNetFnSensorEvent;
using mgmt::bmc::kNetFnTransport;
using mgmt::bmc::Request;

namespace {

constexpr BYTE kCmdColdReset = 0x02;
constexpr BYTE kCmdGetChannelAuthCap = 0x38;
constexpr BYTE kCmdSetChannelSecurityKeys = 0x56;
using mgmt::bmc::kCmdGetLanConf;
using mgmt::bmc::kCmdGetPefConf;
using mgmt::bmc::kCmdSetLanConf;
using mgmt::bmc::kCmdSetPefConf;
constexpr size_t kKeySize = 20;

// Copies `length` bytes after the revision byte and `offset` more, when the
// reply holds them all.
void CopyParameter(const IpmiReply& reply, BYTE* out, int length, int offset) {
  const size_t end = static_cast<size_t>(offset) + static_cast<size_t>(length) + 1;
  if (reply.length < 0 || end > static_cast<size_t>(reply.length)) return;
  std::memcpy(out, reply.buffer.data() + offset + 1, static_cast<size_t>(length));
}

std::string MacDigits(const char* text) {
  std::string out;
  if (text == nullptr) return out;
  for (; *text != '\0'; ++text) {
    const char c = *text;
    if (c == ':' || c == '-') continue;
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) {
      out += c;
    } else if (c >= 'a' && c <= 'f') {
      out += static_cast<char>(c - 'a' + 'A');
    } else {
      break;
    }
  }
  return out;
}

}  // namespace

int FormatMAC(const char* text, char* out, size_t outSize) {
  if (out == nullptr || outSize == 0) return -1;
  const std::string digits = MacDigits(text);
  if (digits.size() >= outSize) {
    out[0] = '\0';
    return -1;
  }
  std::memcpy(out, digits.c_str(), digits.size() + 1);
  return 0;
}

int CompareMAC(const char* a, const char* b) {
  const int order = MacDigits(a).compare(MacDigits(b));
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

int GetRMCPConf(BYTE channel) {
  const IpmiReply reply =
      Request(kNetFnApp, kCmdGetChannelAuthCap, {static_cast<BYTE>(channel | 0x80), 0x04});
  if (!reply.Ok()) return -1;
  if (!reply.Has(3)) return 0;
  return (reply.buffer[1] & 0x80) != 0 && (reply.buffer[3] & 0x02) != 0 ? 1 : 0;
}

int SetChannelSecurityKeys(BYTE channel, const char* key) {
  if (key == nullptr || std::strlen(key) > kKeySize) return -1;
  std::array<BYTE, 3 + kKeySize> request{};
  request[0] = channel;
  request[1] = 0x01;  // set key
  std::memcpy(request.data() + 3, key, std::strlen(key));
  int rc = 0;
  for (BYTE keyId : {BYTE{0x01}, BYTE{0x00}}) {  // K_G, then K_R
    request[2] = keyId;
    rc = Request(kNetFnApp, kCmdSetChannelSecurityKeys, request).rc;
    if (rc != 0) break;
  }
  mgmt::bmc::WipeSecret(request);
  return rc;
}

int IsChannelKeySupported(BYTE channel) {
  std::array<BYTE, 3 + kKeySize> request{};
  request[0] = channel;
  request[1] = 0x00;  // read key
  request[2] = 0x01;  // K_G
  IMBPREQUESTDATA req;
  FillRequest(&req, kCmdSetChannelSecurityKeys, mgmt::bmc::kBmcAddress, 0, kNetFnApp, 0,
              request.data(), static_cast<int>(request.size()));
  std::array<BYTE, IMB_MAX_RESPONSE_DATA> reply{};
  int length = 0;
  BYTE cc = 0;
  if (SendTimedImbpRequest(&req, 1000, reply.data(), &length, &cc) != 0) return 0;
  // 0x80-0x84: the key exists but is locked, too short, too long and the like;
  // the lock status is still reported.
  if (cc != 0 && (cc < 0x80 || cc > 0x84)) return 0;
  if (length < 1) return 0;
  return reply[0] & 0x03;
}

int GetPEFConf(BYTE* out, int length, int offset, BYTE parameter, BYTE setSelector,
               BYTE blockSelector) {
  if (out == nullptr || length < 0 || offset < 0) return -1;
  const IpmiReply reply =
      Request(kNetFnSensorEvent, kCmdGetPefConf, {parameter, setSelector, blockSelector});
  if (reply.Ok()) CopyParameter(reply, out, length, offset);
  return reply.rc;
}

int GetLanConf(BYTE* out, int length, int offset, BYTE channel, BYTE parameter, BYTE setSelector,
               BYTE blockSelector) {
  if (out == nullptr || length < 0 || offset < 0) return -1;
  const IpmiReply reply =
      Request(kNetFnTransport, kCmdGetLanConf, {channel, parameter, setSelector, blockSelector});
  if (reply.Ok()) CopyParameter(reply, out, length, offset);
  return reply.rc;
}

int SetPEFConf(const BYTE* data, int length, BYTE parameter) {
  if (length < 0 || (length > 0 && data == nullptr) || length > IMB_MAX_REQUEST_DATA - 1) return -1;
  std::vector<BYTE> request{parameter};
  if (length > 0) request.insert(request.end(), data, data + length);
  return Request(kNetFnSensorEvent, kCmdSetPefConf, request).rc;
}

int SetLanConf(const BYTE* data, int length, BYTE channel, BYTE parameter) {
  if (length < 0 || (length > 0 && data == nullptr) || length > IMB_MAX_REQUEST_DATA - 2) return -1;
  std::vector<BYTE> request{channel, parameter};
  if (length > 0) request.insert(request.end(), data, data + length);
  return Request(kNetFnTransport, kCmdSetLanConf, request).rc;
}

int BMCColdReset(void) { return Request(kNetFnApp, kCmdColdReset).rc; }
