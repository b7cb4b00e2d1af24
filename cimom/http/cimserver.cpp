// cimserver: the CIM object manager. Loads the class repository and provider
// registrations, serves CIM-XML over HTTP (127.0.0.1:5988 by default) and on the
// local socket used by CIMClient::connectLocal, runs in the foreground, logs to
// standard error and syslog, and on SIGTERM or SIGINT stops accepting, finishes
// the requests in progress and terminates every provider.
#include <signal.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <Pegasus/Common/Exception.h>

#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <thread>
#include <vector>

#include "CimRequestHandler.h"
#include "HostOperations.h"
#include "HttpServer.h"
#include "PasswordFile.h"
#include "ProviderHost.h"
#include "ServerConfig.h"
#include "cimxml/ValueText.h"
#include "installroot.h"

#include <grp.h>

using namespace mgmt::cimom;

namespace {

constexpr const char* kDefaultConfig = "/usr/local/share/mgmtagent/cimom/cimserver.conf";

void Usage() {
  std::cerr
      << "usage: cimserver [options]\n"
         "  --config FILE          configuration file (default "
      << kDefaultConfig
      << ")\n"
         "  --classes DIR          class definitions (*.mof)\n"
         "  --registrations DIR    provider registrations (*.reg)\n"
         "  --modules DIR          provider module libraries\n"
         "  --address ADDR         HTTP listen address (default 127.0.0.1)\n"
         "  --port N               HTTP port (default 5988; 0 picks a free one)\n"
         "  --local-socket PATH    local socket for connectLocal\n"
         "  --set KEY=VALUE        any configuration setting\n"
         "  --print-port           print the bound HTTP (then HTTPS) port on standard output\n";
}

bool EnsureParentDir(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  return !ec;
}

}  // namespace

