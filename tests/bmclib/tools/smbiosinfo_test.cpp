// smbiosinfo: the platform type and product name decisions on the kept real
// tables, and the installed program on fixture roots, also through the tool
// functions that callers use.
#include "smbiosinfo.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "smbapi.h"
#include "smbiosfixture.h"
#include "support/process.h"

namespace mgmt::smbiosinfo {
namespace {

using test::Bytes;

Sources Fixed(std::optional<Bytes> table, std::optional<uint8_t> ipmiVersion) {
  return {[table] { return table; }, [ipmiVersion] { return ipmiVersion; }};
}

struct Result {
  int status;
  std::string out;
  std::string err;
};

Result RunWith(const std::string& option, const Sources& sources) {
  Result r;
  r.status = Run({option}, sources, r.out, r.err);
  return r;
}

TEST(SmbiosInfo, PlatformTypeFromTheIpmiDeviceStructureOfRealTables) {
  MGMT_REQUIRE_SMBIOS_DATA();
  for (const std::string& name : test::SmbiosDumpNames()) {
    SCOPED_TRACE(name);
    const auto dump = test::LoadSmbiosDump(name);
    const auto version = test::DmidecodeValue(dump.dmidecodeText, 38, "Specification Version");
    // The BMC would answer differently: the table's structure comes first.
    const Result r = RunWith("-t", Fixed(dump.table, 0x51));
    EXPECT_EQ(r.status, 0);
    if (version == "1.0") {
      EXPECT_EQ(r.out, "IPMI10\n");
    } else if (version) {
      EXPECT_EQ(r.out, "IPMI" + *version + "\n");
    } else {
      EXPECT_EQ(r.out, "IPMI15\n");
    }
  }
}

TEST(SmbiosInfo, PlatformTypeWithoutAnIpmiDeviceStructure) {
  MGMT_REQUIRE_SMBIOS_DATA();
  // 07 has probes (types 26-28) and no IPMI device; 14 has neither.
  const Bytes probes = test::LoadSmbiosDump("07-dell-poweredge-1300").table;
  const Bytes plain = test::LoadSmbiosDump("14-vmware-smbios-2.31").table;
  EXPECT_EQ(RunWith("-t", Fixed(probes, 0x02)).out, "IPMI2.0\n");
  EXPECT_EQ(RunWith("-t", Fixed(plain, 0x51)).out, "IPMI15\n");
  EXPECT_EQ(RunWith("-t", Fixed(std::nullopt, 0x01)).out, "IPMI10\n");
  EXPECT_EQ(RunWith("-t", Fixed(probes, std::nullopt)).out, "PNPBIOS\n");

  const Result none = RunWith("-t", Fixed(plain, std::nullopt));
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "");
  EXPECT_NE(none.err, "");
  EXPECT_EQ(RunWith("-t", Fixed(std::nullopt, std::nullopt)).status, 1);

  // A type 38 structure too short for its revision byte says nothing.
  const Bytes shortIpmi =
      test::Concat({test::MakeStructure(38, 1, {0x01}), test::MakeStructure(127, 2, {})});
  EXPECT_EQ(RunWith("-t", Fixed(shortIpmi, 0x02)).out, "IPMI2.0\n");
  EXPECT_EQ(IpmiPlatformType(1, 5), "IPMI15");
  EXPECT_EQ(PlatformTypeFromDeviceId(0x51), "IPMI15");
}

TEST(SmbiosInfo, ProductNameLineAndUsage) {
  MGMT_REQUIRE_SMBIOS_DATA();
  const auto dump = test::LoadSmbiosDump("10-ibm-x3950-m2");
  const Result r = RunWith("-m", Fixed(dump.table, std::nullopt));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Product Name: IBM 3850 M2 / x3950 M2 -[71413RM]-\n");
  EXPECT_EQ(RunWith("-m", Fixed(std::nullopt, 0x02)).status, 1);
  const Bytes noSystem = test::Concat({test::MakeStructure(127, 2, {})});
  EXPECT_EQ(RunWith("-m", Fixed(noSystem, std::nullopt)).out, "");

  for (const std::vector<std::string_view>& args :
       std::vector<std::vector<std::string_view>>{{}, {"-x"}, {"-t", "-m"}, {"t"}}) {
    std::string out;
    std::string err;
    EXPECT_EQ(smbiosinfo::Run(args, Fixed(dump.table, 0x02), out, err), 2);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("usage"), std::string::npos);
  }
}

// The installed program on fixture roots, run the way the agent runs it.
class SmbiosInfoProgram : public ::testing::Test {
 protected:
  void Install(const std::filesystem::path& root, const std::string& dump) {
    const auto loaded = test::LoadSmbiosDump(dump);
    test::WriteFirmwareTables(root, loaded.entryPoint, loaded.table);
    const auto dir = root / "usr/local/share/mgmtagent/smbdrv";
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(SMBIOSINFO_PATH, dir / "smbiosinfo",
                               std::filesystem::copy_options::overwrite_existing);
  }
  Result Program(const std::string& option) {
    const test::RunResult run = test::RunProgram({SMBIOSINFO_PATH, option});
    return {run.status, run.out, run.err};
  }
  test::TempDir dir_;
};

TEST_F(SmbiosInfoProgram, AnswersFromTheTablesUnderTheRoot) {
  MGMT_REQUIRE_SMBIOS_DATA();
  const test::ScopedRoot root(dir_.Path());
  Install(dir_.Path(), "06-dell-poweredge-2650");
  EXPECT_EQ(Program("-t").out, "IPMI10\n");
  EXPECT_EQ(Program("-m").out, "Product Name: PowerEdge 2650             \n");

  char text[smbapi::kToolOutputSize];
  smbapi::GetPlatformType(text);
  EXPECT_STREQ(text, "IPMI10\n");
  smbapi::GetModelName_Trimed(text);
  EXPECT_STREQ(text, "PowerEdge_2650");

  Install(dir_.Path(), "07-dell-poweredge-1300");
  EXPECT_EQ(Program("-t").out, "PNPBIOS\n");

  Install(dir_.Path(), "14-vmware-smbios-2.31");
  const Result none = Program("-t");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "");
  smbapi::GetPlatformType(text);
  EXPECT_STREQ(text, "");

  std::filesystem::remove_all(dir_.Path() / "sys");
  EXPECT_EQ(Program("-m").status, 1);
  smbapi::GetModelName(text);
  EXPECT_STREQ(text, "");
}

}  // namespace
}  // namespace mgmt::smbiosinfo
