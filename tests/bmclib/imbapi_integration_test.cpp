// The IMB driver interface through imbd to the real BMC simulator (ipmi_sim),
// started once for this program with the profile in etc/bmcsim.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "base/connect.h"
#include "base/fdio.h"
#include "devframe.h"
#include "imbapi.h"
#include "sockdev.h"
#include "support/process.h"
#include "support/sim_bmc.h"

using namespace std::chrono_literals;
using mgmt::test::SimulatedBmc;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr BYTE kNetFnApp = 0x06;
constexpr BYTE kNetFnStorage = 0x0A;

struct Answer {
  int rc = 1;
  BYTE cc = 0xFF;
  Bytes data;
};

Answer Send(BYTE netFn, BYTE cmd, Bytes data = {}) {
  IMBPREQUESTDATA req;
  FillRequest(&req, cmd, 0x20, 0, netFn, 0, data.empty() ? nullptr : data.data(),
              static_cast<int>(data.size()));
  BYTE resp[IMB_SEND_BUFFER_SIZE];
  int len = 0;
  Answer a;
  a.rc = SendTimedImbpRequest(&req, 1000, resp, &len, &a.cc);
  if (a.rc == 0) a.data.assign(resp, resp + len);
  return a;
}

Answer GetDeviceId() { return Send(kNetFnApp, 0x01); }

Answer GetSelEntry(int recordId) {
  return Send(kNetFnStorage, 0x43,
              {0, 0, static_cast<uint8_t>(recordId), static_cast<uint8_t>(recordId >> 8), 0, 0xFF});
}

// The profile's Get Device ID answer.
const Bytes kDeviceId{0x20, 0x03, 0x01, 0x25, 0x02, 0x9F, 0x91, 0x12, 0x00, 0x02, 0x0F};

bool IsProfileDeviceId(const Answer& a) {
  return a.rc == 0 && a.cc == 0 && a.data.size() >= kDeviceId.size() &&
         Bytes(a.data.begin(), a.data.begin() + static_cast<long>(kDeviceId.size())) == kDeviceId;
}

class ImbApiWithSimulator : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sim_ = std::make_unique<SimulatedBmc>(IMBD_PATH);
    ::setenv("MGMTAGENT_ROOT", sim_->Root().c_str(), 1);
  }
  static void TearDownTestSuite() {
    IMBClose();
    sim_.reset();
  }
  void SetUp() override { IMBClose(); }

  static std::unique_ptr<SimulatedBmc> sim_;
};

std::unique_ptr<SimulatedBmc> ImbApiWithSimulator::sim_;

}  // namespace

TEST_F(ImbApiWithSimulator, GetDeviceIdReturnsTheProfilesValues) {
  const Answer a = GetDeviceId();
  ASSERT_EQ(a.rc, 0);
  EXPECT_EQ(a.cc, 0x00);
  EXPECT_TRUE(IsProfileDeviceId(a));
}

TEST_F(ImbApiWithSimulator, ProfileHoldsLanAndPefParameters) {
  // Get LAN Configuration Parameters, channel 1: IP address, MAC address.
  Answer ip = Send(0x0C, 0x02, {0x01, 0x03, 0x00, 0x00});
  ASSERT_EQ(ip.rc, 0);
  EXPECT_EQ(ip.cc, 0x00);
  EXPECT_EQ(ip.data, (Bytes{0x11, 192, 0, 2, 10}));
  Answer mac = Send(0x0C, 0x02, {0x01, 0x05, 0x00, 0x00});
  EXPECT_EQ(mac.data, (Bytes{0x11, 0x02, 0x00, 0x00, 0x00, 0x00, 0x20}));
  // Get PEF Configuration Parameters: PEF enabled; alert policy 1.
  Answer control = Send(0x04, 0x13, {0x01, 0x00, 0x00});
  EXPECT_EQ(control.data, (Bytes{0x11, 0x01}));
  Answer policy = Send(0x04, 0x13, {0x09, 0x01, 0x00});
  EXPECT_EQ(policy.data, (Bytes{0x11, 0x01, 0x18, 0x11, 0x00}));
}

TEST_F(ImbApiWithSimulator, GetSelEntryReturnsAnEventAddedWithSelAdd) {
  const Bytes event{0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0x04, 0x01, 0x02, 0x01, 0x57, 0x40, 0x3C};
  const int id = sim_->AddSelEvent(event);
  ASSERT_GT(id, 0);
  const Answer a = GetSelEntry(id);
  ASSERT_EQ(a.rc, 0);
  ASSERT_EQ(a.cc, 0x00);
  ASSERT_EQ(a.data.size(), 18u);  // next record id and the 16-byte record
  EXPECT_EQ(a.data[2] | a.data[3] << 8, id);
  EXPECT_EQ(a.data[4], 0x02);
  // Generator, EvM revision, sensor, event type and data as added (the BMC
  // stamps its own time).
  EXPECT_EQ(Bytes(a.data.begin() + 9, a.data.end()), Bytes(event.begin() + 4, event.end()));

  // ipmitool over the simulator's LAN port sees the same record.
  const auto listed = mgmt::test::RunProgram({"ipmitool", "-I", "lanplus", "-C", "3", "-H",
                                              "127.0.0.1", "-p", std::to_string(sim_->LanPort()),
                                              "-U", "admin", "-P", "password", "sel", "list"});
  EXPECT_EQ(listed.status, 0) << listed.err;
  const std::string& out = listed.out;
  char idText[16];
  std::snprintf(idText, sizeof(idText), "%4x |", id);
  EXPECT_NE(out.find(idText), std::string::npos) << out;
}

