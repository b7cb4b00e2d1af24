// bmcsetup's command line.
//
//   bmcsetup -i                  read the BMC's channels and trap targets into the files
//   bmcsetup -s                  keep the BMC's address in step with the host
//   bmcsetup -g [-n USER] [-p PASSWORD|-]
//                                set the BMC user's name and password and the alert
//                                destinations of ipmi.conf ("-": the password is read
//                                from standard input; empty: left as it is)
//   bmcsetup -c N                apply channel N of bmcchannel.conf to the BMC
#ifndef MGMT_BMCLIB_TOOLS_BMCSETUP_ARGS_H
#define MGMT_BMCLIB_TOOLS_BMCSETUP_ARGS_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mgmt::bmcsetup {

enum class Mode { kInit, kSync, kGlobal, kChannel };

struct Command {
  Mode mode = Mode::kInit;
  int channel = 0;                 ///< -c
  std::string userName;            ///< -n; empty: unchanged
  std::string password;            ///< -p; empty: unchanged
  bool passwordFromStdin = false;  ///< -p -
};

struct ParseResult {
  std::optional<Command> command;
  std::string error;  ///< why there is no command
};

/// Parses the arguments after the program name. An option value may be empty,
/// also when the caller's shell dropped it: "-p -n admin" means an empty
/// password and the name "admin".
ParseResult ParseArgs(const std::vector<std::string_view>& args);

/// Checks a user name or password for the BMC: at most 16 characters, printable
/// ASCII. @return empty when acceptable, else why not.
std::string CheckUserText(std::string_view what, std::string_view text);

std::string UsageText();

}  // namespace mgmt::bmcsetup

#endif
