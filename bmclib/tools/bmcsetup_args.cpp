#include "bmcsetup_args.h"

#include <charconv>

namespace mgmt::bmcsetup {
namespace {

constexpr size_t kMaxUserText = 16;

bool IsOption(std::string_view arg) {
  return arg == "-i" || arg == "-s" || arg == "-g" || arg == "-c" || arg == "-n" || arg == "-p";
}

}  // namespace

ParseResult ParseArgs(const std::vector<std::string_view>& args) {
  ParseResult result;
  Command command;
  int modes = 0;
  bool userOptions = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    // The value of -n, -p or -c; an option in its place means "none given".
    auto value = [&]() -> std::optional<std::string_view> {
      if (i + 1 < args.size() && !IsOption(args[i + 1])) return args[++i];
      return std::nullopt;
    };
    if (arg == "-i" || arg == "-s" || arg == "-g") {
      ++modes;
      command.mode = arg == "-i" ? Mode::kInit : arg == "-s" ? Mode::kSync : Mode::kGlobal;
    } else if (arg == "-c") {
      ++modes;
      command.mode = Mode::kChannel;
      const auto text = value();
      int channel = -1;
      if (text) {
        auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), channel);
        if (ec != std::errc() || end != text->data() + text->size()) channel = -1;
      }
      if (channel < 0 || channel > 15) {
        result.error = "-c needs a channel number 0-15";
        return result;
      }
      command.channel = channel;
    } else if (arg == "-n") {
      userOptions = true;
      command.userName = std::string(value().value_or(""));
    } else if (arg == "-p") {
      userOptions = true;
      const std::string_view password = value().value_or("");
      command.passwordFromStdin = password == "-";
      command.password = command.passwordFromStdin ? "" : std::string(password);
    } else if (arg.empty()) {
      continue;  // a trailing blank of a command line built with a format
    } else {
      result.error = "unknown argument \"" + std::string(arg) + "\"";
      return result;
    }
  }
  if (modes != 1) {
    result.error = modes == 0 ? "no mode given" : "only one of -i, -s, -g, -c may be given";
    return result;
  }
  if (userOptions && command.mode != Mode::kGlobal) {
    result.error = "-n and -p belong to -g";
    return result;
  }
  for (auto [what, text] :
       {std::pair{"user name", &command.userName}, {"password", &command.password}}) {
    if (std::string why = CheckUserText(what, *text); !why.empty()) {
      result.error = why;
      return result;
    }
  }
  result.command = std::move(command);
  return result;
}

std::string CheckUserText(std::string_view what, std::string_view text) {
  if (text.size() > kMaxUserText)
    return std::string(what) + " longer than " + std::to_string(kMaxUserText) + " characters";
  for (char c : text) {
    if (c < 0x20 || c > 0x7E)
      return std::string(what) + " holds a character that is not printable ASCII";
  }
  return {};
}

std::string UsageText() {
  return "usage: bmcsetup -i | -s | -g [-n USER] [-p PASSWORD|-] | -c CHANNEL\n"
         "  -i  read the BMC's LAN channels and trap targets into bmcchannel.conf and ipmi.conf\n"
         "  -s  keep the BMC's address in step with the host (channels with IP source 3)\n"
         "  -g  set the BMC user's name and password and the alert destinations of ipmi.conf;\n"
         "      -p - reads the password from standard input; an empty value leaves it as it is\n"
         "  -c  apply channel CHANNEL of bmcchannel.conf to the BMC\n";
}

}  // namespace mgmt::bmcsetup
