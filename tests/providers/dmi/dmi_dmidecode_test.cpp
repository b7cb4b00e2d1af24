// Every shared real SMBIOS table through the module (a fixture root per table,
// the emulated /dev/smbdrv over it) against what dmidecode --from-dump prints for
// the same table: instance counts per class and the mapped fields.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "BiosDeviceProvider.h"
#include "BiosProviderMain.h"
#include "dmi_test_util.h"
#include "smbiosfixture.h"
#include "support/provider_driver.h"
#include "support/temp_dir.h"

namespace {

using dmitest::DmidecodeRecord;
using dmitest::Has;
using dmitest::Num;
using dmitest::Str;
using dmitest::Strs;
using dmitest::U16s;
using Pegasus::CIMInstance;
using Codes = std::vector<std::uint16_t>;

// What dmidecode prints for a string the module published as `ours`.
std::string AsDmidecode(const std::optional<std::string>& ours) {
  if (!ours) return "<absent>";
  if (ours->empty()) return "Not Specified";
  if (*ours == Pegasus::kBadStringText) return "<BAD INDEX>";
  return *ours;
}

// "1800 MHz" -> 1800; "Unknown" -> 0.
std::uint64_t Leading(const std::string& text) {
  unsigned long long value = 0;
  return std::sscanf(text.c_str(), "%llu", &value) == 1 ? value : 0;
}

std::optional<std::uint64_t> SizeInBytes(const std::string& text) {
  if (text == "No Module Installed") return 0;
  if (text == "Unknown") return std::nullopt;
  const std::uint64_t n = Leading(text);
  if (text.ends_with(" kB")) return n << 10;
  if (text.ends_with(" MB")) return n << 20;
  if (text.ends_with(" GB")) return n << 30;
  if (text.ends_with(" TB")) return n << 40;
  return std::nullopt;
}

// dmidecode's names of the codes found in the shared tables.
const std::map<std::string, std::uint16_t> kFamilies = {
    {"Other", 0x01},   {"Unknown", 0x02},     {"Pentium Pro", 0x0C}, {"Pentium II", 0x0D},
    {"Celeron", 0x0F}, {"Pentium III", 0x11}, {"Atom", 0x2B},        {"Pentium III Xeon", 0xB0},
    {"Xeon", 0xB3},    {"Xeon MP", 0xB5}};
const std::map<std::string, std::uint16_t> kPortTypes = {{"None", 0x00},
                                                         {"Parallel Port PS/2", 0x02},
                                                         {"Parallel Port ECP/EPP", 0x05},
                                                         {"Serial Port 16550A Compatible", 0x09},
                                                         {"Keyboard Port", 0x0D},
                                                         {"Mouse Port", 0x0E},
                                                         {"USB", 0x10},
                                                         {"SCSI Wide", 0x18},
                                                         {"Video Port", 0x1C},
                                                         {"Audio Port", 0x1D},
                                                         {"Network Port", 0x1F},
                                                         {"Other", 0xFF}};
// CIM connector codes of the connector types dmidecode names.
const std::map<std::string, Codes> kConnectorCodes = {{"None", {}},
                                                      {"Other", {1}},
                                                      {"Proprietary", {77}},
                                                      {"DB-25 female", {24, 3}},
                                                      {"DB-15 female", {23, 3}},
                                                      {"DB-9 male", {22, 2}},
                                                      {"DB-9 female", {22, 3}},
                                                      {"RJ-11", {39}},
                                                      {"RJ-45", {40}},
                                                      {"Mini DIN", {60}},
                                                      {"PS/2", {62}},
                                                      {"Access Bus (USB)", {54}},
                                                      {"Circular DIN-8 male", {90, 59, 2}},
                                                      {"On Board IDE", {91}},
                                                      {"On Board Floppy", {92}},
                                                      {"9 Pin Dual Inline (pin 10 cut)", {93}},
                                                      {"25 Pin Dual Inline (pin 26 cut)", {94}},
                                                      {"68 Pin Dual Inline", {96}},
                                                      {"Mini Centronics Type-14", {69}},
                                                      {"Mini Jack (headphones)", {98}}};
const std::map<std::string, std::uint8_t> kSlotWidths = {
    {"8-bit", 3}, {"16-bit", 4}, {"32-bit", 5}, {"64-bit", 6}, {"128-bit", 7}, {"x1", 8},
    {"x2", 9},    {"x4", 0x0A},  {"x8", 0x0B},  {"x12", 0x0C}, {"x16", 0x0D},  {"x32", 0x0E}};
const std::map<std::string, std::uint8_t> kSlotUsage = {
    {"Other", 1}, {"Unknown", 2}, {"Available", 3}, {"In Use", 4}};
const std::map<std::string, std::uint16_t> kChassisTypes = {{"Other", 1},
                                                            {"Unknown", 2},
                                                            {"Desktop", 3},
                                                            {"Mini Tower", 6},
                                                            {"Tower", 7},
                                                            {"Main Server Chassis", 17},
                                                            {"Rack Mount Chassis", 23}};

template <class Map>
auto Lookup(const Map& map, const std::string& key) -> typename Map::mapped_type {
  const auto it = map.find(key);
  if (it == map.end()) ADD_FAILURE() << "no test mapping for \"" << key << "\"";
  return it == map.end() ? typename Map::mapped_type{} : it->second;
}

void CheckBios(const std::vector<CIMInstance>& got, const std::string& decoded) {
  ASSERT_EQ(got.size(), 1u);
  const auto bios = dmitest::DmidecodeRecords(decoded, 0);
  ASSERT_FALSE(bios.empty());
  EXPECT_EQ(AsDmidecode(Str(got[0], "Manufacturer")), bios[0].Field("Vendor"));
  EXPECT_EQ(AsDmidecode(Str(got[0], "Version")), bios[0].Field("Version"));
  int month = 0, day = 0, year = 0;
  ASSERT_EQ(std::sscanf(bios[0].Field("Release Date").c_str(), "%d/%d/%d", &month, &day, &year), 3);
  if (year < 100) year += year <= 49 ? 2000 : 1900;
  char date[16];
  std::snprintf(date, sizeof date, "%04d%02d%02d", year, month, day);
  EXPECT_EQ(Str(got[0], "ReleaseDate").value_or("").substr(0, 21),
            std::string(date) + "000000.000000");
  const auto languages = dmitest::DmidecodeRecords(decoded, 13);
  if (languages.empty()) {
    EXPECT_FALSE(Has(got[0], "ListOfLanguages"));
  } else {
    EXPECT_EQ(Strs(got[0], "ListOfLanguages"), languages[0].lists.at("Installable Languages"));
  }
}

void CheckProcessors(const std::vector<CIMInstance>& got, const std::string& decoded) {
  std::vector<DmidecodeRecord> populated;
  for (auto& r : dmitest::DmidecodeRecords(decoded, 4)) {
    if (r.Field("Status").starts_with("Populated")) populated.push_back(r);
  }
  ASSERT_EQ(got.size(), populated.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    const auto& cpu = got[i];
    const auto& r = populated[i];
    SCOPED_TRACE("CPU" + std::to_string(i));
    EXPECT_EQ(Str(cpu, "DeviceID"), "CPU" + std::to_string(i));
    EXPECT_EQ(AsDmidecode(Str(cpu, "SocketDesignation")), r.Field("Socket Designation"));
    EXPECT_EQ(AsDmidecode(Str(cpu, "Manufacturer")), r.Field("Manufacturer"));
    EXPECT_EQ(AsDmidecode(Str(cpu, "Version")), r.Field("Version"));
    EXPECT_EQ(Num(cpu, "Family"), Lookup(kFamilies, r.Field("Family")));
    EXPECT_EQ(Num(cpu, "ExtClock"), Leading(r.Field("External Clock")));
    EXPECT_EQ(Num(cpu, "MaxClockSpeed"), Leading(r.Field("Max Speed")));
    EXPECT_EQ(Num(cpu, "CurrentClockSpeed"), Leading(r.Field("Current Speed")));
    // dmidecode: the current voltage as "1.3 V", or the supported ones.
    const std::string voltage = r.Field("Voltage");
    if (const auto current = Num(cpu, "CurrentVoltage")) {
      EXPECT_EQ(voltage,
                std::to_string(*current / 10) + "." + std::to_string(*current % 10) + " V");
    } else {
      const auto caps = Num(cpu, "VoltageCaps").value_or(0);
      std::string expected;
      if (caps & 1) expected += "5.0 V ";
      if (caps & 2) expected += "3.3 V ";
      if (caps & 4) expected += "2.9 V ";
      expected = expected.empty() ? "Unknown" : expected.substr(0, expected.size() - 1);
      EXPECT_EQ(voltage, expected);
    }
    unsigned id[8] = {};
    ASSERT_EQ(std::sscanf(r.Field("ID").c_str(), "%x %x %x %x %x %x %x %x", &id[0], &id[1], &id[2],
                          &id[3], &id[4], &id[5], &id[6], &id[7]),
              8);
    char processorId[24];
    std::snprintf(processorId, sizeof processorId, "%x%x",
                  id[4] | id[5] << 8 | id[6] << 16 | id[7] << 24,
                  id[0] | id[1] << 8 | id[2] << 16 | id[3] << 24);
    EXPECT_EQ(Str(cpu, "ProcessorId"), processorId);
  }
}

void CheckMemory(const std::vector<CIMInstance>& got, const std::string& decoded) {
  const auto devices = dmitest::DmidecodeRecords(decoded, 17);
  ASSERT_EQ(got.size(), devices.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    const auto& m = got[i];
    const auto& r = devices[i];
    SCOPED_TRACE("memory device " + std::to_string(i));
    EXPECT_EQ(AsDmidecode(Str(m, "DeviceLocator")), r.Field("Locator"));
    EXPECT_EQ(AsDmidecode(Str(m, "BankLabel")), r.Field("Bank Locator"));
    EXPECT_EQ(Num(m, "Capacity"), SizeInBytes(r.Field("Size")));
    // dmidecode calls both 0 and 0xFFFF an unknown width.
    for (const auto& [property, field] :
         {std::pair{"TotalWidth", "Total Width"}, std::pair{"DataWidth", "Data Width"}}) {
      const auto width = Num(m, property).value_or(1);
      if (r.Field(field) == "Unknown") {
        EXPECT_TRUE(width == 0 || width == 0xFFFF) << property << " " << width;
      } else {
        EXPECT_EQ(width, Leading(r.Field(field))) << property;
      }
    }
    // dmidecode leaves out the speed of an empty socket; the module publishes it
    // whenever the structure has the field.
    if (r.fields.count("Speed")) {
      EXPECT_EQ(Num(m, "Speed"), Leading(r.Field("Speed")));
    } else if (r.Field("Size") != "No Module Installed") {
      EXPECT_FALSE(Has(m, "Speed")) << "structure of " << r.length << " bytes";
    }
  }
}

void CheckPorts(const std::vector<CIMInstance>& got, const std::string& decoded) {
  const auto ports = dmitest::DmidecodeRecords(decoded, 8);
  ASSERT_EQ(got.size(), ports.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    const auto& p = got[i];
    const auto& r = ports[i];
    SCOPED_TRACE("port " + std::to_string(i));
    EXPECT_EQ(Str(p, "Tag"), "Port Connector " + std::to_string(i));
    EXPECT_EQ(AsDmidecode(Str(p, "InternalReferenceDesignator")),
              r.Field("Internal Reference Designator"));
    EXPECT_EQ(AsDmidecode(Str(p, "ExternalReferenceDesignator")),
              r.Field("External Reference Designator"));
    Codes codes = Lookup(kConnectorCodes, r.Field("Internal Connector Type"));
    const Codes external = Lookup(kConnectorCodes, r.Field("External Connector Type"));
    codes.insert(codes.end(), external.begin(), external.end());
    EXPECT_EQ(U16s(p, "ConnectorType").value_or(Codes{}), codes);
    EXPECT_EQ(Num(p, "PortType"), Lookup(kPortTypes, r.Field("Port Type")));
  }
}

void CheckSlots(const std::vector<CIMInstance>& got, const std::string& decoded) {
  const auto slots = dmitest::DmidecodeRecords(decoded, 9);
  ASSERT_EQ(got.size(), slots.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    const auto& s = got[i];
    const auto& r = slots[i];
    SCOPED_TRACE("slot " + std::to_string(i));
    EXPECT_EQ(AsDmidecode(Str(s, "SlotDesignation")), r.Field("Designation"));
    // dmidecode prints the bus width (when known) before the slot type.
    std::string type = r.Field("Type");
    const auto blank = type.find(' ');
    if (blank != std::string::npos && kSlotWidths.count(type.substr(0, blank))) {
      EXPECT_EQ(Num(s, "MaxDataWidth"), kSlotWidths.at(type.substr(0, blank)));
      type = type.substr(blank + 1);
    }
    Codes codes{1};
    bool numbered = false;
    if (type == "ISA") codes = {45};
    if (type == "PCI") codes = {44}, numbered = true;
    if (type == "PCI-66") codes = {81}, numbered = true;
    if (type == "PCI-X") numbered = true;
    if (type == "Proprietary") codes = {77};
    if (type == "Processor Card") codes = {78};
    if (type == "Proprietary Memory Card") codes = {79};
    if (type == "I/O Riser Card") codes = {80};
    EXPECT_EQ(U16s(s, "ConnectorType"), codes) << type;
    EXPECT_EQ(Has(s, "OtherIdentifyingInfo"), codes == Codes{1}) << type;
    EXPECT_EQ(Has(s, "Number"), numbered) << type;
    if (numbered) {
      EXPECT_EQ(Num(s, "Number").value_or(0) & 0xFF, Leading(r.Field("ID")));
    }
    EXPECT_EQ(Num(s, "CurrentUsage"), Lookup(kSlotUsage, r.Field("Current Usage")));
  }
}

void CheckIdentity(const std::vector<CIMInstance>& products, const std::vector<CIMInstance>& boards,
                   const std::vector<CIMInstance>& chassis, const std::string& decoded) {
  const auto systems = dmitest::DmidecodeRecords(decoded, 1);
  ASSERT_EQ(products.size(), systems.size());
  for (std::size_t i = 0; i < products.size(); ++i) {
    const auto& p = products[i];
    const auto& r = systems[i];
    EXPECT_EQ(AsDmidecode(Str(p, "Vendor")), r.Field("Manufacturer"));
    EXPECT_EQ(AsDmidecode(Str(p, "Name")), r.Field("Product Name"));
    EXPECT_EQ(AsDmidecode(Str(p, "Version")), r.Field("Version"));
    EXPECT_EQ(AsDmidecode(Str(p, "IdentifyingNumber")), r.Field("Serial Number"));
    if (!r.fields.count("UUID")) {
      EXPECT_FALSE(Has(p, "UUID"));
      continue;
    }
    // dmidecode shows the first three fields little-endian from SMBIOS 2.6 on and
    // in stored order before; the module always reads them little-endian.
    std::string uuid = r.Field("UUID");
    if (uuid == "Not Present") uuid = "ffffffff-ffff-ffff-ffff-ffffffffffff";
    if (uuid == "Not Settable") uuid = "00000000-0000-0000-0000-000000000000";
    if (dmitest::DmidecodeVersion(decoded) < 206) {
      const auto swap = [&](std::size_t at, std::size_t bytes) {
        std::string s = uuid.substr(at, bytes * 2);
        for (std::size_t b = 0; b < bytes; ++b)
          uuid.replace(at + 2 * b, 2, s.substr(2 * (bytes - 1 - b), 2));
      };
      swap(0, 4), swap(9, 2), swap(14, 2);
    }
    for (char& c : uuid) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(Str(p, "UUID"), uuid);
  }

  const auto baseBoards = dmitest::DmidecodeRecords(decoded, 2);
  ASSERT_EQ(boards.size(), baseBoards.size());
  for (std::size_t i = 0; i < boards.size(); ++i) {
    const auto& b = boards[i];
    const auto& r = baseBoards[i];
    EXPECT_EQ(Str(b, "Tag"), i == 0 ? "Base Board" : "Base Board " + std::to_string(i + 1));
    EXPECT_EQ(AsDmidecode(Str(b, "Manufacturer")), r.Field("Manufacturer"));
    EXPECT_EQ(AsDmidecode(Str(b, "Model")), r.Field("Product Name"));
    EXPECT_EQ(AsDmidecode(Str(b, "Version")), r.Field("Version"));
    EXPECT_EQ(AsDmidecode(Str(b, "SerialNumber")), r.Field("Serial Number"));
  }

  const auto enclosures = dmitest::DmidecodeRecords(decoded, 3);
  ASSERT_EQ(chassis.size(), enclosures.size());
  for (std::size_t i = 0; i < chassis.size(); ++i) {
    const auto& c = chassis[i];
    const auto& r = enclosures[i];
    EXPECT_EQ(AsDmidecode(Str(c, "Manufacturer")), r.Field("Manufacturer"));
    EXPECT_EQ(U16s(c, "ChassisTypes"), Codes{Lookup(kChassisTypes, r.Field("Type"))});
    EXPECT_EQ(AsDmidecode(Str(c, "Version")), r.Field("Version"));
    EXPECT_EQ(AsDmidecode(Str(c, "SerialNumber")), r.Field("Serial Number"));
    EXPECT_EQ(AsDmidecode(Str(c, "Tag")), r.Field("Asset Tag"));
  }
}

class DmiAgainstDmidecode : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    const std::lock_guard lock(mgmt::dmi::DmiTableMutex());
    mgmt::dmi::DiscardDmiTable();
  }
};