int main(int argc, char** argv) {
  openlog("cimserver", LOG_PID | LOG_PERROR, LOG_DAEMON);
  std::string configPath = mgmt::RootPath(kDefaultConfig);
  bool explicitConfig = false, printPort = false;
  std::vector<std::pair<std::string, std::string>> overrides;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> std::string {
      if (i + 1 >= argc) {
        Usage();
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--config")
      configPath = next(), explicitConfig = true;
    else if (a == "--classes")
      overrides.emplace_back("classDir", next());
    else if (a == "--registrations")
      overrides.emplace_back("registrationDir", next());
    else if (a == "--modules")
      overrides.emplace_back("moduleDir", next());
    else if (a == "--address")
      overrides.emplace_back("httpAddress", next());
    else if (a == "--port")
      overrides.emplace_back("httpPort", next());
    else if (a == "--local-socket")
      overrides.emplace_back("localSocket", next());
    else if (a == "--print-port")
      printPort = true;
    else if (a == "--set") {
      std::string kv = next();
      auto eq = kv.find('=');
      if (eq == std::string::npos) return Usage(), 2;
      overrides.emplace_back(kv.substr(0, eq), kv.substr(eq + 1));
    } else {
      Usage();
      return a == "--help" || a == "-h" ? 0 : 2;
    }
  }

  ServerConfig cfg;
  std::vector<std::string> problems;
  if (explicitConfig || ::access(configPath.c_str(), F_OK) == 0) {
    if (!LoadConfigFile(configPath, cfg, problems) && explicitConfig) {
      syslog(LOG_ERR, "%s: cannot read the configuration file", configPath.c_str());
      return 1;
    }
  }
  for (const auto& p : problems) syslog(LOG_WARNING, "%s", p.c_str());
  for (const auto& [k, v] : overrides) {
    std::string error;
    if (!ApplySetting(k, v, cfg, error)) {
      syslog(LOG_ERR, "%s", error.c_str());
      return 2;
    }
  }
  if (std::string why = ValidateConfig(cfg); !why.empty()) {
    syslog(LOG_ERR, "%s", why.c_str());
    return 2;
  }

  // Signals go to one thread that stops the server; block them everywhere first.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  HostConfig hostConfig = HostConfig::InstalledDefaults();
  if (!cfg.classDir.empty()) hostConfig.classDir = mgmt::RootPath(cfg.classDir);
  if (!cfg.registrationDir.empty())
    hostConfig.registrationDir = mgmt::RootPath(cfg.registrationDir);
  if (!cfg.moduleDir.empty()) hostConfig.moduleDirs = {mgmt::RootPath(cfg.moduleDir)};
  ProviderHost host(hostConfig);
  try {
    host.Start();
  } catch (const Pegasus::Exception& e) {
    syslog(LOG_ERR, "cannot start: %s", mgmt::cimxml::Utf8(e.getMessage()).c_str());
    return 1;
  }

  HostOperations ops(host);
  std::optional<PasswordChecker> passwords;
  if (cfg.enableAuthentication) passwords.emplace(mgmt::RootPath(cfg.passwordFile));
  HandlerOptions hopt;
  hopt.xml.maxDepth = cfg.maxXmlDepth;
  hopt.xml.maxElements = cfg.maxXmlElements;
  hopt.requireAuthentication = cfg.enableAuthentication;
  hopt.realm = cfg.realm;
  CimRequestHandler handler(ops, passwords ? &*passwords : nullptr, hopt);

  ServerOptions sopt;
  sopt.limits.maxBodyBytes = cfg.maxRequestBytes;
  sopt.limits.maxHeaderBytes = cfg.maxHeaderBytes;
  sopt.limits.maxHeaderCount = cfg.maxHeaderCount;
  sopt.idleTimeout = std::chrono::seconds(cfg.idleTimeoutSeconds);
  sopt.requestTimeout = std::chrono::seconds(cfg.requestTimeoutSeconds);
  sopt.maxConnections = cfg.maxConnections;
  HttpServer server(sopt, [&handler](const mgmt::http::Message& req, Peer& peer) {
    return handler.Handle(req, peer);
  });

  std::string error;
  if (cfg.enableHttp) {
    unsigned port = server.ListenTcp(cfg.httpAddress, cfg.httpPort, error);
    if (port == 0) {
      syslog(LOG_ERR, "cannot listen: %s", error.c_str());
      return 1;
    }
    syslog(LOG_INFO, "listening on %s:%u%s", cfg.httpAddress.c_str(), port,
           cfg.enableAuthentication ? "" : " (authentication disabled)");
    if (printPort) std::cout << port << std::endl;
  }
  std::unique_ptr<mgmt::net::TlsContext> tls;
  if (cfg.enableHttps) {
    tls = mgmt::net::TlsContext::Load(mgmt::RootPath(cfg.tlsCertificate),
                                      mgmt::RootPath(cfg.tlsPrivateKey), error);
    unsigned port = tls ? server.ListenTcp(cfg.httpAddress, cfg.httpsPort, error, tls.get()) : 0;
    if (port == 0) {
      syslog(LOG_ERR, "cannot serve HTTPS: %s", error.c_str());
      return 1;
    }
    syslog(LOG_INFO, "listening on %s:%u (HTTPS)", cfg.httpAddress.c_str(), port);
    if (printPort) std::cout << port << std::endl;
  }
  if (cfg.enableLocalSocket) {
    const std::string path = mgmt::RootPath(cfg.localSocket);
    std::optional<gid_t> group;
    if (!cfg.localSocketGroup.empty()) {
      struct group* g = ::getgrnam(cfg.localSocketGroup.c_str());
      if (g == nullptr) {
        syslog(LOG_ERR, "unknown group %s for the local socket", cfg.localSocketGroup.c_str());
        return 1;
      }
      group = g->gr_gid;
    }
    if (!EnsureParentDir(path) || !server.ListenUnix(path, group ? 0660 : 0600, group, error)) {
      syslog(LOG_ERR, "cannot listen on the local socket: %s",
             error.empty() ? path.c_str() : error.c_str());
      return 1;
    }
    syslog(LOG_INFO, "listening on %s", path.c_str());
  }

  std::thread signalThread([&] {
    int sig = 0;
    sigwait(&stopSignals, &sig);
    syslog(LOG_INFO, "signal %d: shutting down", sig);
    server.Stop();
  });
  server.Run();
  // Run() returned because of a signal or a fatal poll error; make sure the signal
  // thread can end either way.
  pthread_kill(signalThread.native_handle(), SIGTERM);
  signalThread.join();
  host.Shutdown();
  syslog(LOG_INFO, "stopped");
  return 0;
}
