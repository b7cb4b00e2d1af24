// The IMB driver interface against a scripted BMC served by an in-process imbd.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "imbapi.h"
#include "support/fake_imb_device.h"

using namespace std::chrono_literals;
using mgmt::test::FakeImbDevice;
using mgmt::test::Reply;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr BYTE kNetFnApp = 0x06;
constexpr BYTE kNetFnStorage = 0x0A;
constexpr BYTE kGetDeviceId = 0x01;
constexpr BYTE kGetSelEntry = 0x43;

int Send(BYTE netFn, BYTE cmd, Bytes data, int timeOut, BYTE* resp, int* len, BYTE* cc) {
  IMBPREQUESTDATA req;
  FillRequest(&req, cmd, 0x20, 0, netFn, 0, data.empty() ? nullptr : data.data(),
              static_cast<int>(data.size()));
  return SendTimedImbpRequest(&req, timeOut, resp, len, cc);
}

}  // namespace

TEST(ImbApi, RequestReachesTheBmcWithItsFieldsAndAThirtySecondFloor) {
  FakeImbDevice device;
  device.Bmc().Always(kNetFnStorage, kGetSelEntry, Reply::Bytes({0x00, 0x05, 0x00, 0x11}));
  BYTE resp[128];
  int len = -1;
  BYTE cc = 0xFF;
  ASSERT_EQ(Send(kNetFnStorage, kGetSelEntry, {0, 0, 4, 0, 0, 0xFF}, 1000, resp, &len, &cc), 0);
  EXPECT_EQ(cc, 0x00);
  ASSERT_EQ(len, 3);
  EXPECT_EQ(Bytes(resp, resp + 3), (Bytes{0x05, 0x00, 0x11}));
  ASSERT_EQ(Send(kNetFnStorage, kGetSelEntry, {}, 45000, resp, &len, &cc), 0);
  ASSERT_EQ(Send(kNetFnStorage, kGetSelEntry, {}, 0, resp, &len, &cc), 0);

  const auto requests = device.Bmc().Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].request.rsSa, 0x20);
  EXPECT_EQ(requests[0].request.netFn, kNetFnStorage);
  EXPECT_EQ(requests[0].request.cmd, kGetSelEntry);
  EXPECT_EQ(requests[0].request.data, (Bytes{0, 0, 4, 0, 0, 0xFF}));
  EXPECT_EQ(requests[0].timeout, 30000ms);  // 1000 ms asked: 30 s waited
  EXPECT_EQ(requests[1].timeout, 45000ms);
  EXPECT_EQ(requests[2].timeout, 30000ms);
}

TEST(ImbApi, CompletionCodesShortRepliesAndOneByteAnswers) {
  FakeImbDevice device;
  auto& bmc = device.Bmc();
  bmc.Expect(kNetFnApp, kGetDeviceId, Bytes{0xC5});
  bmc.Expect(kNetFnApp, kGetDeviceId, Bytes{0xCA, 0x01});
  bmc.Expect(kNetFnApp, kGetDeviceId, Bytes{0x00});
  BYTE resp[128];
  std::memset(resp, 0x5A, sizeof(resp));
  int len = -1;
  BYTE cc = 0;
  ASSERT_EQ(Send(kNetFnApp, kGetDeviceId, {}, 1000, resp, &len, &cc), 0);
  EXPECT_EQ(cc, 0xC5);  // the layer never turns a completion code into an error
  EXPECT_EQ(len, 0);
  ASSERT_EQ(Send(kNetFnApp, kGetDeviceId, {}, 1000, resp, &len, &cc), 0);
  EXPECT_EQ(cc, 0xCA);
  EXPECT_EQ(len, 1);
  resp[0] = 0x5A;
  ASSERT_EQ(Send(kNetFnApp, kGetDeviceId, {}, 1000, resp, &len, &cc), 0);
  EXPECT_EQ(cc, 0x00);
  EXPECT_EQ(len, 0);
  EXPECT_EQ(resp[0], 0x5A);  // a lone completion code leaves the buffer alone
  // No buffer given: the length reads 0 although data came back.
  bmc.Expect(kNetFnApp, kGetDeviceId, Bytes{0x00, 0x20, 0x03});
  len = -1;
  ASSERT_EQ(Send(kNetFnApp, kGetDeviceId, {}, 1000, nullptr, &len, &cc), 0);
  EXPECT_EQ(len, 0);
}

