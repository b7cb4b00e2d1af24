#include "support/stand_ins.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace mgmt::test {

namespace fs = std::filesystem;

namespace {

std::string PathWith(const fs::path& first) {
  const char* path = std::getenv("PATH");
  return first.string() + ":" + (path != nullptr ? path : "/usr/bin:/bin");
}

// The first executable `name` in the folders of `path`.
fs::path Which(const std::string& name, const std::string& path) {
  std::istringstream dirs(path);
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const fs::path candidate = fs::path(dir.empty() ? "." : dir) / name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

// A shell word that stands for `text` as it is.
std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

}  // namespace

StandInCommands::StandInCommands(const std::vector<std::string>& names)
    : dir_("standins"), path_(PathWith(dir_.Path())), scopedPath_("PATH", path_) {
  for (const auto& name : names) {
    if (name.empty() || name.find('/') != std::string::npos) {
      throw std::invalid_argument("not a command name: " + name);
    }
    Write(name, 0, "");
    const fs::path found = Which(name, path_);
    if (found.parent_path() != dir_.Path()) {
      throw std::runtime_error("PATH finds " + found.string() + " before the stand-in");
    }
  }
}

void StandInCommands::Script(const std::string& name, int exitStatus, const std::string& output) {
  Write(name, exitStatus, output);
}

void StandInCommands::Write(const std::string& name, int exitStatus, const std::string& output) {
  // Arguments are recorded separated by the unit separator (0x1f), one call a
  // line, so that spaces inside arguments survive.
  const std::string script =
      "#!/bin/sh\n"
      "for a in \"$@\"; do printf '%s\\037' \"$a\"; done >>" +
      Quote((dir_ / (name + ".calls")).string()) +
      "\n"
      "printf '\\n' >>" +
      Quote((dir_ / (name + ".calls")).string()) +
      "\n"
      "printf '%s' " +
      Quote(output) + "\nexit " + std::to_string(exitStatus) + "\n";
  const fs::path file = dir_ / name;
  const fs::path temporary = dir_ / ("." + name + ".new");
  WriteFile(temporary, script);
  ::chmod(temporary.c_str(), 0755);
  fs::rename(temporary, file);
}

std::vector<std::vector<std::string>> StandInCommands::Calls(const std::string& name) const {
  std::vector<std::vector<std::string>> calls;
  std::istringstream lines(dir_.Read(name + ".calls"));
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> args;
    std::size_t start = 0;
    for (std::size_t sep; (sep = line.find('\x1f', start)) != std::string::npos; start = sep + 1) {
      args.push_back(line.substr(start, sep - start));
    }
    calls.push_back(std::move(args));
  }
  return calls;
}

}  // namespace mgmt::test