TEST_F(ImbApiWithSimulator, ThreadsAndProcessesAtOnceEachGetTheirOwnAnswers) {
  ASSERT_TRUE(IsProfileDeviceId(GetDeviceId()));  // the parent's descriptor is open
  const Answer first = GetSelEntry(1);
  ASSERT_EQ(first.rc, 0);

  auto loop = [first](int rounds) {
    int wrong = 0;
    for (int i = 0; i < rounds; ++i) {
      if (!IsProfileDeviceId(GetDeviceId())) ++wrong;
      const Answer sel = GetSelEntry(1);
      if (sel.rc != 0 || sel.data != first.data) ++wrong;
    }
    return wrong;
  };
  std::vector<pid_t> children;
  for (int p = 0; p < 2; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(loop(40) == 0 ? 0 : 1);  // uses the inherited descriptor
    children.push_back(pid);
  }
  std::atomic<int> wrong{0};
  std::thread a([&] { wrong += loop(40); });
  std::thread b([&] { wrong += loop(40); });
  a.join();
  b.join();
  EXPECT_EQ(wrong.load(), 0);
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child failed";
  }
}

TEST_F(ImbApiWithSimulator, AClientKilledMidRequestDoesNotDisturbTheOthers) {
  // One child sends a request and dies before reading the answer; another is
  // killed while it loops over requests.
  const pid_t quitter = ::fork();
  ASSERT_GE(quitter, 0);
  if (quitter == 0) {
    const int fd =
        mgmt::base::ConnectUnix(sim_->Root() + "/dev/imb", std::chrono::seconds(5)).Release();
    Bytes frame(mgmt::dev::kHeaderSize + 128, 0);
    const auto head = mgmt::dev::EncodeRequest({IMB_IOCTL_SEND_MESSAGE, 128, 128});
    std::memcpy(frame.data(), head.data(), head.size());
    frame[mgmt::dev::kHeaderSize + 8] = 0x20;
    frame[mgmt::dev::kHeaderSize + 9] = 0x01;
    frame[mgmt::dev::kHeaderSize + 10] = kNetFnApp;
    mgmt::base::WriteFull(fd, frame);
    ::raise(SIGKILL);
  }
  const pid_t looper = ::fork();
  ASSERT_GE(looper, 0);
  if (looper == 0) {
    IMBClose();
    while (true) GetDeviceId();
  }
  int wrong = 0;
  for (int i = 0; i < 60; ++i) {
    if (i == 20) ::kill(looper, SIGKILL);
    if (!IsProfileDeviceId(GetDeviceId())) ++wrong;
  }
  EXPECT_EQ(wrong, 0);
  int status = 0;
  ::waitpid(quitter, &status, 0);
  ::waitpid(looper, &status, 0);
  EXPECT_TRUE(IsProfileDeviceId(GetDeviceId()));
}

TEST_F(ImbApiWithSimulator, RequestsFailWhileTheSimulatorIsDownAndSucceedAfterItRestarts) {
  ASSERT_TRUE(IsProfileDeviceId(GetDeviceId()));
  ASSERT_TRUE(sim_->StopSimulator());
  // imbd sees the connection end and refuses requests at once.
  Answer down;
  for (int i = 0; i < 100; ++i) {
    down = GetDeviceId();
    if (down.rc != 0) break;
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_EQ(down.rc, 1);
  EXPECT_EQ(NTstatus, IMB_STATUS_DEVICE_NOT_CONNECTED);

  ASSERT_TRUE(sim_->StartSimulator());
  bool back = false;
  for (int i = 0; i < 200 && !back; ++i) {
    back = IsProfileDeviceId(GetDeviceId());
    if (!back) std::this_thread::sleep_for(50ms);
  }
  EXPECT_TRUE(back);
}

TEST_F(ImbApiWithSimulator, WithoutTheSocketTheOpenFailureIsPrintedUntilImbdIsUp) {
  ASSERT_TRUE(sim_->StopImbd());
  IMBClose();
  testing::internal::CaptureStderr();
  const Answer a = GetDeviceId();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(a.rc, 1);
  EXPECT_EQ(err, "imbapi open_imb: open(/dev/imb) failed\n: No such file or directory\n");
  ASSERT_TRUE(sim_->StartImbd());
  bool up = false;
  for (int i = 0; i < 200 && !up; ++i) {
    testing::internal::CaptureStderr();
    up = IsProfileDeviceId(GetDeviceId());
    testing::internal::GetCapturedStderr();
    if (!up) std::this_thread::sleep_for(50ms);
  }
  EXPECT_TRUE(up);
}
