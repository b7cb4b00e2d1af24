// The IMB ioctl semantics imbd implements, fed raw (and broken) request buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "imbioctl.h"
#include "imbservice.h"
#include "support/scripted_bmc.h"

using mgmt::imbd::ImbService;
using mgmt::test::Reply;
using mgmt::test::ScriptedBmc;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes SendBuffer(uint32_t flags, uint32_t timeoutUs, uint8_t netFn, uint8_t cmd, Bytes data,
                 size_t total = 128) {
  Bytes b(std::max(total, 13 + data.size()), 0);
  b[0] = static_cast<uint8_t>(flags);
  for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<uint8_t>(timeoutUs >> (8 * i));
  b[8] = 0x20;
  b[9] = cmd;
  b[10] = netFn;
  b[12] = static_cast<uint8_t>(data.size());
  std::copy(data.begin(), data.end(), b.begin() + 13);
  return b;
}

class ImbServiceTest : public ::testing::Test {
 protected:
  ScriptedBmc bmc;
  ImbService service{bmc};
};

}  // namespace

TEST_F(ImbServiceTest, SendMessagePassesTheRequestAndTimeOutAndReturnsTheAnswer) {
  bmc.Expect(0x0A, 0x43, Bytes{0x00, 0x02, 0x00, 0xAB});
  const auto result =
      service.Call(IMB_IOCTL_SEND_MESSAGE, SendBuffer(0, 45'000'000, 0x0A, 0x43, {1, 2, 3}), 128);
  EXPECT_EQ(result.error, 0u);
  EXPECT_EQ(result.status, IMB_STATUS_SUCCESS);
  EXPECT_EQ(result.output, (Bytes{0x00, 0x02, 0x00, 0xAB}));
  const auto requests = bmc.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].request.rsSa, 0x20);
  EXPECT_EQ(requests[0].request.data, (Bytes{1, 2, 3}));
  EXPECT_EQ(requests[0].timeout, std::chrono::milliseconds(45'000));
}

TEST_F(ImbServiceTest, FailuresCarryErrnoAndStatus) {
  bmc.Expect(0x06, 0x01, Reply::NoReply());
  bmc.Expect(0x06, 0x01, Reply::Unreachable());
  bmc.Expect(0x06, 0x01, Bytes(130, 0x00));  // longer than the caller's buffer
  const Bytes req = SendBuffer(0, 30'000'000, 0x06, 0x01, {});
  auto r = service.Call(IMB_IOCTL_SEND_MESSAGE, req, 128);
  EXPECT_EQ(r.error, static_cast<uint32_t>(ETIMEDOUT));
  EXPECT_EQ(r.status, IMB_STATUS_IO_TIMEOUT);
  r = service.Call(IMB_IOCTL_SEND_MESSAGE, req, 128);
  EXPECT_EQ(r.error, static_cast<uint32_t>(ENXIO));
  EXPECT_EQ(r.status, IMB_STATUS_DEVICE_NOT_CONNECTED);
  r = service.Call(IMB_IOCTL_SEND_MESSAGE, req, 128);
  EXPECT_EQ(r.error, static_cast<uint32_t>(EOVERFLOW));
  EXPECT_TRUE(r.output.empty());
}

TEST_F(ImbServiceTest, TruncatedOrInconsistentRequestsNeverReachTheBmc) {
  const Bytes good = SendBuffer(0, 30'000'000, 0x06, 0x01, {9, 9, 9}, 16);
  for (size_t cut = 0; cut < good.size(); ++cut) {
    const auto r = service.Call(IMB_IOCTL_SEND_MESSAGE, std::span(good).first(cut), 128);
    EXPECT_EQ(r.error, static_cast<uint32_t>(EINVAL)) << "cut " << cut;
  }
  Bytes badNetFn = good;
  badNetFn[10] = 0x40;
  EXPECT_EQ(service.Call(IMB_IOCTL_SEND_MESSAGE, badNetFn, 128).error,
            static_cast<uint32_t>(EINVAL));
  Bytes badLun = good;
  badLun[11] = 4;
  EXPECT_EQ(service.Call(IMB_IOCTL_SEND_MESSAGE, badLun, 128).error, static_cast<uint32_t>(EINVAL));
  EXPECT_TRUE(bmc.Requests().empty());
  EXPECT_EQ(service.Call(IMB_IOCTL_SEND_MESSAGE, good, 128).error, 0u);  // 0xC1 answer
}

TEST_F(ImbServiceTest, AsynchronousAndNotificationCodes) {
  bmc.Expect(0x06, 0x01, Bytes{0x00, 0x20});
  auto r = service.Call(IMB_IOCTL_SEND_MESSAGE, SendBuffer(1, 0, 0x06, 0x01, {}, 67), 67);
  EXPECT_EQ(r.error, 0u);
  ASSERT_EQ(r.output.size(), 2u);
  EXPECT_EQ(r.output[0], 0x00);

  const Bytes fetch(8, 0);
  r = service.Call(IMB_IOCTL_GET_ASYNC_MSG, fetch, 70);
  EXPECT_EQ(r.error, static_cast<uint32_t>(EAGAIN));
  EXPECT_EQ(r.status, IMB_STATUS_NO_ASYNC_MSG);
  EXPECT_EQ(service.Call(IMB_IOCTL_GET_ASYNC_MSG, Bytes(4, 0), 70).status,
            IMB_STATUS_INVALID_PARAMETER);

  const auto first = service.Call(IMB_IOCTL_REGISTER_ASYNC, Bytes(4, 0), 4);
  const auto second = service.Call(IMB_IOCTL_REGISTER_ASYNC, Bytes(4, 0), 4);
  ASSERT_EQ(first.output.size(), 4u);
  EXPECT_NE(first.output, Bytes(4, 0));
  EXPECT_NE(first.output, second.output);
  EXPECT_EQ(service.Call(IMB_IOCTL_ASYNC_AVAILABLE, first.output, 4).error, 0u);
  EXPECT_EQ(service.Call(IMB_IOCTL_UNREGISTER_ASYNC, first.output, 4).error, 0u);
  EXPECT_EQ(service.Call(IMB_IOCTL_START_ASYNC_POLL, {}, 0).error, 0u);

  EXPECT_EQ(service.Call(IMB_IOCTL_SHUTDOWN_CODE, Bytes{7, 0, 0, 0, 30, 0, 0, 0}, 0).error, 0u);
  EXPECT_EQ(service.ShutdownCode(), 7u);
  EXPECT_EQ(service.ShutdownDelay(), 30u);

  r = service.Call(0x1234, {}, 0);
  EXPECT_EQ(r.error, static_cast<uint32_t>(EINVAL));
  EXPECT_EQ(r.status, IMB_STATUS_NOT_SUPPORTED);
}
