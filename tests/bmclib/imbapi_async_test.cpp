// GetAsyncImbpMessage against a driver that does queue asynchronous messages
// (imbd never does): a raw responder on the /dev/imb socket answers each fetch
// from a script.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <thread>

#include "base/fdio.h"
#include "devframe.h"
#include "imbapi.h"
#include "support/temp_dir.h"

using Bytes = std::vector<uint8_t>;

namespace {

struct Canned {
  uint32_t error = 0;
  uint32_t status = 0;
  Bytes output;
};

// Answers each exchange with the next canned reply and records the inputs.
class RawResponder {
 public:
  explicit RawResponder(std::deque<Canned> script) : script_(std::move(script)) {
    std::filesystem::create_directories(root_ / "dev");
    listen_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", (root_ / "dev/imb").c_str());
    ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    ::listen(listen_, 4);
    thread_ = std::thread([this] { Run(); });
    IMBClose();
  }
  ~RawResponder() {
    IMBClose();
    ::shutdown(listen_, SHUT_RDWR);
    thread_.join();
    ::close(listen_);
  }
  std::vector<Bytes> Inputs() const { return inputs_; }

 private:
  void Run() {
    const int fd = ::accept(listen_, nullptr, nullptr);
    if (fd < 0) return;
    while (true) {
      mgmt::dev::HeaderBytes head{};
      if (mgmt::base::ReadFull(fd, head) != 0) break;
      const auto request = mgmt::dev::DecodeRequest(head);
      if (!request) break;
      Bytes input(request->inLength);
      if (mgmt::base::ReadFull(fd, input) != 0) break;
      inputs_.push_back(input);
      Canned reply = script_.empty() ? Canned{11, IMB_STATUS_NO_ASYNC_MSG, {}} : script_.front();
      if (!script_.empty()) script_.pop_front();
      const auto out = mgmt::dev::EncodeReply(
          {reply.error, reply.status, static_cast<uint32_t>(reply.output.size())});
      Bytes frame(out.begin(), out.end());
      frame.insert(frame.end(), reply.output.begin(), reply.output.end());
      if (mgmt::base::WriteFull(fd, frame) != 0) break;
    }
    ::close(fd);
  }

  mgmt::test::TempRoot root_{"imbraw"};  // the installation root while it lives
  int listen_ = -1;
  std::deque<Canned> script_;
  std::vector<Bytes> inputs_;
  std::thread thread_;
};

Canned Message(uint32_t seq, uint8_t channel, Bytes body) {
  Bytes out{static_cast<uint8_t>(seq), static_cast<uint8_t>(seq >> 8), 0, 0, channel};
  out.insert(out.end(), body.begin(), body.end());
  return {0, 0, out};
}

}  // namespace

TEST(ImbApiAsync, MessagesOfOtherChannelsArePassedOverAndTheRightOneIsCopied) {
  std::deque<Canned> script{Message(7, 2, {0xEE}), Message(8, 1, {0x11, 0x22, 0x33})};
  BYTE msg[16];
  DWORD len = sizeof(msg);
  DWORD seq = 5;
  {
    RawResponder driver(script);
    ASSERT_EQ(GetAsyncImbpMessage(msg, &len, 250, &seq, 1), 0);
    EXPECT_EQ(len, 3u);
    EXPECT_EQ(Bytes(msg, msg + 3), (Bytes{0x11, 0x22, 0x33}));
    EXPECT_EQ(seq, 8u);
    const auto inputs = driver.Inputs();
    ASSERT_EQ(inputs.size(), 2u);
    // time-out 250 ms in microseconds, then the last sequence number
    EXPECT_EQ(inputs[0], (Bytes{0x90, 0xD0, 0x03, 0x00, 5, 0, 0, 0}));
    EXPECT_EQ(inputs[1][4], 7);  // the passed-over message's number
  }
}

TEST(ImbApiAsync, NoMessageShortAnswersAndTooSmallBuffers) {
  BYTE msg[4];
  DWORD seq = 0;
  DWORD len = sizeof(msg);
  {
    RawResponder driver({{11, IMB_STATUS_NO_ASYNC_MSG, {}}, {5, 0xC0000001u, {}}});
    EXPECT_EQ(GetAsyncImbpMessage(msg, &len, 0, &seq, 0), 3);
    EXPECT_EQ(GetAsyncImbpMessage(msg, &len, 0, &seq, 0), 1);  // another failure status
  }
  {
    // Three bytes; four bytes (no room for the channel byte); a message longer
    // than the buffer. None may be copied.
    RawResponder driver({{0, 0, {1, 0, 0}}, {0, 0, {1, 0, 0, 0}}, Message(9, 0, {1, 2, 3, 4, 5})});
    std::memset(msg, 0x5A, sizeof(msg));
    EXPECT_EQ(GetAsyncImbpMessage(msg, &len, 0, &seq, 0), 1);
    EXPECT_EQ(GetAsyncImbpMessage(msg, &len, 0, &seq, 0), 1);
    EXPECT_EQ(GetAsyncImbpMessage(msg, &len, 0, &seq, 0), 1);
    EXPECT_EQ(msg[0], 0x5A);
    EXPECT_EQ(seq, 0u);
  }
  {
    RawResponder driver({Message(3, 0, {})});  // an empty message is still one
    len = sizeof(msg);
    EXPECT_EQ(GetAsyncImbpMessage(msg, &len, 0, &seq, 0), 0);
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(seq, 3u);
  }
}

TEST(ImbApiAsync, AMissingDeviceIsAFailureNotNoMessage) {
  BYTE msg[8];
  DWORD len = sizeof(msg);
  DWORD seq = 0;
  {
    RawResponder driver({{11, IMB_STATUS_NO_ASYNC_MSG, {}}});
    ASSERT_EQ(GetAsyncImbpMessage(msg, &len, 0, &seq, 0), 3);
  }
  // The driver is gone: the open fails, and the "no message" status of the call
  // before must not be taken for this one's.
  int result = 0;
  {
    const mgmt::test::TempRoot empty("imbnone");
    testing::internal::CaptureStderr();
    result = GetAsyncImbpMessage(msg, &len, 0, &seq, 0);
    testing::internal::GetCapturedStderr();
  }
  EXPECT_EQ(result, 1);
}