TEST_P(DmiAgainstDmidecode, EveryClassMatches) {
  MGMT_REQUIRE_SMBIOS_DATA();
  const auto dump = mgmt::test::LoadSmbiosDump(GetParam());
  mgmt::test::TempRoot root("dmi-table");
  mgmt::test::WriteFirmwareTables(root.Path(), dump.entryPoint, dump.table);
  const std::string decoded =
      mgmt::test::DmidecodeFromDump(mgmt::test::SmbiosDataDir() / (GetParam() + ".bin"));

  std::map<std::string, std::vector<CIMInstance>> got;
  std::vector<std::unique_ptr<mgmt::test::ProviderDriver>> providers;
  for (const char* name :
       {"SM_BIOSElement", "SM_Processor", "SM_PhysicalMemory", "SM_PortConnector", "SM_SystemSlot",
        "SM_ComputerSystemProduct", "SM_BaseBoard", "SM_Chassis"}) {
    providers.push_back(std::make_unique<mgmt::test::ProviderDriver>(PegasusCreateProvider(name)));
    ASSERT_NE(providers.back()->Get(), nullptr) << name;
    got[name] = providers.back()->Instances(name);
  }
  CheckBios(got["SM_BIOSElement"], decoded);
  CheckProcessors(got["SM_Processor"], decoded);
  CheckMemory(got["SM_PhysicalMemory"], decoded);
  CheckPorts(got["SM_PortConnector"], decoded);
  CheckSlots(got["SM_SystemSlot"], decoded);
  CheckIdentity(got["SM_ComputerSystemProduct"], got["SM_BaseBoard"], got["SM_Chassis"], decoded);
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = info.param;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

// Without the shared tables there is nothing to instantiate; the suite is skipped.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(DmiAgainstDmidecode);
INSTANTIATE_TEST_SUITE_P(SharedTables, DmiAgainstDmidecode,
                         ::testing::ValuesIn(mgmt::test::SmbiosDumpNames()), TestName);

}  // namespace
