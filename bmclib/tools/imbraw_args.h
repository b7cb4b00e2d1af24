// Command line of imbraw: one raw IPMI request for the IMB driver.
#ifndef MGMT_BMCLIB_TOOLS_IMBRAW_ARGS_H
#define MGMT_BMCLIB_TOOLS_IMBRAW_ARGS_H

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mgmt::imbraw {

/// Largest accepted --timeout in milliseconds: the driver carries the time-out in
/// microseconds in a 32-bit field, and an hour is already far past any BMC's answer.
inline constexpr int kMaxTimeoutMs = 3'600'000;

/// One request as given on the command line.
struct RawRequest {
  int timeoutMs = 30000;        ///< the driver raises anything shorter to 30 s
  uint8_t slaveAddress = 0x20;  ///< the BMC
  uint8_t lun = 0;
  uint8_t netFn = 0;
  uint8_t cmd = 0;
  std::vector<uint8_t> data;
};

/// What the command line asks for: a request, the help text, or an error.
struct ParseResult {
  std::optional<RawRequest> request;  ///< set when the line is a valid request
  bool help = false;                  ///< --help was given
  std::string error;                  ///< why the line was refused (empty otherwise)
};

/// Parses the arguments after the program name.
ParseResult ParseArgs(std::span<const std::string_view> args);

/// A byte written in hex ("6", "06", "0x06", "0X6"); nothing else, nothing larger.
std::optional<uint8_t> ParseHexByte(std::string_view text);

/// A decimal count of milliseconds in 1..kMaxTimeoutMs.
std::optional<int> ParseTimeout(std::string_view text);

/// The usage text (ends with a newline).
std::string UsageText();

}  // namespace mgmt::imbraw

#endif