TEST(ImbApi, DoIpmiRequestResults) {
  FakeImbDevice device;
  auto& bmc = device.Bmc();
  bmc.Expect(kNetFnApp, kGetDeviceId, Bytes{0x00, 0x20, 0x03});
  bmc.Expect(kNetFnApp, kGetDeviceId, Bytes{0xC5});
  bmc.Expect(kNetFnApp, kGetDeviceId, Reply::NoReply());
  bmc.Expect(kNetFnApp, kGetDeviceId, Bytes{0x00, 0x20, 0x03});
  IMBPREQUESTDATA req;
  FillRequest(&req, kGetDeviceId, 0x20, 0, kNetFnApp, 0, nullptr, 0);
  EXPECT_EQ(DoIpmiRequest(&req, nullptr, nullptr), 0);
  EXPECT_EQ(DoIpmiRequest(&req, nullptr, nullptr), 0xC5);
  EXPECT_EQ(DoIpmiRequest(&req, nullptr, nullptr), -1);
  BYTE resp[128];
  int len = -1;
  EXPECT_EQ(DoIpmiRequest(&req, resp, &len), 0);
  EXPECT_EQ(len, 2);
  EXPECT_EQ(resp[0], 0x20);
  EXPECT_EQ(device.Bmc().Requests().back().timeout, 30000ms);
}

TEST(ImbApi, RequestsTooLongForTheDriverBufferFailWithoutBeingSent) {
  FakeImbDevice device;
  device.Bmc().Always(kNetFnApp, 0x99, Reply::Bytes({0x00}));
  BYTE resp[128];
  int len = 0;
  BYTE cc = 0;
  EXPECT_EQ(Send(kNetFnApp, 0x99, Bytes(116, 1), 1000, resp, &len, &cc), 1);
  EXPECT_TRUE(device.Bmc().Requests().empty());
  EXPECT_EQ(Send(kNetFnApp, 0x99, Bytes(115, 1), 1000, resp, &len, &cc), 0);
  ASSERT_EQ(device.Bmc().Requests().size(), 1u);
  EXPECT_EQ(device.Bmc().Requests()[0].request.data.size(), 115u);

  IMBPREQUESTDATA req;
  FillRequest(&req, 0x99, 0x20, 0, kNetFnApp, 0, nullptr, 4);  // length without data
  EXPECT_EQ(SendTimedImbpRequest(&req, 1000, resp, &len, &cc), 1);
  FillRequest(&req, 0x99, 0x20, 0, kNetFnApp, 0, nullptr, -1);
  EXPECT_EQ(SendTimedImbpRequest(&req, 1000, resp, &len, &cc), 1);
  EXPECT_EQ(DoIpmiRequest(&req, resp, &len), -1);
}

TEST(ImbApi, MissingDevicePrintsTheOpenFailureAndARetryLaterSucceeds) {
  FakeImbDevice device;
  device.Bmc().Always(kNetFnApp, kGetDeviceId, Reply::Bytes({0x00, 0x20}));
  device.StopServing();
  BYTE resp[128];
  int len = 0;
  BYTE cc = 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(Send(kNetFnApp, kGetDeviceId, {}, 1000, resp, &len, &cc), 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "imbapi open_imb: open(/dev/imb) failed\n: No such file or directory\n");
    EXPECT_EQ(hDevice1, 0);
  }
  device.StartServing();
  EXPECT_EQ(Send(kNetFnApp, kGetDeviceId, {}, 1000, resp, &len, &cc), 0);
  EXPECT_NE(hDevice1, 0);
  EXPECT_EQ(open_imb(), 1);
}

