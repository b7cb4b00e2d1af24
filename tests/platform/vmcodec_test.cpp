// The VM serial protocol framing, against the byte sequences the simulator sends.
#include <gtest/gtest.h>

#include "base/ipmi_checksum.h"
#include "vmcodec.h"

namespace vm = mgmt::imbd::vm;
using Bytes = std::vector<uint8_t>;

namespace {

std::vector<vm::Frame> FeedAll(vm::Decoder& decoder, const Bytes& bytes) {
  std::vector<vm::Frame> frames;
  decoder.Feed(bytes, frames);
  return frames;
}

}  // namespace

TEST(VmCodec, RequestEscapesSpecialBytesAndChecksumsEverything) {
  const Bytes data{0xA0, 0x01, 0xA1, 0xAA};
  // Sequence 0xAA must itself be escaped; netFn 0x06 LUN 0 gives 0x18.
  const Bytes wire = vm::EncodeRequest(0xAA, 0x06, 0, 0x43, data);
  const uint8_t sum = static_cast<uint8_t>(0xAA + 0x18 + 0x43 + 0xA0 + 0x01 + 0xA1 + 0xAA);
  const uint8_t checksum = static_cast<uint8_t>(-sum);
  Bytes expected{0xAA, 0xBA, 0x18, 0x43, 0xAA, 0xB0, 0x01, 0xAA, 0xB1, 0xAA, 0xBA};
  if (checksum == 0xA0 || checksum == 0xA1 || checksum == 0xAA) {
    expected.push_back(0xAA);
    expected.push_back(checksum | 0x10);
  } else {
    expected.push_back(checksum);
  }
  expected.push_back(0xA0);
  EXPECT_EQ(wire, expected);

  vm::Decoder decoder;
  const auto frames = FeedAll(decoder, wire);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].kind, vm::Frame::Kind::kMessage);
  const Bytes raw = frames[0].bytes;
  ASSERT_EQ(raw.size(), 8u);
  EXPECT_EQ(Bytes(raw.begin() + 3, raw.end() - 1), data);
  uint8_t total = 0;
  for (uint8_t b : raw) total = static_cast<uint8_t>(total + b);
  EXPECT_EQ(total, 0);
}

TEST(VmCodec, FramesSplitAcrossReadsAtEveryPointDecodeTheSame) {
  // A response with an escaped data byte, then a control command.
  Bytes response{0x07, 0x1C, 0x01, 0x00, 0xA0};
  response.push_back(mgmt::base::IpmiChecksum(response));
  Bytes wire{0x07, 0x1C, 0x01, 0x00, 0xAA, 0xB0};
  if (response.back() == 0xA0 || response.back() == 0xA1 || response.back() == 0xAA) {
    wire.push_back(0xAA);
    wire.push_back(response.back() | 0x10);
  } else {
    wire.push_back(response.back());
  }
  wire.push_back(0xA0);
  const Bytes control = vm::EncodeControl(vm::kReset);
  wire.insert(wire.end(), control.begin(), control.end());

  for (size_t cut = 0; cut <= wire.size(); ++cut) {
    vm::Decoder decoder;
    std::vector<vm::Frame> frames;
    decoder.Feed(std::span(wire).first(cut), frames);
    decoder.Feed(std::span(wire).subspan(cut), frames);
    ASSERT_EQ(frames.size(), 2u) << "cut at " << cut;
    EXPECT_EQ(frames[0].bytes, response);
    EXPECT_EQ(frames[1].kind, vm::Frame::Kind::kControl);
    EXPECT_EQ(frames[1].bytes, Bytes{vm::kReset});
  }
  vm::Decoder byteByByte;
  std::vector<vm::Frame> frames;
  for (uint8_t b : wire) byteByByte.Feed(std::span(&b, 1), frames);
  EXPECT_EQ(frames.size(), 2u);
}

TEST(VmCodec, ResponsesWithBadChecksumOrTooShortAreRejected) {
  Bytes good{0x05, 0x1C, 0x01, 0x00, 0x20};
  good.push_back(mgmt::base::IpmiChecksum(good));
  const auto parsed = vm::ParseResponse(good);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->seq, 0x05);
  EXPECT_EQ(parsed->netFn, 0x07);
  EXPECT_EQ(parsed->cmd, 0x01);
  EXPECT_EQ(parsed->bytes, (Bytes{0x00, 0x20}));

  Bytes corrupted = good;
  corrupted[4] ^= 0x01;
  EXPECT_FALSE(vm::ParseResponse(corrupted));
  Bytes four{0x05, 0x1C, 0x01};
  four.push_back(mgmt::base::IpmiChecksum(four));
  EXPECT_FALSE(vm::ParseResponse(four));
  EXPECT_FALSE(vm::ParseResponse({}));
}

TEST(VmCodec, OversizedAndCutFramesAreDroppedAndTheNextOneSurvives) {
  vm::Decoder decoder;
  Bytes wire(vm::kMaxFrame + 10, 0x11);
  wire.push_back(0xA0);                         // oversized
  wire.insert(wire.end(), {0x01, 0xAA, 0xA0});  // escape cut by the end byte
  wire.push_back(0xA1);                         // empty frame
  wire.insert(wire.end(), {0xFF, 0x01, 0xA1});  // a good control frame
  const auto frames = FeedAll(decoder, wire);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].bytes, (Bytes{0xFF, 0x01}));
  EXPECT_EQ(decoder.Dropped(), 3u);

  // A frame of exactly the maximum length is still accepted.
  vm::Decoder exact;
  Bytes full(vm::kMaxFrame, 0x22);
  full.push_back(0xA0);
  EXPECT_EQ(FeedAll(exact, full).size(), 1u);
}
