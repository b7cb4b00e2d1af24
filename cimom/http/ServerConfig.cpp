#include "ServerConfig.h"

#include <arpa/inet.h>
#include <charconv>
#include <fstream>
#include <functional>
#include <string_view>

namespace mgmt::cimom {

namespace {

using Setter = std::function<bool(ServerConfig&, std::string_view)>;

bool ParseBool(std::string_view v, bool& out) {
  if (v == "true" || v == "yes" || v == "on" || v == "1") return out = true, true;
  if (v == "false" || v == "no" || v == "off" || v == "0") return out = false, true;
  return false;
}

template <typename T>
bool ParseUnsigned(std::string_view v, T& out, T lo, T hi) {
  T n{};
  auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
  if (ec != std::errc() || p != v.data() + v.size() || n < lo || n > hi) return false;
  out = n;
  return true;
}

Setter Str(std::string ServerConfig::*field, bool allowEmpty = false) {
  return [field, allowEmpty](ServerConfig& c, std::string_view v) {
    if (v.empty() && !allowEmpty) return false;
    c.*field = std::string(v);
    return true;
  };
}
Setter Boolean(bool ServerConfig::*field) {
  return [field](ServerConfig& c, std::string_view v) { return ParseBool(v, c.*field); };
}
template <typename T>
Setter Number(T ServerConfig::*field, T lo, T hi) {
  return [field, lo, hi](ServerConfig& c, std::string_view v) {
    return ParseUnsigned(v, c.*field, lo, hi);
  };
}

struct Row {
  const char* key;
  Setter set;
};

const std::vector<Row>& Rows() {
  static const std::vector<Row> kTable = {
      {"classDir", Str(&ServerConfig::classDir, true)},
      {"registrationDir", Str(&ServerConfig::registrationDir, true)},
      {"moduleDir", Str(&ServerConfig::moduleDir, true)},
      {"enableHttp", Boolean(&ServerConfig::enableHttp)},
      {"httpAddress", Str(&ServerConfig::httpAddress)},
      {"httpPort", Number<unsigned>(&ServerConfig::httpPort, 0, 65535)},
      {"allowRemote", Boolean(&ServerConfig::allowRemote)},
      {"enableHttps", Boolean(&ServerConfig::enableHttps)},
      {"httpsPort", Number<unsigned>(&ServerConfig::httpsPort, 0, 65535)},
      {"tlsCertificate", Str(&ServerConfig::tlsCertificate, true)},
      {"tlsPrivateKey", Str(&ServerConfig::tlsPrivateKey, true)},
      {"enableLocalSocket", Boolean(&ServerConfig::enableLocalSocket)},
      {"localSocket", Str(&ServerConfig::localSocket)},
      {"localSocketGroup", Str(&ServerConfig::localSocketGroup, true)},
      {"enableAuthentication", Boolean(&ServerConfig::enableAuthentication)},
      {"passwordFile", Str(&ServerConfig::passwordFile)},
      {"realm", Str(&ServerConfig::realm)},
      {"maxRequestBytes",
       Number<std::size_t>(&ServerConfig::maxRequestBytes, 1024, std::size_t{1} << 30)},
      {"maxHeaderBytes", Number<std::size_t>(&ServerConfig::maxHeaderBytes, 1024, 1024 * 1024)},
      {"maxHeaderCount", Number<std::size_t>(&ServerConfig::maxHeaderCount, 8, 1000)},
      {"maxXmlDepth", Number<std::size_t>(&ServerConfig::maxXmlDepth, 8, 10000)},
      {"maxXmlElements", Number<std::size_t>(&ServerConfig::maxXmlElements, 16, 100000000)},
      {"idleTimeoutSeconds", Number<unsigned>(&ServerConfig::idleTimeoutSeconds, 1, 86400)},
      {"requestTimeoutSeconds", Number<unsigned>(&ServerConfig::requestTimeoutSeconds, 1, 86400)},
      {"maxConnections", Number<std::size_t>(&ServerConfig::maxConnections, 1, 100000)},
  };
  return kTable;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

}  // namespace

bool ApplySetting(const std::string& key, const std::string& value, ServerConfig& cfg,
                  std::string& error) {
  for (const Row& r : Rows()) {
    if (key != r.key) continue;
    if (r.set(cfg, Trimmed(value))) return true;
    error = "bad value for " + key + ": \"" + value + "\"";
    return false;
  }
  error = "unknown setting \"" + key + "\"";
  return false;
}

void ParseConfig(std::istream& in, const std::string& name, ServerConfig& cfg,
                 std::vector<std::string>& problems) {
  constexpr std::size_t kMaxLine = 4096;
  constexpr int kMaxLines = 10000;
  std::string line;
  for (int lineNo = 1; lineNo <= kMaxLines && std::getline(in, line); ++lineNo) {
    const std::string where = name + ":" + std::to_string(lineNo) + ": ";
    if (line.size() > kMaxLine) {
      problems.push_back(where + "line too long");
      continue;
    }
    std::string_view v = Trimmed(line);
    if (v.empty() || v.front() == '#') continue;
    auto eq = v.find('=');
    if (eq == std::string_view::npos) {
      problems.push_back(where + "expected key = value");
      continue;
    }
    std::string error;
    if (!ApplySetting(std::string(Trimmed(v.substr(0, eq))), std::string(Trimmed(v.substr(eq + 1))),
                      cfg, error))
      problems.push_back(where + error);
  }
}

bool LoadConfigFile(const std::string& path, ServerConfig& cfg,
                    std::vector<std::string>& problems) {
  std::ifstream in(path);
  if (!in) {
    problems.push_back(path + ": cannot open");
    return false;
  }
  ParseConfig(in, path, cfg, problems);
  return true;
}

bool IsLoopbackAddress(const std::string& address) {
  in_addr a4{};
  if (::inet_pton(AF_INET, address.c_str(), &a4) == 1) return (ntohl(a4.s_addr) >> 24) == 127;
  in6_addr a6{};
  if (::inet_pton(AF_INET6, address.c_str(), &a6) == 1) return IN6_IS_ADDR_LOOPBACK(&a6);
  return false;
}

std::string ValidateConfig(const ServerConfig& cfg) {
  if (!cfg.enableHttp && !cfg.enableHttps && !cfg.enableLocalSocket)
    return "neither HTTP, HTTPS nor the local socket is enabled";
  if (cfg.enableHttps && (cfg.tlsCertificate.empty() || cfg.tlsPrivateKey.empty()))
    return "enableHttps needs tlsCertificate and tlsPrivateKey";
  const bool network = cfg.enableHttp || cfg.enableHttps;
  if (network && !IsLoopbackAddress(cfg.httpAddress) && !cfg.allowRemote)
    return "httpAddress " + cfg.httpAddress +
           " is not a loopback address; set allowRemote = true to listen on it";
  if (network && !IsLoopbackAddress(cfg.httpAddress) && !cfg.enableAuthentication)
    return "refusing to serve a non-loopback address without authentication";
  return {};
}

}  // namespace mgmt::cimom
