// The send-message request as the library encodes it and imbd decodes it: the
// byte layout, a whole round trip, and inputs that are short or whose length byte
// reaches past the end.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sendmessage.h"

namespace {

using Bytes = std::vector<uint8_t>;
using mgmt::dev::DecodeSendMessage;
using mgmt::dev::EncodeSendMessage;

Bytes AsBytes(const ImbRequestBuffer& buffer, size_t length = sizeof(ImbRequestBuffer)) {
  Bytes bytes(length);
  std::memcpy(bytes.data(), &buffer, length);
  return bytes;
}

TEST(SendMessage, EncodesTheDriverLayoutAndDecodesItBack) {
  const Bytes data{0x01, 0xA0, 0xFF};
  const auto buffer =
      EncodeSendMessage({IMB_REQ_FLAG_ASYNC, 30'000'000, 0x20, 0x43, 0x0A, 2, data});
  ASSERT_TRUE(buffer);
  const Bytes bytes = AsBytes(*buffer);
  const Bytes head{0x01, 0x00, 0x00, 0x00,  // flags
                   0x80, 0xC3, 0xC9, 0x01,  // 30 s in microseconds
                   0x20, 0x43, 0x0A, 0x02, 0x03, 0x01, 0xA0, 0xFF};
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 16), head);
  EXPECT_EQ(Bytes(bytes.begin() + 16, bytes.end()), Bytes(128 - 16, 0));  // the rest zero

  const auto decoded = DecodeSendMessage(bytes);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->flags, 1u);
  EXPECT_EQ(decoded->timeoutUs, 30'000'000u);
  EXPECT_EQ(decoded->rsSa, 0x20);
  EXPECT_EQ(decoded->cmd, 0x43);
  EXPECT_EQ(decoded->netFn, 0x0A);
  EXPECT_EQ(decoded->rsLun, 2);
  EXPECT_EQ(Bytes(decoded->data.begin(), decoded->data.end()), data);

  // The largest request fills the buffer; one byte more does not fit.
  const Bytes most(IMB_MAX_REQUEST_DATA, 0x5A);
  const auto full = EncodeSendMessage({0, 0, 0x20, 1, 6, 0, most});
  ASSERT_TRUE(full);
  EXPECT_EQ(DecodeSendMessage(AsBytes(*full))->data.size(), most.size());
  const Bytes tooMany(IMB_MAX_REQUEST_DATA + 1, 0);
  EXPECT_FALSE(EncodeSendMessage({0, 0, 0x20, 1, 6, 0, tooMany}));
}

TEST(SendMessage, ShortInputOrALengthPastTheEndIsRefused) {
  Bytes header(IMB_REQ_HEADER_SIZE, 0);
  header[8] = 0x20;
  EXPECT_TRUE(DecodeSendMessage(header));  // no data: just the header will do
  EXPECT_TRUE(DecodeSendMessage(header)->data.empty());
  EXPECT_FALSE(DecodeSendMessage(Bytes(header.begin(), header.end() - 1)));
  EXPECT_FALSE(DecodeSendMessage(Bytes{}));

  // The 67-byte senders: everything up to the end of their buffer is data that
  // may be announced, one byte further is not.
  const auto small = EncodeSendMessage({0, 0, 0x20, 0x52, 6, 0, Bytes(3, 7)});
  ASSERT_TRUE(small);
  Bytes bytes = AsBytes(*small, IMB_SMALL_BUFFER_SIZE);
  const auto room = static_cast<uint8_t>(size_t{IMB_SMALL_BUFFER_SIZE} - IMB_REQ_HEADER_SIZE);
  bytes[12] = room;
  EXPECT_TRUE(DecodeSendMessage(bytes));
  bytes[12] = room + 1;
  EXPECT_FALSE(DecodeSendMessage(bytes));
  bytes[12] = 0xFF;
  EXPECT_FALSE(DecodeSendMessage(bytes));
}

}  // namespace
