#include "support/cim_server.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace mgmt::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Links each file (or every file of each folder) into `dir`.
void Stage(const std::vector<fs::path>& sources, const fs::path& dir) {
  fs::create_directories(dir);
  for (const auto& source : sources) {
    if (fs::is_directory(source)) {
      for (const auto& entry : fs::directory_iterator(source)) {
        if (entry.is_regular_file())
          fs::create_symlink(entry.path(), dir / entry.path().filename());
      }
    } else if (fs::exists(source)) {
      fs::create_symlink(source, dir / source.filename());
    } else {
      throw std::runtime_error("nothing to stage at " + source.string());
    }
  }
}

unsigned ParsePort(const std::optional<std::string>& line) {
  if (!line || line->empty()) return 0;
  try {
    return static_cast<unsigned>(std::stoul(*line));
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace

CimServer::CimServer(CimServerOptions options) : options_(std::move(options)), root_("cimserver") {
  if (options_.classes.empty()) options_.classes.push_back(SourcePath("mof/classes"));
  Stage(options_.classes, root_ / "classes");
  Stage(options_.registrations, root_ / "registrations");
  Stage(options_.modules, root_ / "modules");
  fs::create_directories(Scratch());
  for (const auto& [name, target] : options_.links) {
    const fs::path link = root_ / name;
    fs::create_directories(link.parent_path());
    fs::create_symlink(target, link);
  }

  std::vector<std::string> argv = {MGMT_TESTSUPPORT_CIMSERVER,
                                   "--classes",
                                   ServerPath("classes"),
                                   "--registrations",
                                   ServerPath("registrations"),
                                   "--modules",
                                   ServerPath("modules"),
                                   "--address",
                                   "127.0.0.1",
                                   "--port",
                                   "0",
                                   "--print-port"};
  auto set = [&argv](const std::string& setting) {
    argv.push_back("--set");
    argv.push_back(setting);
  };
  if (options_.user.empty()) {
    set("enableAuthentication=false");
  } else {
    const fs::path passwd = PasswordFile();
    RunOptions add;
    add.input = options_.password + "\n";
    add.env.changes = {"MGMTAGENT_ROOT"};
    const RunResult added = RunProgram(
        {MGMT_TESTSUPPORT_CIMUSER, "--file", passwd.string(), "add", options_.user}, add);
    if (!added.Ok()) throw std::runtime_error("cimuser add failed: " + added.out + added.err);
    set("enableAuthentication=true");
    set("passwordFile=" + ServerPath("cimserver.passwd"));
  }
  if (options_.https) {
    const RunResult cert =
        RunProgram({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=127.0.0.1", "-keyout", (root_ / "key.pem").string(), "-out",
                    (root_ / "cert.pem").string()});
    if (!cert.Ok()) throw std::runtime_error("openssl could not make a certificate: " + cert.err);
    set("enableHttps=true");
    set("httpsPort=0");
    set("tlsCertificate=" + ServerPath("cert.pem"));
    set("tlsPrivateKey=" + ServerPath("key.pem"));
  }
  if (options_.localSocket) {
    fs::create_directories(LocalSocket().parent_path());
    set("enableLocalSocket=true");
    set("localSocket=" + ServerPath("run/mgmtagent/cimxml.socket"));
  } else {
    set("enableLocalSocket=false");
  }
  for (const auto& setting : options_.settings) set(setting);

  SpawnOptions spawn;
  spawn.out = Output::Pipe();
  spawn.err = Output::File(root_ / "cimserver.log");
  spawn.env.changes = {options_.serveFromRoot ? "MGMTAGENT_ROOT=" + root_.Path().string()
                                              : "MGMTAGENT_ROOT"};
  process_ = std::make_unique<ChildProcess>(argv, spawn);
  port_ = ParsePort(process_->ReadLine(30s));
  if (port_ != 0 && options_.https) httpsPort_ = ParsePort(process_->ReadLine(10s));
  if (port_ == 0 || (options_.https && httpsPort_ == 0)) {
    process_->Stop();
    throw std::runtime_error("cimserver did not start: " + Log());
  }
  // The local socket is bound after the ports are printed.
  if (options_.localSocket) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!fs::exists(LocalSocket()) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(10ms);
    }
    if (!fs::exists(LocalSocket())) {
      process_->Stop();
      throw std::runtime_error("cimserver made no local socket: " + Log());
    }
  }
}

CimServer::~CimServer() { Stop(); }

int CimServer::Stop() { return process_ ? process_->Stop() : -1; }

std::string CimServer::ServerPath(const std::string& inRoot) const {
  return options_.serveFromRoot ? "/" + inRoot : (root_ / inRoot).string();
}

std::string CimServer::Credentials() const {
  return options_.user.empty() ? "" : options_.user + ":" + options_.password;
}

std::string CimServer::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

std::string CimServer::Url() const { return Url(Credentials()); }

std::string CimServer::Url(const std::string& credentials) const {
  return "http://" + (credentials.empty() ? "" : credentials + "@") + HostPort() + "/root/cimv2";
}

std::string CimServer::HttpsUrl() const { return HttpsUrl(Credentials()); }

std::string CimServer::HttpsUrl(const std::string& credentials) const {
  return "https://" + (credentials.empty() ? "" : credentials + "@") +
         "127.0.0.1:" + std::to_string(httpsPort_) + "/root/cimv2";
}

}  // namespace mgmt::test
