// Each class's table walk on synthetic structures: the mapping of every field,
// the published oddities, and what firmware gets wrong (short and damaged
// structures, too many strings, strings that are not UTF-8).
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "DmiText.h"
#include "SM_BIOSElement.h"
#include "SM_BaseBoard.h"
#include "SM_Bus.h"
#include "SM_Chassis.h"
#include "SM_ComputerSystemProduct.h"
#include "SM_PhysicalMemory.h"
#include "SM_PortConnector.h"
#include "SM_Processor.h"
#include "SM_SystemSlot.h"
#include "dmi_test_util.h"
#include "smbiosfixture.h"
#include "support/provider_driver.h"
#include "support/temp_dir.h"

namespace {

using dmitest::Has;
using dmitest::Num;
using dmitest::Parse;
using dmitest::Str;
using dmitest::Strs;
using dmitest::U16s;
using mgmt::test::Concat;
using mgmt::test::MakeStructure;
using Bytes = std::vector<std::uint8_t>;
using Strings = std::vector<std::string>;
using Codes = std::vector<std::uint16_t>;

constexpr const char* kBad = "** Error ** Bad string number";

// The formatted area of a structure of `length` bytes after its 4-byte header,
// filled by structure offset.
struct Fields {
  explicit Fields(std::size_t length) : bytes(length - 4, 0) {}
  Fields& U8(std::size_t offset, std::uint8_t v) {
    bytes.at(offset - 4) = v;
    return *this;
  }
  Fields& U16(std::size_t offset, std::uint16_t v) {
    return U8(offset, static_cast<std::uint8_t>(v))
        .U8(offset + 1, static_cast<std::uint8_t>(v >> 8));
  }
  Fields& U32(std::size_t offset, std::uint32_t v) {
    return U16(offset, static_cast<std::uint16_t>(v))
        .U16(offset + 2, static_cast<std::uint16_t>(v >> 16));
  }
  Bytes bytes;
};

Bytes Bios(std::uint8_t vendor, std::uint8_t version, std::uint8_t date,
           std::initializer_list<std::string_view> strings) {
  return MakeStructure(0, 0, Fields(0x12).U8(4, vendor).U8(5, version).U8(8, date).bytes, strings);
}

Bytes Processor(std::uint8_t status, std::uint8_t voltage, std::uint16_t speed,
                std::initializer_list<std::string_view> strings = {"Socket", "Maker", "XYZ CPU"},
                std::size_t length = 0x1A) {
  Fields f(length);
  f.U8(4, 1).U8(5, 3).U8(6, 0xB3).U8(7, 2).U32(8, 0x6B1).U32(0x0C, 0x3FF).U8(0x10, 3);
  f.U8(0x11, voltage).U16(0x12, 100).U16(0x14, 4000).U16(0x16, speed).U8(0x18, status).U8(0x19, 4);
  return MakeStructure(4, 0x400, f.bytes, strings);
}

Bytes Memory(std::uint16_t size, std::size_t length = 0x1B, std::uint32_t extended = 0) {
  Fields f(length);
  f.U16(8, 72).U16(0x0A, 64).U16(0x0C, size).U8(0x0E, 9).U8(0x10, 1).U8(0x11, 2).U8(0x12, 0x18);
  if (length >= 0x15) f.U16(0x13, 0x0080);
  if (length >= 0x17) f.U16(0x15, 1333);
  if (length >= 0x20) f.U32(0x1C, extended);
  return MakeStructure(17, 0x1100, f.bytes, {"DIMM A1", "BANK 0"});
}

Bytes Port(std::uint8_t internalType, std::uint8_t externalType, std::uint8_t internalName = 1) {
  return MakeStructure(8, 0x800,
                       Fields(9)
                           .U8(4, internalName)
                           .U8(5, internalType)
                           .U8(6, 2)
                           .U8(7, externalType)
                           .U8(8, 0x0E)
                           .bytes,
                       {"J1A1", "PS2Mouse"});
}

Bytes Slot(std::uint8_t type, std::uint16_t id = 0x0102) {
  return MakeStructure(
      9, 0x900, Fields(0x0D).U8(4, 1).U8(5, type).U8(6, 5).U8(7, 3).U16(9, id).bytes, {"PCI1"});
}

// --- BIOS -------------------------------------------------------------------------

TEST(DmiBios, NameDateAndLanguagesFromTheFirstStructures) {
  mgmt::test::ScopedEnv tz("TZ", "UTC");
  const Bytes languages = MakeStructure(13, 0xD00, Fields(0x16).U8(4, 2).bytes, {"en|US", "fr|FR"});
  // The language structure comes first; a second BIOS structure (several firmware
  // images) must neither throw nor overwrite the first.
  const auto got = Parse<Pegasus::SM_BIOSElement>(
      Concat({languages, Bios(1, 2, 3, {"BIOS Vendor", "1.02", "03/15/04"}),
              Bios(1, 2, 3, {"Other", "9.9", "01/01/01"}),
              MakeStructure(13, 0xD01, Fields(0x16).U8(4, 0).bytes)}));
  ASSERT_EQ(got.size(), 1u);
  const auto& bios = got[0];
  EXPECT_EQ(dmitest::Names(bios),
            (Strings{"ListOfLanguages", "PrimaryBIOS", "Manufacturer", "Version", "ReleaseDate",
                     "Name", "Caption", "Description", "SoftwareElementID", "SoftwareElementState",
                     "TargetOperatingSystem"}));
  EXPECT_EQ(Strs(bios, "ListOfLanguages"), (Strings{"en|US", "fr|FR"}));
  EXPECT_EQ(Str(bios, "PrimaryBIOS"), "true");
  EXPECT_EQ(Str(bios, "ReleaseDate"), "20040315000000.000000+000");
  for (const char* p : {"Name", "Caption", "Description", "SoftwareElementID"}) {
    EXPECT_EQ(Str(bios, p), "BIOS Vendor Modular BIOS 1.02") << p;
  }
  EXPECT_EQ(Num(bios, "SoftwareElementState"), 3u);
  EXPECT_EQ(Num(bios, "TargetOperatingSystem"), 0u);
  EXPECT_EQ(bios.getPath().getKeyBindings().size(), 5u);
}

TEST(DmiBios, EmptyAndMissingStrings) {
  const auto none = Parse<Pegasus::SM_BIOSElement>(Bios(0, 0, 4, {"a", "b"}));
  EXPECT_EQ(Str(none[0], "Name"), " Modular BIOS ");
  EXPECT_EQ(Str(none[0], "Manufacturer"), "");
  EXPECT_EQ(Str(none[0], "ReleaseDate")->substr(0, 21), "20000000000000.000000")
      << "a date string beyond the strings keeps 0/0/0";
  const auto empty =
      Parse<Pegasus::SM_BIOSElement>(MakeStructure(13, 1, Fields(0x16).U8(4, 0).bytes));
  EXPECT_EQ(Strs(empty[0], "ListOfLanguages"), Strings{});
  const auto nothing = Parse<Pegasus::SM_BIOSElement>(MakeStructure(1, 1, Fields(8).bytes));
  ASSERT_EQ(nothing.size(), 1u);
  EXPECT_EQ(nothing[0].getPropertyCount(), 0u);
}

TEST(DmiBios, ReleaseDateYearsAndOffset) {
  mgmt::test::ScopedEnv tz("TZ", "UTC");
  const std::pair<const char*, const char*> dates[] = {
      {"12/01/99", "19991201"}, {"06/30/2003", "20030630"}, {"01/02/00", "20000102"},
      {"01/02/49", "20490102"}, {"01/02/50", "500102"},     {"01/02/51", "19510102"},
      {"01/02/100", "20000102"}};
  for (const auto& [text, day] : dates) {
    int month = 0, dayOfMonth = 0, year = 0;
    EXPECT_EQ(Pegasus::BiosReleaseDate(text, month, dayOfMonth, year),
              std::string(day) + "000000.000000+000")
        << text;
  }
  int month = 7, day = 8, year = 9;
  EXPECT_EQ(Pegasus::BiosReleaseDate("rev 3", month, day, year), "20090708000000.000000+000");
  EXPECT_EQ(Pegasus::BiosReleaseDate("99999999999/1/1", month, day, year),
            "20090708000000.000000+000")
      << "a number that does not fit is not read";
}

// --- processor --------------------------------------------------------------------

TEST(DmiProcessor, PopulatedSocketsOnly) {
  const auto got =
      Parse<Pegasus::SM_Processor>(Concat({Processor(0x00, 0x8D, 2400), Processor(0x41, 0x8D, 2400),
                                           Processor(0x41, 0x80, 0), Processor(0x41, 0x02, 1800)}));
  ASSERT_EQ(got.size(), 3u);
  const auto& cpu = got[0];
  EXPECT_EQ(Str(cpu, "DeviceID"), "CPU0");
  EXPECT_EQ(Str(cpu, "Caption"), "CPU0 XYZ CPU2400");
  EXPECT_EQ(Str(cpu, "Description"), "CPU0 XYZ CPU2400");
  EXPECT_EQ(Str(cpu, "ProcessorId"), "3ff6b1");
  EXPECT_EQ(Str(cpu, "SocketDesignation"), "Socket");
  EXPECT_EQ(Str(cpu, "Manufacturer"), "Maker");
  EXPECT_EQ(Num(cpu, "CurrentVoltage"), 13u);
  EXPECT_FALSE(Has(cpu, "VoltageCaps"));
  EXPECT_EQ(Num(cpu, "CPUStatus"), 0x41u);
  EXPECT_EQ(Str(got[1], "DeviceID"), "CPU1");
  EXPECT_EQ(Num(got[1], "CurrentVoltage"), 0u);
  EXPECT_EQ(Str(got[1], "Caption"), "CPU1 XYZ CPU0");
  EXPECT_EQ(Num(got[2], "VoltageCaps"), 2u);
  EXPECT_FALSE(Has(got[2], "CurrentVoltage"));
  EXPECT_EQ(
      dmitest::Types(cpu),
      (Strings{"DeviceID:string", "CreationClassName:string", "SystemCreationClassName:string",
               "SystemName:string", "SocketDesignation:string", "ProcessorType:uint16",
               "Family:uint16", "Manufacturer:string", "ProcessorId:string", "Version:string",
               "CurrentVoltage:uint16", "ExtClock:sint32", "MaxClockSpeed:sint32",
               "CurrentClockSpeed:sint32", "Caption:string", "Description:string",
               "CPUStatus:uint8", "UpgradeMethod:uint8"}));
}

TEST(DmiProcessor, FamilyTwoAndShortStructures) {
  Bytes withFamily2 = Processor(0x41, 0x8D, 2400, {"S", "M", "V"}, 0x2A);
  withFamily2[6] = 0xFE;
  withFamily2[0x28] = 0x01;  // family 2: 0x0201 (ARMv8)
  withFamily2[0x29] = 0x02;
  Bytes without = Processor(0x41, 0x8D, 2400);
  without[6] = 0xFE;
  const auto got = Parse<Pegasus::SM_Processor>(Concat({withFamily2, without}));
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(Num(got[0], "Family"), 0x0201u);
  EXPECT_EQ(Num(got[1], "Family"), 0xFEu);
  // A structure too short to hold the status byte cannot be told populated.
  EXPECT_TRUE(Parse<Pegasus::SM_Processor>(MakeStructure(4, 1, Fields(0x18).U8(4, 1).bytes, {"S"}))
                  .empty());
}

// --- memory -----------------------------------------------------------------------

TEST(DmiMemory, CapacityFromEveryKindOfSizeWord) {
  EXPECT_EQ(Pegasus::MemoryCapacity(0x0200, {}), 536870912u);
  EXPECT_EQ(Pegasus::MemoryCapacity(0x8200, {}), 524288u);
  EXPECT_EQ(Pegasus::MemoryCapacity(0x0800, {}), 2147483648u);
  EXPECT_EQ(Pegasus::MemoryCapacity(0x1000, {}), 4294967296u);
  EXPECT_EQ(Pegasus::MemoryCapacity(0, {}), 0u);
  EXPECT_EQ(Pegasus::MemoryCapacity(0x7FFF, 32768), 34359738368u);
  EXPECT_EQ(Pegasus::MemoryCapacity(0x7FFF, 0x80000000u | 65536), 68719476736u);
  EXPECT_EQ(Pegasus::MemoryCapacity(0x7FFF, {}), 32767ull << 20) << "no extended field: 32767 MB";
  EXPECT_EQ(Pegasus::MemoryCapacity(0xFFFF, {}), std::nullopt);

  const auto got = Parse<Pegasus::SM_PhysicalMemory>(
      Concat({Memory(0x7FFF, 0x22, 32768), Memory(0xFFFF), Memory(0)}));
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(Num(got[0], "Capacity"), 34359738368u);
  EXPECT_FALSE(Has(got[1], "Capacity"));
  EXPECT_EQ(Num(got[2], "Capacity"), 0u);
  EXPECT_EQ(Str(got[2], "Tag"), "Physical Memory 2");
}

TEST(DmiMemory, FieldsAndTheOlderLayouts) {
  EXPECT_EQ(Pegasus::MemoryTypeDetail(0x0080), 7);
  EXPECT_EQ(Pegasus::MemoryTypeDetail(0x0084), 7);
  EXPECT_EQ(Pegasus::MemoryTypeDetail(0x0001), 1);
  EXPECT_EQ(Pegasus::MemoryTypeDetail(0x0081), 0x81);
  EXPECT_EQ(Pegasus::MemoryTypeDetail(0), 0);

  const auto got = Parse<Pegasus::SM_PhysicalMemory>(
      Concat({Memory(0x0200, 0x17), Memory(0x0200, 0x15), Memory(0x0200, 0x13)}));
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(dmitest::Types(got[0]),
            (Strings{"CreationClassName:string", "Tag:string", "TotalWidth:uint16",
                     "DataWidth:uint16", "Capacity:uint64", "Caption:string", "Description:string",
                     "FormFactor:uint16", "DeviceLocator:string", "BankLabel:string",
                     "MemoryType:uint16", "TypeDetail:uint16", "Speed:uint16"}));
  EXPECT_EQ(Str(got[0], "DeviceLocator"), "DIMM A1");
  EXPECT_EQ(Str(got[0], "BankLabel"), "BANK 0");
  EXPECT_EQ(Num(got[0], "TypeDetail"), 7u);
  EXPECT_EQ(Num(got[0], "Speed"), 1333u);
  // Length 0x15: the speed word would be the first string's bytes.
  EXPECT_FALSE(Has(got[1], "Speed"));
  EXPECT_EQ(Num(got[1], "TypeDetail"), 7u);
  EXPECT_FALSE(Has(got[2], "TypeDetail"));
  EXPECT_EQ(Num(got[2], "MemoryType"), 0x18u);
  EXPECT_EQ(Str(got[2], "BankLabel"), "BANK 0");
}

// --- port connectors and slots ------------------------------------------------------

TEST(DmiPortConnector, ConnectorCodesAndOtherInfo) {
  const auto got = Parse<Pegasus::SM_PortConnector>(
      Concat({Port(0x0F, 0x0F), Port(0xFF, 0x0C), Port(0, 0x08), Port(0, 0), Port(0x0B, 0xFF, 0),
              Port(0x14, 0x09, 7)}));
  ASSERT_EQ(got.size(), 6u);
  EXPECT_EQ(Str(got[0], "Caption"), "Port Connector 0: J1A1");
  EXPECT_EQ(U16s(got[0], "ConnectorType"), (Codes{62, 62}));
  EXPECT_FALSE(Has(got[0], "OtherIdentifyingInfo"));
  EXPECT_EQ(Str(got[0], "ExternalReferenceDesignator"), "PS2Mouse");
  EXPECT_EQ(Num(got[0], "PortType"), 0x0Eu);
  EXPECT_EQ(U16s(got[1], "ConnectorType"), (Codes{1, 1}));
  EXPECT_EQ(Str(got[1], "OtherIdentifyingInfo"), " internal:Other external:50 Pin MiniSCSI");
  EXPECT_EQ(U16s(got[2], "ConnectorType"), (Codes{22, 2}));
  EXPECT_FALSE(Has(got[3], "ConnectorType"));
  EXPECT_FALSE(Has(got[3], "OtherIdentifyingInfo"));
  EXPECT_EQ(U16s(got[4], "ConnectorType"), (Codes{40, 1}));
  EXPECT_EQ(Str(got[4], "OtherIdentifyingInfo"), " external:Other");
  EXPECT_EQ(Str(got[4], "Caption"), "Port Connector 4: ");
  EXPECT_EQ(U16s(got[5], "ConnectorType"), (Codes{90, 59, 2, 22, 3}));
  EXPECT_EQ(Str(got[5], "InternalReferenceDesignator"), kBad);
}

TEST(DmiPortConnector, OtherInfoStaysInsideItsRoom) {
  Pegasus::SM_PortConnector provider;
  Pegasus::Array<unsigned short> codes;
  char text[14];
  std::fill(std::begin(text), std::end(text), 'x');
  EXPECT_EQ(provider.searchProperConnType(2, 0x0C, codes, text, 14), 0);
  EXPECT_STREQ(text, " external:50 ");
  EXPECT_EQ(provider.searchProperConnType(1, 0x0B, codes, text, 14), 1);
  EXPECT_STREQ(text, " external:50 ") << "a type with codes leaves the text alone";
}

TEST(DmiSystemSlot, CodesNamesAndSlotNumbers) {
  const auto got = Parse<Pegasus::SM_SystemSlot>(
      Concat({Slot(0x06), Slot(0x12), Slot(0x03), Slot(0x02), Slot(0x00), Slot(0xA3)}));
  ASSERT_EQ(got.size(), 6u);
  EXPECT_EQ(dmitest::Types(got[0]),
            (Strings{"CreationClassName:string", "Tag:string", "SlotDesignation:string",
                     "ConnectorType:uint16[]", "MaxDataWidth:uint8", "CurrentUsage:uint8",
                     "Number:uint16"}));
  EXPECT_EQ(Str(got[0], "Tag"), "System Slot 0");
  EXPECT_EQ(U16s(got[0], "ConnectorType"), Codes{44});
  EXPECT_EQ(Num(got[0], "MaxDataWidth"), 5u);
  EXPECT_EQ(Num(got[0], "CurrentUsage"), 3u);
  EXPECT_EQ(Num(got[0], "Number"), 258u);
  EXPECT_EQ(U16s(got[1], "ConnectorType"), Codes{1});
  EXPECT_EQ(Str(got[1], "OtherIdentifyingInfo"), "Other");
  EXPECT_TRUE(Has(got[1], "Number"));
  EXPECT_EQ(U16s(got[2], "ConnectorType"), Codes{45});
  EXPECT_FALSE(Has(got[2], "Number"));
  EXPECT_EQ(Str(got[3], "OtherIdentifyingInfo"), "Unknown");
  EXPECT_EQ(Str(got[4], "OtherIdentifyingInfo"), "Other");
  EXPECT_EQ(Str(got[5], "OtherIdentifyingInfo"), "PC-98/Local Bus");
}

// --- product, boards, chassis -------------------------------------------------------

TEST(DmiProduct, UuidByteOrderAndOldLayout) {
  Fields f(0x19);
  f.U8(4, 1).U8(5, 2).U8(6, 3).U8(7, 4);
  for (std::uint8_t i = 0; i < 16; ++i) f.U8(8 + i, static_cast<std::uint8_t>(i * 0x11));
  Fields ones(0x19);
  for (std::size_t i = 0; i < 16; ++i) ones.U8(8 + i, 0xFF);
  const auto got = Parse<Pegasus::SM_ComputerSystemProduct>(Concat(
      {MakeStructure(1, 1, f.bytes, {"Vendor", "Product", "1.0", "SN1"}),
       MakeStructure(1, 2, ones.bytes), MakeStructure(1, 3, Fields(8).U8(5, 1).bytes, {"Old"})}));
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(Str(got[0], "UUID"), "33221100-5544-7766-8899-AABBCCDDEEFF");
  EXPECT_EQ(Str(got[0], "Vendor"), "Vendor");
  EXPECT_EQ(Str(got[0], "IdentifyingNumber"), "SN1");
  EXPECT_EQ(Str(got[0], "Caption"), "Computer System Product");
  EXPECT_EQ(Str(got[1], "UUID"), "FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF");
  EXPECT_FALSE(Has(got[2], "UUID"));
  EXPECT_EQ(Str(got[2], "Name"), "Old");
  EXPECT_EQ(got[0].getPath().getKeyBindings().size(), 4u);
}

TEST(DmiBaseBoard, EveryBoardGetsItsOwnTag) {
  const Bytes board =
      MakeStructure(2, 0x200, Fields(8).U8(4, 1).U8(5, 2).bytes, {"Maker", "Model"});
  const auto got = Parse<Pegasus::SM_BaseBoard>(Concat({board, board, board}));
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(Str(got[0], "Tag"), "Base Board");
  EXPECT_EQ(Str(got[1], "Tag"), "Base Board 2");
  EXPECT_EQ(Str(got[2], "Tag"), "Base Board 3");
  EXPECT_EQ(Str(got[2], "Name"), "Base Board");
  EXPECT_EQ(Str(got[2], "Model"), "Model");
  EXPECT_FALSE(got[0].getPath() == got[1].getPath());
}

TEST(DmiChassis, TypeWithoutLockBitAndOutOfRangeTypes) {
  const auto chassis = [](std::uint8_t type) {
    return MakeStructure(3, 0x300, Fields(9).U8(4, 1).U8(5, type).U8(8, 2).bytes,
                         {"Maker", "Asset"});
  };
  const auto got =
      Parse<Pegasus::SM_Chassis>(Concat({chassis(0x97), chassis(0x19), chassis(0x80)}));
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(U16s(got[0], "ChassisTypes"), Codes{23});
  EXPECT_EQ(Strs(got[0], "TypeDescriptions"), Strings{"Rack Mount Chassis"});
  EXPECT_EQ(Str(got[0], "Tag"), "Asset");
  for (int i : {1, 2}) {
    EXPECT_FALSE(Has(got[i], "ChassisTypes")) << i;
    EXPECT_FALSE(Has(got[i], "TypeDescriptions")) << i;
    EXPECT_EQ(Str(got[i], "Manufacturer"), "Maker") << i;
  }
}

// --- damaged tables ---------------------------------------------------------------

TEST(DmiWalk, DamagedTablesEndTheWalkInsideTheBuffer) {
  const Bytes good = Slot(0x06);
  // Cut inside the second structure's strings: only the first is whole.
  Bytes cut = Concat({good, good});
  cut.resize(cut.size() - 3);
  EXPECT_EQ(Parse<Pegasus::SM_SystemSlot>(cut).size(), 1u);
  // A length byte of 0 would make an unbounded walk read the same bytes for ever;
  // one under 4 ends the walk.
  for (std::uint8_t length : {0, 1, 3}) {
    Bytes looping = Concat({good, good, good});
    looping[good.size() + 1] = length;
    EXPECT_EQ(Parse<Pegasus::SM_SystemSlot>(looping).size(), 1u) << int(length);
  }
  // A formatted area longer than the table.
  Bytes longer = good;
  longer[1] = 0xF0;
  EXPECT_TRUE(Parse<Pegasus::SM_SystemSlot>(longer).empty());
  EXPECT_TRUE(Parse<Pegasus::SM_SystemSlot>({}).empty());
}

TEST(DmiWalk, StructureWithTooManyStringsKeepsThirtyTwoAndTheWalkGoesOn) {
  std::vector<std::string> texts;
  for (int i = 1; i <= 40; ++i) texts.push_back("s" + std::to_string(i));
  Bytes crowded = MakeStructure(9, 1, Fields(0x0D).U8(4, 32).U8(5, 0x06).bytes);
  crowded.resize(crowded.size() - 2);  // drop the empty set
  for (const auto& t : texts) {
    crowded.insert(crowded.end(), t.begin(), t.end());
    crowded.push_back(0);
  }
  crowded.push_back(0);
  Bytes beyond = crowded;
  beyond[4] = 33;
  const auto got = Parse<Pegasus::SM_SystemSlot>(Concat({crowded, beyond, Slot(0x03)}));
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(Str(got[0], "SlotDesignation"), "s32");
  EXPECT_EQ(Str(got[1], "SlotDesignation"), kBad);
  EXPECT_EQ(U16s(got[2], "ConnectorType"), Codes{45});
}

// Every table walk on cut and damaged copies of the real tables: a cut never
// makes instances appear, and no damage makes a walk read outside its buffer (the
// sanitizer builds of CI check the latter).
std::vector<std::size_t> CountAll(const Bytes& table) {
  return {Parse<Pegasus::SM_BIOSElement>(table).size(),
          Parse<Pegasus::SM_Processor>(table).size(),
          Parse<Pegasus::SM_PhysicalMemory>(table).size(),
          Parse<Pegasus::SM_PortConnector>(table).size(),
          Parse<Pegasus::SM_SystemSlot>(table).size(),
          Parse<Pegasus::SM_ComputerSystemProduct>(table).size(),
          Parse<Pegasus::SM_BaseBoard>(table).size(),
          Parse<Pegasus::SM_Chassis>(table).size()};
}

TEST(DmiWalk, CutAndDamagedRealTables) {
  MGMT_REQUIRE_SMBIOS_DATA();
  std::mt19937 random(20261208);
  for (const auto& name : mgmt::test::SmbiosDumpNames()) {
    const Bytes table = mgmt::test::LoadSmbiosDump(name).table;
    const auto whole = CountAll(table);
    for (std::size_t cut = 0; cut < table.size(); cut += table.size() / 48 + 1) {
      const auto counts = CountAll(Bytes(table.begin(), table.begin() + cut));
      for (std::size_t c = 0; c < counts.size(); ++c) {
        EXPECT_LE(counts[c], whole[c]) << name << " cut at " << cut << ", class " << c;
      }
    }
    for (int round = 0; round < 24; ++round) {
      Bytes damaged = table;
      for (int n = 0; n < 4; ++n)
        damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
      CountAll(damaged);
    }
  }
}

TEST(DmiText, FirmwareStringsThatAreNotUtf8) {
  const Bytes board =
      MakeStructure(2, 1, Fields(8).U8(4, 1).U8(5, 2).bytes, {"Caf\xE9 GmbH", "M\xC3\xBCller"});
  const auto got = Parse<Pegasus::SM_BaseBoard>(board);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(Str(got[0], "Manufacturer"), "Caf\xC3\xA9 GmbH") << "Latin-1 converted";
  EXPECT_EQ(Str(got[0], "Model"), "M\xC3\xBCller") << "UTF-8 kept";

  // A 127-byte cut never splits a UTF-8 character.
  const std::string version = std::string(126, 'v') + "\xC3\xA9";
  const auto bios =
      Parse<Pegasus::SM_BIOSElement>(Bios(1, 2, 0, {"Vendor", std::string_view(version)}));
  EXPECT_EQ(Str(bios[0], "Version"), std::string(126, 'v'));
}

// --- buses --------------------------------------------------------------------------

std::vector<Pegasus::CIMInstance> Scan() {
  mgmt::test::ProviderDriver driver(std::make_unique<Pegasus::SM_Bus>().release());
  return driver.Instances("SM_Bus");
}

TEST(DmiBus, NumberedEntriesUnderProcBus) {
  mgmt::test::TempRoot root("dmi-bus");
  for (const char* dir : {"pci/00", "pci/3a", "pci/ae", "pci/0001:02", "usb/001", "usb/002"}) {
    root.Write(std::string("/proc/bus/") + dir + "/.keep", "");
  }
  for (const char* file :
       {"pci/devices", "usb/devices", "input/devices", "input/handlers", "stray"}) {
    root.Write(std::string("/proc/bus/") + file, "");
  }
  dmitest::LogCapture log;
  const auto got = Scan();
  Strings ids;
  for (const auto& b : got) ids.push_back(Str(b, "DeviceID").value_or("?"));
  EXPECT_EQ(ids, (Strings{"pci_00", "pci_0001:02", "pci_3a", "pci_ae", "usb_001", "usb_002"}));
  ASSERT_EQ(got.size(), 6u);
  EXPECT_EQ(dmitest::Names(got[2]),
            (Strings{"CreationClassName", "DeviceID", "SystemCreationClassName", "SystemName",
                     "Name", "Caption", "Description"}));
  EXPECT_EQ(Str(got[2], "Caption"), "pci bus 3a");
  EXPECT_EQ(Str(got[2], "CreationClassName"), "SM_BUS");
  EXPECT_EQ(Str(got[2], "SystemName"), mgmt::dmi::HostName());
  EXPECT_EQ(log.Lines(), Strings{"ERROR, SM_Bus::searchSubBus(): error\n"}) << "the plain file";
}

TEST(DmiBus, NoProcBus) {
  mgmt::test::TempRoot root("dmi-bus");
  dmitest::LogCapture log;
  EXPECT_TRUE(Scan().empty());
  EXPECT_EQ(log.Lines(), Strings{"ERROR, SM_Bus::searchSysBus(): error\n"});
}

}  // namespace
