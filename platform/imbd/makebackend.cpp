// Backend selection from imbd's --backend argument.
#include <cerrno>
#include <cstring>

#include "backend.h"
#include "installroot.h"
#include "openipmibackend.h"
#include "vmbackend.h"

namespace mgmt::imbd {

std::unique_ptr<Backend> MakeBackend(std::string_view spec, std::string& error) {
  if (spec.starts_with("vm:")) {
    const std::string_view rest = spec.substr(3);
    const size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == rest.size()) {
      error = "expected vm:HOST:PORT";
      return nullptr;
    }
    VmBackend::Options options;
    options.host = std::string(rest.substr(0, colon));
    if (options.host.size() > 2 && options.host.front() == '[' && options.host.back() == ']')
      options.host = options.host.substr(1, options.host.size() - 2);
    options.port = std::string(rest.substr(colon + 1));
    if (options.port.find_first_not_of("0123456789") != std::string::npos ||
        options.port.size() > 5 || std::stoul(options.port) == 0 ||
        std::stoul(options.port) > 65535) {
      error = "bad port in " + std::string(spec);
      return nullptr;
    }
    return std::make_unique<VmBackend>(std::move(options));
  }
  if (spec.starts_with("openipmi:")) {
    const std::string path(spec.substr(9));
    if (path.empty()) {
      error = "expected openipmi:DEVICE";
      return nullptr;
    }
    auto device = OpenIpmiDevice(path);
    if (!device) {
      error = "cannot open " + RootPath(path) + ": " + std::strerror(errno);
      return nullptr;
    }
    return std::make_unique<OpenIpmiBackend>(std::move(device));
  }
  error = "unknown backend " + std::string(spec) + " (expected vm:HOST:PORT or openipmi:DEVICE)";
  return nullptr;
}

}  // namespace mgmt::imbd
