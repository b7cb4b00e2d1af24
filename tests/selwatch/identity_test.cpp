// The platform model name and system GUID the events carry, from the SMBIOS
// tables kept with the tests (served as /dev/smbdrv from the kernel's export).
#include <gtest/gtest.h>

#include <cstring>

#include "ipmipet.h"
#include "runstate.h"
#include "smbios/walker.h"
#include "smbiosfixture.h"
#include "support/temp_dir.h"

using mgmt::test::Bytes;

namespace {

/// The model name rule: trailing blanks and underscores cut, blanks to "_".
std::string ModelOf(std::string product) {
  while (!product.empty() && (product.back() == ' ' || product.back() == '_')) product.pop_back();
  for (char& c : product) c = c == ' ' ? '_' : c;
  return product;
}

class IdentityTest : public ::testing::Test {
 protected:
  IdentityTest() { std::memset(siUUID, 0, sizeof(siUUID)); }
  ~IdentityTest() override { std::memset(siUUID, 0, sizeof(siUUID)); }
  Bytes Guid() const { return Bytes(siUUID, siUUID + 16); }
  mgmt::test::TempRoot root_{"selwatch-smbios"};
};

}  // namespace

TEST_F(IdentityTest, ModelNameAndGuidOfEveryKeptTable) {
  for (const std::string& name : mgmt::test::SmbiosDumpNames()) {
    SCOPED_TRACE(name);
    const auto dump = mgmt::test::LoadSmbiosDump(name);
    mgmt::test::WriteFirmwareTables(root_.Path(), dump.entryPoint, dump.table);
    std::memset(siUUID, 0, sizeof(siUUID));
    InitModelNameAndUUID();

    const auto product = mgmt::test::DmidecodeValue(dump.dmidecodeText, 1, "Product Name");
    EXPECT_EQ(std::string(g_modelName), ModelOf(product.value_or("")));
    // The GUID is the type 1 structure's bytes 8 to 23 as stored, where it has them.
    const auto system = mgmt::smbios::FindStructure(dump.table, 1);
    ASSERT_TRUE(system.has_value());
    const auto uuid = system->Field(8, 16);
    EXPECT_EQ(Guid(), uuid ? Bytes(uuid->begin(), uuid->end()) : Bytes(16, 0));
  }
}

TEST_F(IdentityTest, ATableLargerThanTheFirstBufferIsReadWhole) {
  // Type 1 at the end of a 20 000-byte table: found only when the whole table
  // was read (a buffer of 8192 bytes holds none of it).
  std::vector<Bytes> parts;
  const std::string filler(200, 'f');
  for (uint16_t h = 0; h < 95; ++h)
    parts.push_back(mgmt::test::MakeStructure(11, h, {1}, {filler}));
  Bytes fields(0x15, 0);
  fields[0] = 1;  // manufacturer: string 1
  fields[1] = 2;  // product name: string 2
  for (int i = 0; i < 16; ++i) fields[4 + i] = static_cast<uint8_t>(0xA0 + i);  // UUID at byte 8
  parts.push_back(mgmt::test::MakeStructure(1, 95, fields, {"Maker", "Rack  Server __"}));
  parts.push_back(mgmt::test::MakeStructure(127, 96, {}));
  Bytes table;
  for (const auto& p : parts) table.insert(table.end(), p.begin(), p.end());
  ASSERT_GT(table.size(), 16384u);
  mgmt::test::WriteFirmwareTables(root_.Path(),
                                  mgmt::test::MakeSmEntryPoint(static_cast<uint16_t>(table.size()),
                                                               static_cast<uint16_t>(parts.size())),
                                  table);
  InitModelNameAndUUID();
  EXPECT_STREQ(g_modelName, "Rack__Server");
  EXPECT_EQ(Guid()[0], 0xA0);
  EXPECT_EQ(Guid()[15], 0xAF);
}

TEST_F(IdentityTest, ASystemStructureTooShortForTheUuidGivesNoGuid) {
  // SMBIOS 2.0: type 1 of length 8, no UUID; the bytes after it are strings.
  const Bytes table =
      mgmt::test::Concat({mgmt::test::MakeStructure(1, 0, {1, 2, 0, 0}, {"Maker", "Tower"}),
                          mgmt::test::MakeStructure(127, 1, {})});
  mgmt::test::WriteFirmwareTables(
      root_.Path(), mgmt::test::MakeSmEntryPoint(static_cast<uint16_t>(table.size()), 2), table);
  InitModelNameAndUUID();
  EXPECT_STREQ(g_modelName, "Tower");
  EXPECT_EQ(Guid(), Bytes(16, 0));
}

TEST_F(IdentityTest, NoSmbiosMeansNoModelNameAndAZeroGuid) {
  std::strcpy(g_modelName, "stale");
  InitModelNameAndUUID();
  EXPECT_STREQ(g_modelName, "");
  EXPECT_EQ(Guid(), Bytes(16, 0));
}
