// cimuser: adds, removes and lists the users that may log in to cimserver over
// HTTP. The password file is the one named in the server's configuration (or
// --file); it is kept at mode 0600 and replaced atomically.
//
//   cimuser add USER          prompts for the password (twice on a terminal,
//                             one line from standard input otherwise)
//   cimuser remove USER
//   cimuser list
// Options: --config FILE (default the installed cimserver.conf), --file PASSWDFILE.
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "PasswordFile.h"
#include "ServerConfig.h"
#include "installroot.h"

namespace {

constexpr const char* kDefaultConfig = "/usr/local/share/mgmtagent/cimom/cimserver.conf";

int Usage() {
  std::cerr << "usage: cimuser [--config FILE] [--file PASSWDFILE] add|remove USER\n"
               "       cimuser [--config FILE] [--file PASSWDFILE] list\n";
  return 2;
}

// Reads one line without echo when standard input is a terminal.
bool ReadSecret(const char* prompt, std::string& out) {
  const bool tty = ::isatty(STDIN_FILENO) != 0;
  termios saved{};
  if (tty) {
    std::cerr << prompt << std::flush;
    ::tcgetattr(STDIN_FILENO, &saved);
    termios quiet = saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  bool ok = static_cast<bool>(std::getline(std::cin, out));
  if (tty) {
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << "\n";
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::string configPath = mgmt::RootPath(kDefaultConfig);
  std::string file;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if ((a == "--config" || a == "--file") && i + 1 < argc) {
      (a == "--config" ? configPath : file) = argv[++i];
    } else if (a == "-h" || a == "--help") {
      return Usage();
    } else {
      args.push_back(a);
    }
  }
  if (file.empty()) {
    mgmt::cimom::ServerConfig cfg;
    std::vector<std::string> problems;
    if (::access(configPath.c_str(), F_OK) == 0)
      mgmt::cimom::LoadConfigFile(configPath, cfg, problems);
    for (const auto& p : problems) std::cerr << "cimuser: " << p << "\n";
    file = mgmt::RootPath(cfg.passwordFile);
  }
  if (args.size() == 1 && args[0] == "list") {
    auto users = mgmt::cimom::ReadPasswordFile(file);
    if (!users) {
      std::cerr << "cimuser: " << file << ": cannot read\n";
      return 1;
    }
    for (const auto& [u, h] : *users) std::cout << u << "\n";
    return 0;
  }
  if (args.size() != 2) return Usage();
  const std::string& user = args[1];
  std::string error;
  if (args[0] == "add") {
    if (!mgmt::cimom::ValidUserName(user)) {
      std::cerr << "cimuser: invalid user name \"" << user << "\" (letters, digits, . _ -)\n";
      return 2;
    }
    std::string pw, again;
    if (!ReadSecret("Password: ", pw)) {
      std::cerr << "cimuser: no password given\n";
      return 1;
    }
    if (::isatty(STDIN_FILENO) && (!ReadSecret("Again: ", again) || again != pw)) {
      std::cerr << "cimuser: the passwords differ\n";
      return 1;
    }
    error = mgmt::cimom::SetPassword(file, user, pw);
  } else if (args[0] == "remove") {
    error = mgmt::cimom::RemoveUser(file, user);
  } else {
    return Usage();
  }
  if (!error.empty()) {
    std::cerr << "cimuser: " << error << "\n";
    return 1;
  }
  return 0;
}