TEST(ImbApi, ManyThreadsShareOneDescriptorAndEachGetsItsOwnAnswer) {
  FakeImbDevice device;
  // Echo: the answer carries the request's data back.
  device.Bmc().SetHandler([](const mgmt::imbd::IpmiRequest& r) -> std::optional<Reply> {
    Bytes answer{0x00};
    answer.insert(answer.end(), r.data.begin(), r.data.end());
    return Reply::Bytes(answer);
  });
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &wrong] {
      for (int i = 0; i < 40; ++i) {
        BYTE resp[128];
        int len = 0;
        BYTE cc = 0xFF;
        const Bytes data{static_cast<uint8_t>(t), static_cast<uint8_t>(i)};
        if (Send(kNetFnApp, 0x50, data, 1000, resp, &len, &cc) != 0 || cc != 0 || len != 2 ||
            Bytes(resp, resp + 2) != data)
          ++wrong;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(ImbApi, ClosingTheDeviceWhileOtherThreadsSendNeverFailsTheirRequests) {
  FakeImbDevice device;
  device.Bmc().Always(kNetFnApp, kGetDeviceId, Reply::Bytes({0x00, 0x20}));
  std::atomic<bool> sending{true};
  // Closes the shared descriptor again and again, as a caller that resets the
  // driver would; every request must find it open or open it afresh.
  std::thread closer([&sending] {
    while (sending) IMBClose();
  });
  std::atomic<int> failed{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&failed] {
      for (int i = 0; i < 1000; ++i) {
        BYTE resp[128];
        int len = 0;
        BYTE cc = 0xFF;
        if (Send(kNetFnApp, kGetDeviceId, {}, 1000, resp, &len, &cc) != 0 || cc != 0) ++failed;
      }
    });
  }
  for (auto& t : threads) t.join();
  sending = false;
  closer.join();
  EXPECT_EQ(failed.load(), 0);
}

TEST(ImbApi, I2cWriteReadAndEmpResponseAreFramedAsSendMessageCommands) {
  FakeImbDevice device;
  auto& bmc = device.Bmc();
  bmc.Expect(kNetFnApp, 0x52, Bytes{0x00, 0xAB, 0xCD});
  bmc.Expect(kNetFnApp, 0x52, Bytes{0x00, 0xAB});
  BYTE toWrite[2] = {0x10, 0x20};
  I2cRequest i2c{0xA0, 0x03, 2, toWrite, 2};
  BYTE resp[64];
  int len = -1;
  BYTE cc = 0xFF;
  ASSERT_EQ(SendTimedI2cRequest(&i2c, 500, resp, &len, &cc), 0);
  EXPECT_EQ(len, 2);
  EXPECT_EQ(Bytes(resp, resp + 2), (Bytes{0xAB, 0xCD}));
  ASSERT_EQ(SendTimedI2cRequest(&i2c, 500, nullptr, &len, &cc), 0);
  EXPECT_EQ(len, 1);  // counted even without a buffer
  auto sent = bmc.Requests();
  EXPECT_EQ(sent[0].request.data, (Bytes{0x03, 0xA0, 2, 0x10, 0x20}));
  EXPECT_EQ(sent[0].timeout, 500ms);  // no 30-second floor here

  // Received IPMB request: rsSA 0x20, netFn 0x30 LUN 1, checksum, rqSA 0x81,
  // seq 0x14 LUN 2, command 0x05.
  BYTE header[6] = {0x20, 0xC1, 0x1F, 0x81, 0x16, 0x05};
  BYTE data[2] = {0x00, 0x42};
  bmc.Expect(kNetFnApp, 0x34, Bytes{0x00});
  bmc.Expect(kNetFnApp, 0x34, Bytes{0x00, 0x00});  // two bytes back: not accepted
  EXPECT_EQ(SendTimedEmpMessageResponse(header, data, 2, 1000), 0);
  EXPECT_EQ(SendTimedEmpMessageResponse(header, data, 2, 1000), 1);
  sent = bmc.Requests();
  const Bytes& emp = sent[2].request.data;
  ASSERT_EQ(emp.size(), 10u);
  EXPECT_EQ(emp[0], 1);     // channel
  EXPECT_EQ(emp[1], 0x81);  // requester
  EXPECT_EQ(emp[2], (0xC0 | 0x02 | 0x04));
  EXPECT_EQ(static_cast<uint8_t>(emp[1] + emp[2] + emp[3]), 0);
  EXPECT_EQ(emp[4], 0x20);
  EXPECT_EQ(emp[5], (0x14 | 0x01));
  EXPECT_EQ(emp[6], 0x05);
  uint8_t sum = 0;
  for (size_t i = 4; i < emp.size(); ++i) sum = static_cast<uint8_t>(sum + emp[i]);
  EXPECT_EQ(sum, 0);
}

