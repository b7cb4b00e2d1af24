// bmcsetup: applies the BMC configuration files to the BMC and reads the BMC
// back into them. Started by selwatch (-i at start, -s every 30 seconds) and by
// the BMC configuration provider (-g, -c N) after it changed the files. Runs
// no shell; logs to syslog, and to standard error on a terminal. Exit status 0
// or 1.
#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "bmcsetup_args.h"
#include "bmcsetup_modes.h"

namespace {

// One line of standard input, without its line end; the password never
// appears on a command line another user could read.
bool ReadPassword(std::string& password) {
  if (!std::getline(std::cin, password) && password.empty()) return !std::cin.bad();
  if (!password.empty() && password.back() == '\r') password.pop_back();
  return true;
}

void Wipe(std::string& secret) {
  volatile char* p = secret.data();
  for (size_t i = 0; i < secret.size(); ++i) p[i] = '\0';
  secret.clear();
}

}  // namespace

int main(int argc, char** argv) {
  openlog("bmcsetup", LOG_PID | (isatty(STDERR_FILENO) ? LOG_PERROR : 0), LOG_DAEMON);
  const mgmt::bmcsetup::Log log = [](int priority, const std::string& message) {
    syslog(priority, "%s", (priority <= LOG_ERR ? "ERROR, " + message : message).c_str());
  };

  const std::vector<std::string_view> args(argv + 1, argv + argc);
  auto parsed = mgmt::bmcsetup::ParseArgs(args);
  if (!parsed.command) {
    log(LOG_ERR, parsed.error);
    std::fputs(mgmt::bmcsetup::UsageText().c_str(), stderr);
    return 1;
  }
  mgmt::bmcsetup::Command& command = *parsed.command;
  if (command.passwordFromStdin) {
    if (!ReadPassword(command.password)) {
      log(LOG_ERR, "cannot read the password from standard input");
      return 1;
    }
    if (std::string why = mgmt::bmcsetup::CheckUserText("password", command.password);
        !why.empty()) {
      Wipe(command.password);
      log(LOG_ERR, why);
      return 1;
    }
  }
  const int status = mgmt::bmcsetup::Run(command, log);
  Wipe(command.password);
  closelog();
  return status;
}
