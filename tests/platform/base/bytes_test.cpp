// Little-endian fields, the bounds-checked reader, and the IPMI checksum.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "base/bytes.h"
#include "base/ipmi_checksum.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace base = mgmt::base;

TEST(Bytes, FixedOffsetsAreLittleEndian) {
  const Bytes b{0xEF, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xFF};
  EXPECT_EQ(base::GetLe16(b, 1), 0x0201);
  EXPECT_EQ(base::GetLe16(b, 8), 0xFF08);  // high bit set: no sign extension
  EXPECT_EQ(base::GetLe32(b, 0), 0x030201EFu);
  EXPECT_EQ(base::GetLe32(b, 6), 0xFF080706u);
  EXPECT_EQ(base::GetLe24(b, 7), 0xFF0807u);  // the byte after stays out
  EXPECT_EQ(base::GetLe64(b, 1), 0x0807060504030201ull);
  EXPECT_EQ(base::GetLe64(b, 2), 0xFF08070605040302ull);

  Bytes out(6, 0xAA);
  base::PutLe16(out, 0, 0xBEEF);
  base::PutLe32(out, 2, 0x12345678);
  EXPECT_EQ(out, (Bytes{0xEF, 0xBE, 0x78, 0x56, 0x34, 0x12}));

  Bytes appended;
  base::AppendLe16(appended, 0x0102);
  base::AppendLe32(appended, 0xA0B0C0D0);
  base::ByteWriter(appended).U8(7).Le16(0x0908).Le32(1).Bytes(Bytes{0xCC});
  EXPECT_EQ(appended, (Bytes{0x02, 0x01, 0xD0, 0xC0, 0xB0, 0xA0, 7, 0x08, 0x09, 1, 0, 0, 0, 0xCC}));
}

TEST(ByteReader, ReadsFieldsInOrder) {
  const Bytes b{1, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 9, 8, 7, 1, 2, 3, 4, 5, 6, 7, 8};
  base::ByteReader r(b);
  EXPECT_EQ(r.U8(), 1);
  EXPECT_EQ(r.Le16(), 0x1234);
  EXPECT_EQ(r.Le32(), 0x12345678u);
  EXPECT_EQ(r.Bytes(2).size(), 2u);
  r.Skip(1);
  EXPECT_EQ(r.Remaining(), 8u);
  EXPECT_EQ(r.Le64(), 0x0807060504030201ull);
  EXPECT_TRUE(r.Ok());
  EXPECT_EQ(r.Remaining(), 0u);
}

TEST(ByteReader, AReadPastTheEndFailsForGood) {
  // Each field of a record that is one byte short, at every width.
  struct Case {
    const char* what;
    Bytes bytes;
    void (*read)(base::ByteReader&);
  };
  const Case cases[] = {
      {"u8 of nothing", {}, [](base::ByteReader& r) { EXPECT_EQ(r.U8(), 0); }},
      {"le16 of one", {0xFF}, [](base::ByteReader& r) { EXPECT_EQ(r.Le16(), 0); }},
      {"le32 of three", {1, 2, 3}, [](base::ByteReader& r) { EXPECT_EQ(r.Le32(), 0u); }},
      {"le64 of seven", Bytes(7, 1), [](base::ByteReader& r) { EXPECT_EQ(r.Le64(), 0u); }},
      {"bytes beyond", {1, 2}, [](base::ByteReader& r) { EXPECT_TRUE(r.Bytes(3).empty()); }},
      {"huge count", {1, 2}, [](base::ByteReader& r) { r.Skip(SIZE_MAX); }},
  };
  for (const auto& c : cases) {
    base::ByteReader r(c.bytes);
    c.read(r);
    EXPECT_FALSE(r.Ok()) << c.what;
    EXPECT_EQ(r.Remaining(), 0u) << c.what;
    // Sticky: a later read that would fit on its own still fails.
    EXPECT_EQ(r.U8(), 0) << c.what;
    EXPECT_TRUE(r.Bytes(0).empty()) << c.what;
    EXPECT_FALSE(r.Ok()) << c.what;
  }
}

TEST(IpmiChecksum, TwosComplementOfTheSum) {
  // IPMB header of Get Device ID to the BMC: rsSA 0x20, netFn/LUN 0x18.
  EXPECT_EQ(base::IpmiChecksum(Bytes{0x20, 0x18}), 0xC8);
  EXPECT_EQ(base::IpmiChecksum(Bytes{}), 0x00);
  EXPECT_EQ(base::IpmiChecksum(Bytes{0xFF, 0xFF, 0x02}), 0x00);  // wraps modulo 256
  EXPECT_EQ(base::IpmiChecksum(Bytes{0x01}), 0xFF);

  EXPECT_TRUE(base::IpmiChecksumValid(Bytes{0x20, 0x18, 0xC8}));
  EXPECT_FALSE(base::IpmiChecksumValid(Bytes{0x20, 0x18, 0xC9}));
  EXPECT_TRUE(base::IpmiChecksumValid(Bytes{0x00}));
  EXPECT_FALSE(base::IpmiChecksumValid(Bytes{}));
}

}  // namespace
