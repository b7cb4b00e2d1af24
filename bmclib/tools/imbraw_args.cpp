#include "imbraw_args.h"

#include <cctype>
#include <charconv>

#include "imbapi.h"

namespace mgmt::imbraw {

namespace {

// Network functions are six bits wide; LUNs two.
constexpr unsigned kMaxNetFn = 0x3F;
constexpr unsigned kMaxLun = 3;

template <typename T>
std::optional<T> ParseWhole(std::string_view text, int base) {
  T value{};
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
  if (ec != std::errc{} || ptr != end) return std::nullopt;
  return value;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

std::optional<uint8_t> ParseHexByte(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    text.remove_prefix(2);
  // from_chars would take a sign for signed types only, but refuse anything
  // that is not a plain hex digit outright so "+1" or " 1" never slip through.
  if (text.empty() || text.size() > 2) return std::nullopt;
  for (char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
  return ParseWhole<uint8_t>(text, 16);
}

std::optional<int> ParseTimeout(std::string_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  for (char c : text)
    if (c < '0' || c > '9') return std::nullopt;
  auto value = ParseWhole<int>(text, 10);
  if (!value || *value < 1 || *value > kMaxTimeoutMs) return std::nullopt;
  return value;
}

ParseResult ParseArgs(std::span<const std::string_view> args) {
  ParseResult result;
  RawRequest request;
  std::vector<std::string_view> positional;
  bool optionsDone = false;

  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (optionsDone || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsDone = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      result.help = true;
      return result;
    }
    if (arg != "--timeout" && arg != "--addr" && arg != "--lun") {
      result.error = "unknown option " + Quoted(arg);
      return result;
    }
    if (i + 1 >= args.size()) {
      result.error = std::string(arg) + " needs a value";
      return result;
    }
    std::string_view value = args[++i];
    if (arg == "--timeout") {
      auto ms = ParseTimeout(value);
      if (!ms) {
        result.error = "bad time-out " + Quoted(value) + ": milliseconds, 1 to " +
                       std::to_string(kMaxTimeoutMs);
        return result;
      }
      request.timeoutMs = *ms;
    } else if (arg == "--addr") {
      auto sa = ParseHexByte(value);
      if (!sa) {
        result.error = "bad slave address " + Quoted(value) + ": one hex byte";
        return result;
      }
      request.slaveAddress = *sa;
    } else {
      auto lun = ParseHexByte(value);
      if (!lun || *lun > kMaxLun) {
        result.error = "bad LUN " + Quoted(value) + ": 0 to 3";
        return result;
      }
      request.lun = *lun;
    }
  }

  if (positional.size() < 2) {
    result.error = "NETFN and CMD are required";
    return result;
  }
  auto netFn = ParseHexByte(positional[0]);
  if (!netFn || *netFn > kMaxNetFn) {
    result.error = "bad NETFN " + Quoted(positional[0]) + ": hex 00 to 3f";
    return result;
  }
  auto cmd = ParseHexByte(positional[1]);
  if (!cmd) {
    result.error = "bad CMD " + Quoted(positional[1]) + ": one hex byte";
    return result;
  }
  if (positional.size() - 2 > IMB_MAX_REQUEST_DATA) {
    result.error = "too many data bytes: " + std::to_string(positional.size() - 2) + " (at most " +
                   std::to_string(IMB_MAX_REQUEST_DATA) + ")";
    return result;
  }
  for (size_t i = 2; i < positional.size(); ++i) {
    auto byte = ParseHexByte(positional[i]);
    if (!byte) {
      result.error = "bad data byte " + Quoted(positional[i]) + " (byte " + std::to_string(i - 1) +
                     "): one hex byte";
      return result;
    }
    request.data.push_back(*byte);
  }
  request.netFn = *netFn;
  request.cmd = *cmd;
  result.request = std::move(request);
  return result;
}

std::string UsageText() {
  return "usage: imbraw [--timeout MS] [--addr SA] [--lun N] NETFN CMD [DATA...]\n"
         "Sends one IPMI request through the IMB driver (/dev/imb) and prints the\n"
         "completion code and the response bytes. NETFN, CMD, DATA, SA and N are hex\n"
         "bytes (\"06\" or \"0x06\"); MS is decimal (the driver waits at least 30000).\n"
         "  --addr SA   responder slave address (default 20, the BMC)\n"
         "  --lun N     responder LUN, 0 to 3 (default 0)\n"
         "Exit status: 0 completion code 00, 3 another completion code,\n"
         "1 the driver failed, 2 bad arguments.\n"
         "Example: imbraw 06 01          (Get Device ID)\n";
}

}  // namespace mgmt::imbraw
