// A scripted BMC served at /dev/imb of a temporary installation root by an
// in-process imbd, so the IMB library and everything above it run unchanged.
#ifndef MGMT_TESTS_SUPPORT_FAKE_IMB_DEVICE_H
#define MGMT_TESTS_SUPPORT_FAKE_IMB_DEVICE_H

#include <memory>
#include <string>

#include "imbservice.h"
#include "server.h"
#include "support/scripted_bmc.h"
#include "support/temp_dir.h"

namespace mgmt::test {

/// While it lives, MGMTAGENT_ROOT names a temporary root whose /dev/imb is served
/// by the scripted BMC. Construction and destruction close the IMB library's
/// descriptor, so each test opens the device afresh. One at a time per process.
class FakeImbDevice {
 public:
  FakeImbDevice();
  ~FakeImbDevice();
  FakeImbDevice(const FakeImbDevice&) = delete;
  FakeImbDevice& operator=(const FakeImbDevice&) = delete;

  ScriptedBmc& Bmc() { return bmc_; }
  imbd::ImbService& Service() { return *service_; }
  const std::string& Root() const { return root_; }
  std::string SocketPath() const { return root_ + "/dev/imb"; }

  /// Stops serving (the socket disappears) or serves again.
  void StopServing();
  void StartServing();

 private:
  TempDir dir_;
  std::string root_;
  ScopedEnv scopedRoot_;
  ScriptedBmc bmc_;
  std::unique_ptr<imbd::ImbService> service_;
  std::unique_ptr<imbd::Server> server_;
};

}  // namespace mgmt::test

#endif