TEST(ImbApi, AsynchronousOperationsAndNotificationHandles) {
  FakeImbDevice device;
  device.Bmc().Always(kNetFnApp, 0x30, Reply::Bytes({0x00}));
  IMBPREQUESTDATA req;
  FillRequest(&req, 0x30, 0x20, 0, kNetFnApp, 0, nullptr, 0);
  BYTE seq = 0;
  EXPECT_EQ(SendAsyncImbpRequest(&req, &seq), 0);
  EXPECT_NE(seq, 0);

  BYTE msg[64];
  DWORD msgLen = sizeof(msg);
  DWORD lastSeq = 0;
  EXPECT_EQ(GetAsyncImbpMessage(msg, &msgLen, 100, &lastSeq, 0), 3);
  EXPECT_EQ(NTstatus, IMB_STATUS_NO_ASYNC_MSG);
  EXPECT_EQ(GetAsyncImbpMessage(nullptr, &msgLen, 100, &lastSeq, 0), 1);

  DWORD handle = 0;
  ASSERT_EQ(RegisterForImbAsyncMessageNotification(&handle), 0);
  EXPECT_NE(handle, 0u);
  EXPECT_EQ(AsyncEventHandle, handle);
  DWORD another = 0;
  EXPECT_EQ(RegisterForImbAsyncMessageNotification(&another), 1);  // one at a time
  EXPECT_EQ(IsAsyncMessageAvailable(handle + 1), 1);
  EXPECT_EQ(IsAsyncMessageAvailable(handle), 0);
  EXPECT_EQ(UnRegisterForImbAsyncMessageNotification(handle + 1), 1);
  EXPECT_EQ(UnRegisterForImbAsyncMessageNotification(handle), 0);
  EXPECT_EQ(AsyncEventHandle, 0u);
  EXPECT_EQ(RegisterForImbAsyncMessageNotification(&another), 0);  // possible again
  EXPECT_EQ(UnRegisterForImbAsyncMessageNotification(another), 0);

  EXPECT_EQ(StartAsyncMesgPoll(), 0);
  EXPECT_EQ(SetShutDownCode(60, 2), 0);
  EXPECT_EQ(device.Service().ShutdownCode(), 2u);
  EXPECT_EQ(device.Service().ShutdownDelay(), 60u);
}

TEST(ImbApi, PhysicalMemoryMapsFromACharacterDeviceButNotOverTheSocket) {
  FakeImbDevice device;
  uintptr_t address = 0;
  EXPECT_EQ(MapPhysicalMemory(0, 16, &address), 1);
  EXPECT_EQ(MapPhysicalMemory(0x1000, 0, &address), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(MapPhysicalMemory(0xF0010, 16, &address), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "imbapi MapPhysicalMemory: mmap failed\n: No such device\n");

  // A plain file in the device's place is mapped with the real system call: the
  // in-page offset must land on the requested bytes.
  device.StopServing();
  {
    std::ofstream memory(device.Root() + "/dev/imb", std::ios::binary);
    std::string page(8192, '\0');
    std::memcpy(&page[4096 + 0x10], "SMBIOS!", 7);
    memory << page;
  }
  ASSERT_EQ(MapPhysicalMemory(0x1010, 7, &address), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(address), 7), "SMBIOS!");
  EXPECT_EQ(UnmapPhysicalMemory(address, 7), 0);
  std::filesystem::remove(device.Root() + "/dev/imb");
  testing::internal::CaptureStderr();
  EXPECT_EQ(MapPhysicalMemory(0x1010, 7, &address), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "imbapi MapPhysicalMemory: open(/dev/imb) failed\n: No such file or directory\n");
}
