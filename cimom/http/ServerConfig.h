// cimserver's configuration: defaults, the configuration file, and checks that
// need the whole picture (a non-loopback address must be asked for explicitly).
#ifndef MGMT_CIMOM_SERVERCONFIG_H
#define MGMT_CIMOM_SERVERCONFIG_H

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

namespace mgmt::cimom {

/// Every setting of the server, with the defaults a fresh installation runs with.
struct ServerConfig {
  // Where the object manager finds its classes, registrations and modules; empty
  // means the installed layout (see mof/README.md).
  std::string classDir;
  std::string registrationDir;
  std::string moduleDir;

  // CIM-XML over HTTP.
  bool enableHttp = true;
  std::string httpAddress = "127.0.0.1";
  unsigned httpPort = 5988;
  bool allowRemote = false;  ///< must be true to bind anything but a loopback address

  // CIM-XML over HTTPS on the same address, when a certificate is configured.
  bool enableHttps = false;
  unsigned httpsPort = 5989;
  std::string tlsCertificate;  ///< PEM certificate chain
  std::string tlsPrivateKey;   ///< PEM private key

  // The local socket used by CIMClient::connectLocal.
  bool enableLocalSocket = true;
  std::string localSocket = "/run/mgmtagent/cimxml.socket";
  std::string localSocketGroup;  ///< empty: mode 0600, else 0660 with this group

  // Authentication of HTTP clients.
  bool enableAuthentication = true;
  std::string passwordFile = "/usr/local/share/mgmtagent/cimom/cimserver.passwd";
  std::string realm = "cimserver";

  // Limits on untrusted input.
  std::size_t maxRequestBytes = 4 * 1024 * 1024;
  std::size_t maxHeaderBytes = 16 * 1024;
  std::size_t maxHeaderCount = 64;
  std::size_t maxXmlDepth = 64;
  std::size_t maxXmlElements = 200000;
  unsigned idleTimeoutSeconds = 30;
  unsigned requestTimeoutSeconds = 30;
  std::size_t maxConnections = 32;
};

/// Reads `key = value` lines into `cfg`. Comments start with '#'. Unknown keys and
/// bad values are reported in `problems` (as "name:line: text") and skipped, so one
/// typo does not keep the server down; the setting keeps its earlier value.
void ParseConfig(std::istream& in, const std::string& name, ServerConfig& cfg,
                 std::vector<std::string>& problems);

/// Reads the file at `path` (resolved by the caller); false with a problem when it
/// cannot be opened.
bool LoadConfigFile(const std::string& path, ServerConfig& cfg, std::vector<std::string>& problems);

/// Applies one "key=value" setting (the command line's --set), as the file would.
bool ApplySetting(const std::string& key, const std::string& value, ServerConfig& cfg,
                  std::string& error);

/// Checks the configuration as a whole; returns an empty string or the reason it
/// cannot be used.
std::string ValidateConfig(const ServerConfig& cfg);

/// True for 127.0.0.0/8 and ::1.
bool IsLoopbackAddress(const std::string& address);

}  // namespace mgmt::cimom

#endif
