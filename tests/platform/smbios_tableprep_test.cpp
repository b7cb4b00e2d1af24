// Table preparation: the usable table and the legacy header record made from the
// exported entry point and table.
#include "smbios/tableprep.h"

#include <gtest/gtest.h>

#include "smbios/entrypoint.h"
#include "smbiosfixture.h"

namespace mgmt::smbios {
namespace {

using test::Bytes;
using test::ChecksumValid;
using test::Concat;
using test::MakeStructure;

uint16_t Le16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

// Both checksums of a legacy "_SM_" record hold.
void ExpectValidSmRecord(const Bytes& header) {
  ASSERT_GE(header.size(), 0x1Fu);
  EXPECT_EQ(std::string(header.begin(), header.begin() + 4), "_SM_");
  EXPECT_EQ(std::string(header.begin() + 0x10, header.begin() + 0x15), "_DMI_");
  EXPECT_TRUE(ChecksumValid(header.data(), header[5]));
  EXPECT_TRUE(ChecksumValid(header.data() + 0x10, 0x0F));
}

const Bytes kBios =
    MakeStructure(0, 0x0000, {1, 2, 0, 0xF0, 3, 0x1F}, {"Vendor", "1.0", "01/01/2020"});
const Bytes kSystem = MakeStructure(1, 0x0001, {1, 2, 0, 0}, {"Maker", "Box"});
const Bytes kEnd = MakeStructure(127, 0x7F00, {});

TEST(SmbiosTablePrep, UsableTableEndsAfterTheEndMarkerOrTheLastWholeStructure) {
  // Garbage after the end marker is not part of the table.
  const Bytes withTail = Concat({kBios, kSystem, kEnd, Bytes{0xDE, 0xAD, 0xBE, 0xEF, 0, 0}});
  auto extent = MeasureUsableTable(withTail);
  EXPECT_EQ(extent.length, kBios.size() + kSystem.size() + kEnd.size());
  EXPECT_EQ(extent.structureCount, 3u);
  EXPECT_EQ(extent.largestStructure, kBios.size());
  EXPECT_TRUE(extent.endOfTableSeen);

  // A structure cut short is left out, and so is everything after it.
  Bytes cut = Concat({kBios, kSystem});
  cut.resize(cut.size() - 3);
  extent = MeasureUsableTable(cut);
  EXPECT_EQ(extent.length, kBios.size());
  EXPECT_EQ(extent.structureCount, 1u);
  EXPECT_FALSE(extent.endOfTableSeen);
}

TEST(SmbiosTablePrep, LegacyRecordGetsTheUsableLengthAndValidChecksums) {
  const Bytes table = Concat({kBios, kSystem, kEnd});
  // The kernel exported more than the entry point announces: the entry point
  // wins, and the cut falls on the structure boundary before it.
  const Bytes exported = Concat({table, kSystem});
  const Bytes ep =
      test::MakeSmEntryPoint(static_cast<uint16_t>(kBios.size() + kSystem.size() + 2), 3, 2, 7);
  const auto prepared = PrepareTable(ep, exported);
  ASSERT_TRUE(prepared);
  EXPECT_EQ(prepared->table, Concat({kBios, kSystem}));
  ExpectValidSmRecord(prepared->header);
  EXPECT_EQ(Le16(prepared->header, 0x16), kBios.size() + kSystem.size());
  // Everything else stays as the firmware wrote it.
  for (size_t i : {0x06u, 0x07u, 0x18u, 0x19u, 0x1Au, 0x1Bu, 0x1Cu, 0x1Du, 0x1Eu}) {
    EXPECT_EQ(prepared->header[i], ep[i]) << "byte " << i;
  }
  EXPECT_EQ(LegacyTableLength(prepared->header), kBios.size() + kSystem.size());

  // An entry point of 0x20 bytes keeps its length, and its checksum covers all.
  Bytes longer = ep;
  longer.push_back(0x55);
  longer[5] = 0x20;
  const auto kept = PrepareTable(longer, table);
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->header.size(), 0x20u);
  EXPECT_EQ(kept->header[0x1F], 0x55);
  ExpectValidSmRecord(kept->header);
}

TEST(SmbiosTablePrep, Smbios3RecordIsConvertedToALegacyOne) {
  const Bytes table = Concat({kBios, kSystem, kEnd});
  // The "_SM3_" maximum is larger than what was exported.
  const auto prepared = PrepareTable(test::MakeSm3EntryPoint(9000, 3, 5), table);
  ASSERT_TRUE(prepared);
  const Bytes& h = prepared->header;
  ASSERT_EQ(h.size(), 31u);
  ExpectValidSmRecord(h);
  EXPECT_EQ(h[5], 0x1F);
  EXPECT_EQ(h[6], 3);  // version of the "_SM3_" record
  EXPECT_EQ(h[7], 5);
  EXPECT_EQ(Le16(h, 0x08), kBios.size());  // largest structure
  EXPECT_EQ(Le16(h, 0x16), table.size());  // usable length
  EXPECT_EQ(Le16(h, 0x1C), 3);             // structure count
  EXPECT_EQ(h[0x1E], 0x35);                // BCD revision
  EXPECT_EQ(prepared->table, table);
  EXPECT_EQ(LegacyTableLength(h), table.size());
  // The raw record is refused by the legacy reader instead of yielding bytes of
  // its table address as a length.
  EXPECT_EQ(LegacyTableLength(test::MakeSm3EntryPoint(9000)), std::nullopt);
  EXPECT_EQ(LegacyTableLength(Bytes(64, 0)), std::nullopt);
}

TEST(SmbiosTablePrep, TableLongerThanALegacyRecordCanSayIsCutAtAStructureBoundary) {
  // 300 structures of 257 bytes (77 100 bytes), no end marker; 255 of them fill
  // exactly 65 535 bytes.
  Bytes oem = MakeStructure(200, 0, Bytes(250, 0xA5), {"x"});
  ASSERT_EQ(oem.size(), 257u);
  Bytes table;
  for (uint16_t i = 0; i < 300; ++i) {
    oem[2] = static_cast<uint8_t>(i);
    oem[3] = static_cast<uint8_t>(i >> 8);
    table.insert(table.end(), oem.begin(), oem.end());
  }
  const auto prepared =
      PrepareTable(test::MakeSm3EntryPoint(static_cast<uint32_t>(table.size())), table);
  ASSERT_TRUE(prepared);
  EXPECT_EQ(prepared->table.size(), 65535u / 257u * 257u);
  EXPECT_EQ(prepared->structureCount, 65535u / 257u);
  EXPECT_EQ(Le16(prepared->header, 0x16), prepared->table.size());
  EXPECT_EQ(Le16(prepared->header, 0x1C), prepared->structureCount);
}

TEST(SmbiosTablePrep, UnknownOrShortEntryPointsAreRefused) {
  const Bytes table = Concat({kBios, kEnd});
  EXPECT_FALSE(PrepareTable(Bytes(31, 0), table));
  Bytes sm = test::MakeSmEntryPoint(100, 2);
  EXPECT_FALSE(PrepareTable(Bytes(sm.begin(), sm.begin() + 0x1E), table));
  sm[0x10] = 'X';  // no "_DMI_" part
  EXPECT_FALSE(PrepareTable(sm, table));
  const Bytes sm3 = test::MakeSm3EntryPoint(100);
  EXPECT_FALSE(PrepareTable(Bytes(sm3.begin(), sm3.begin() + 0x17), table));
  EXPECT_FALSE(PrepareTable({}, table));
}

TEST(SmbiosTablePrep, BareDmiRecordIsPatchedInPlace) {
  Bytes dmi = {'_', 'D', 'M', 'I', '_', 0, 0xFF, 0xFF, 0, 0, 0x0F, 0, 2, 0, 0x20};
  const Bytes table = Concat({kBios, kEnd});
  const auto prepared = PrepareTable(dmi, table);
  ASSERT_TRUE(prepared);
  ASSERT_EQ(prepared->header.size(), 15u);
  EXPECT_TRUE(ChecksumValid(prepared->header.data(), 15));
  EXPECT_EQ(LegacyTableLength(prepared->header), table.size());
  EXPECT_EQ(prepared->major, 2);
  EXPECT_EQ(prepared->minor, 0);
}

}  // namespace
}  // namespace mgmt::smbios
