// imbd: the user-space IMB driver. Serves the IMB ioctl protocol on a Unix socket
// at the /dev/imb path and passes IPMI requests to a BMC simulator or to the Linux
// IPMI driver. Runs in the foreground; SIGTERM or SIGINT stop it cleanly.
#include <syslog.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "backend.h"
#include "imbservice.h"
#include "installroot.h"
#include "log.h"
#include "server.h"

namespace {

constexpr const char* kUsage =
    "usage: imbd [--socket PATH] --backend SPEC\n"
    "  --socket PATH   where to serve (default: /dev/imb under MGMTAGENT_ROOT)\n"
    "  --backend SPEC  vm:HOST:PORT      BMC simulator (ipmi_sim, QEMU) over TCP\n"
    "                  openipmi:DEVICE   Linux IPMI driver, e.g. openipmi:/dev/ipmi0\n";

}  // namespace

int main(int argc, char** argv) {
  std::string socketPath;
  std::string backendSpec;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--socket" || arg == "--backend") && i + 1 < argc) {
      (arg == "--socket" ? socketPath : backendSpec) = argv[++i];
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      std::fprintf(stderr, "imbd: unexpected argument %s\n%s", arg.c_str(), kUsage);
      return 2;
    }
  }
  if (backendSpec.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (socketPath.empty()) socketPath = mgmt::RootPath("/dev/imb");

  openlog("imbd", LOG_PID, LOG_DAEMON);
  mgmt::imbd::SetLogSinks(true, true);

  // Signals are taken synchronously by the main thread; every other thread
  // inherits the blocked mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  std::string error;
  auto backend = mgmt::imbd::MakeBackend(backendSpec, error);
  if (!backend) {
    mgmt::imbd::Log(LOG_ERR, "%s", error.c_str());
    return 1;
  }
  mgmt::imbd::ImbService service(*backend);
  mgmt::imbd::Server server(service, socketPath);
  if (!server.Start(error)) {
    mgmt::imbd::Log(LOG_ERR, "%s", error.c_str());
    return 1;
  }
  mgmt::imbd::Log(LOG_INFO, "serving %s with backend %s", socketPath.c_str(), backendSpec.c_str());

  int signal = 0;
  while (sigwait(&stopSignals, &signal) != 0) {
  }
  mgmt::imbd::Log(LOG_INFO, "signal %d: stopping", signal);
  backend->Shutdown();  // requests still waiting for the BMC end now
  server.Stop();
  backend.reset();
  closelog();
  return 0;
}
