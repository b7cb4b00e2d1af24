#include "fakeimbdevice.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "imbapi.h"
#include "log.h"

namespace mgmt::fake {

FakeImbDevice::FakeImbDevice() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/imbfake.XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  std::filesystem::create_directories(root_ + "/dev");
  if (const char* old = std::getenv("MGMTAGENT_ROOT")) savedRoot_ = old;
  ::setenv("MGMTAGENT_ROOT", root_.c_str(), 1);
  imbd::SetLogSinks(false, false);
  service_ = std::make_unique<imbd::ImbService>(bmc_);
  IMBClose();
  StartServing();
}

FakeImbDevice::~FakeImbDevice() {
  IMBClose();
  StopServing();
  if (savedRoot_) {
    ::setenv("MGMTAGENT_ROOT", savedRoot_->c_str(), 1);
  } else {
    ::unsetenv("MGMTAGENT_ROOT");
  }
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

void FakeImbDevice::StopServing() {
  if (server_) server_->Stop();
  server_.reset();
}

void FakeImbDevice::StartServing() {
  if (server_) return;
  server_ = std::make_unique<imbd::Server>(*service_, SocketPath());
  std::string error;
  if (!server_->Start(error)) throw std::runtime_error(error);
}

}  // namespace mgmt::fake
