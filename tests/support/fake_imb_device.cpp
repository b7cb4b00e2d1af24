#include "support/fake_imb_device.h"

#include <filesystem>
#include <stdexcept>

#include "imbapi.h"
#include "log.h"

namespace mgmt::test {

FakeImbDevice::FakeImbDevice()
    : dir_("imbfake"), root_(dir_.Path().string()), scopedRoot_("MGMTAGENT_ROOT", root_) {
  std::filesystem::create_directories(dir_ / "dev");
  imbd::SetLogSinks(false, false);
  service_ = std::make_unique<imbd::ImbService>(bmc_);
  IMBClose();
  StartServing();
}

FakeImbDevice::~FakeImbDevice() {
  IMBClose();
  StopServing();
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

}  // namespace mgmt::test
