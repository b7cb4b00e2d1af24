#include "support/wbemcli.h"

#include <sstream>

namespace mgmt::test {

std::vector<WbemInstance> ParseWbemcliInstances(const std::string& out) {
  std::vector<WbemInstance> all;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    if (line[0] != '-') {
      all.push_back({line, {}});
      continue;
    }
    if (all.empty()) continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    all.back().properties[line.substr(1, eq - 1)] = line.substr(eq + 1);
  }
  return all;
}

std::vector<std::string> NonEmptyLines(const std::string& out) {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string l; std::getline(in, l);) {
    if (!l.empty()) lines.push_back(l);
  }
  return lines;
}

std::string KeyValue(const std::string& path, const std::string& name) {
  // Nothing before the key bindings holds a '=', and key names hold no '.':
  // the bindings start after the last '.' before the first '='.
  const std::size_t firstEq = path.find('=');
  if (firstEq == std::string::npos) return "";
  std::size_t at = path.rfind('.', firstEq);
  while (at != std::string::npos && at + 1 < path.size()) {
    const std::size_t keyStart = at + 1;
    const std::size_t eq = path.find('=', keyStart);
    if (eq == std::string::npos) return "";
    std::string value;
    std::size_t next;
    if (eq + 1 < path.size() && path[eq + 1] == '"') {
      std::size_t i = eq + 2;
      for (; i < path.size() && path[i] != '"'; ++i) {
        if (path[i] == '\\' && i + 1 < path.size()) ++i;
        value += path[i];
      }
      next = path.find(',', i);
    } else {
      next = path.find(',', eq);
      value = path.substr(eq + 1, next == std::string::npos ? std::string::npos : next - eq - 1);
    }
    if (path.compare(keyStart, eq - keyStart, name) == 0) return value;
    at = next;
  }
  return "";
}

RunResult Wbemcli(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"wbemcli"};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv);
}

}  // namespace mgmt::test
