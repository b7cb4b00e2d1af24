// SMBIOS access functions: identity from every kept real table against dmidecode,
// the string and walk functions on synthetic tables, and the tool functions with a
// stand-in tool.
#include "smbapi.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "smbiosfixture.h"

namespace {

using mgmt::test::Bytes;
using mgmt::test::Concat;
using mgmt::test::MakeStructure;

// The UUID as dmidecode prints it: from SMBIOS 2.6 on, the first three fields are
// little-endian; dmidecode reads the versions 2.31 and 2.33 of old firmware as 2.3.
std::string FormatUuid(const unsigned char* u, int major, int minor) {
  if (std::all_of(u, u + 16, [](unsigned char b) { return b == 0xFF; })) return "Not Present";
  if (std::all_of(u, u + 16, [](unsigned char b) { return b == 0x00; })) return "Not Settable";
  if (major == 2 && (minor == 0x1F || minor == 0x21)) minor = 3;
  const bool swapped = major > 2 || (major == 2 && minor >= 6);
  char text[40];
  if (swapped) {
    std::snprintf(text, sizeof text,
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", u[3],
                  u[2], u[1], u[0], u[5], u[4], u[7], u[6], u[8], u[9], u[10], u[11], u[12], u[13],
                  u[14], u[15]);
  } else {
    std::snprintf(text, sizeof text,
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", u[0],
                  u[1], u[2], u[3], u[4], u[5], u[6], u[7], u[8], u[9], u[10], u[11], u[12], u[13],
                  u[14], u[15]);
  }
  return text;
}

// dmidecode's text for a string field: "Not Specified" when it has no string.
std::optional<std::string> AsDmidecodePrints(const char* text) {
  if (text == nullptr) return std::nullopt;
  return *text == '\0' ? "Not Specified" : std::string(text);
}

class SmbapiTest : public ::testing::Test {
 protected:
  mgmt::test::TempDir dir_;
  mgmt::test::ScopedRoot root_{dir_.Path()};
};

TEST_F(SmbapiTest, IdentityOfEveryRealTableMatchesDmidecode) {
  MGMT_REQUIRE_SMBIOS_DATA();
  for (const std::string& name : mgmt::test::SmbiosDumpNames()) {
    SCOPED_TRACE(name);
    const auto dump = mgmt::test::LoadSmbiosDump(name);
    mgmt::test::WriteFirmwareTables(dir_.Path(), dump.entryPoint, dump.table);

    const int fd = OpenSBMiosDrv();
    ASSERT_GE(fd, 0);
    unsigned char header[SMBIOS_HEADER_SIZE];
    ASSERT_EQ(GetSMHeader(fd, header, sizeof header), 64);
    auto table = mgmt::smbapi::ReadTable(fd);
    CloseSBMiosDrv(fd);
    ASSERT_TRUE(table);
    const int length = static_cast<int>(table->size());

    EXPECT_EQ(AsDmidecodePrints(GetProductName(table->data(), length)),
              mgmt::test::DmidecodeValue(dump.dmidecodeText, 1, "Product Name"));
    EXPECT_EQ(AsDmidecodePrints(GetModelName(table->data(), length)),
              mgmt::test::DmidecodeValue(dump.dmidecodeText, 2, "Product Name"));

    unsigned char uuid[16];
    std::memset(uuid, 0xA5, sizeof uuid);
    const auto expected = mgmt::test::DmidecodeValue(dump.dmidecodeText, 1, "UUID");
    if (expected) {
      ASSERT_EQ(GetUUID(uuid, table->data(), length), 1);
      EXPECT_EQ(FormatUuid(uuid, header[6], header[7]), *expected);
    } else {
      EXPECT_EQ(GetUUID(uuid, table->data(), length), 0);
      EXPECT_EQ(uuid[0], 0xA5);
    }
  }
}

TEST_F(SmbapiTest, TableIsReadOnlyIntoABufferThatHoldsIt) {
  Bytes system(0x15, 0x11);
  system[1] = 1;  // product name: string 1
  const Bytes table = Concat({MakeStructure(1, 1, system, {"Box"}),
                              MakeStructure(200, 2, Bytes(3000, 0x22)), MakeStructure(127, 3, {})});
  mgmt::test::WriteFirmwareTables(dir_.Path(), mgmt::test::MakeSmEntryPoint(table.size(), 3),
                                  table);
  const int fd = OpenSBMiosDrv();
  ASSERT_GE(fd, 0);
  Bytes small(64, 0xCC);
  EXPECT_EQ(GetSMTable(fd, small.data(), 64), static_cast<int>(table.size()));
  EXPECT_EQ(small, Bytes(64, 0xCC));  // nothing read
  Bytes whole(table.size(), 0xCC);
  EXPECT_EQ(GetSMTable(fd, whole.data(), static_cast<int>(whole.size())),
            static_cast<int>(table.size()));
  EXPECT_EQ(whole, table);
  unsigned char header[63];
  EXPECT_EQ(GetSMHeader(fd, header, sizeof header), -1);
  CloseSBMiosDrv(fd);

  // Larger than the first buffer offered: read again with the announced length.
  Bytes many;
  for (int i = 0; i < 40; ++i) {
    const Bytes s = MakeStructure(200, static_cast<uint16_t>(10 + i), Bytes(250, 0x33));
    many.insert(many.end(), s.begin(), s.end());
  }
  const Bytes large = Concat({many, table});
  ASSERT_GT(large.size(), 8192u);
  mgmt::test::WriteFirmwareTables(dir_.Path(), mgmt::test::MakeSmEntryPoint(large.size(), 43),
                                  large);
  auto read = mgmt::smbapi::ReadTable();
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, large);
  EXPECT_STREQ(GetProductName(read->data(), static_cast<int>(read->size())), "Box");

  // No driver and no exported tables.
  std::filesystem::remove_all(dir_.Path() / "sys");
  EXPECT_EQ(OpenSBMiosDrv(), -1);
  EXPECT_FALSE(mgmt::smbapi::ReadTable());
}

TEST(SmbapiStrings, StringListsAndSelection) {
  Bytes table =
      Concat({MakeStructure(3, 0x300, {1, 2}, {"Chassis Maker", "Tower"}),
              MakeStructure(32, 0x2000, {0, 0, 0, 0, 0, 0, 0}), MakeStructure(127, 0x7F00, {})});
  const int length = static_cast<int>(table.size());
  char* strings[SMBIOS_STRING_LIST_SIZE];
  int count = -1;

  unsigned char* chassis = GetDmiSturct(3, table.data(), 0, length);
  ASSERT_EQ(chassis, table.data());
  unsigned char* next = GetDmiStrings(chassis, strings, &count);
  EXPECT_EQ(count, 2);
  EXPECT_STREQ(SelectString(strings, count, 0), "");
  EXPECT_STREQ(SelectString(strings, count, 2), "Tower");
  EXPECT_STREQ(SelectString(strings, count, 3), "** Error ** Bad string number");

  // No strings: count 0, and the next structure starts two bytes after the
  // formatted area.
  ASSERT_EQ(next, GetDmiSturct(32, table.data(), 0, length));
  unsigned char* after = GetDmiStrings(next, strings, &count);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(after, next + next[1] + 2);
  EXPECT_STREQ(SelectString(strings, count, 1), "** Error ** Bad string number");

  // The bounded form gives the same, and refuses what is not wholly inside.
  EXPECT_EQ(mgmt::smbapi::GetStructureStrings(table.data(), length, chassis, strings, &count),
            next);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(mgmt::smbapi::GetStructureStrings(table.data(), length - 1, after, strings, &count),
            nullptr);
  EXPECT_EQ(count, 0);

  // A search never returns a structure that is cut off by `end`, nor one before
  // `start`.
  EXPECT_EQ(GetDmiSturct(32, table.data(), 0, static_cast<int>(next - table.data()) + 5), nullptr);
  EXPECT_EQ(GetDmiSturct(3, table.data(), static_cast<int>(next - table.data()), length), nullptr);
  EXPECT_EQ(GetDmiSturct(3, nullptr, 0, length), nullptr);
}

TEST(SmbapiStrings, MoreThan32StringsEndTheUnboundedScanButNotTheBoundedOne) {
  Bytes many = {11, 5, 1, 0, 33};
  for (int i = 1; i <= 33; ++i) {
    const std::string text = "s" + std::to_string(i);
    many.insert(many.end(), text.begin(), text.end());
    many.push_back(0);
  }
  many.push_back(0);
  Bytes table = Concat({many, MakeStructure(127, 2, {})});
  char* strings[SMBIOS_STRING_LIST_SIZE];
  int count = 0;
  EXPECT_EQ(GetDmiStrings(table.data(), strings, &count), nullptr);
  EXPECT_EQ(count, 32);
  EXPECT_STREQ(strings[32], "s32");
  EXPECT_EQ(mgmt::smbapi::GetStructureStrings(table.data(), static_cast<int>(table.size()),
                                              table.data(), strings, &count),
            table.data() + many.size());
  EXPECT_EQ(count, 32);
  EXPECT_EQ(GetDmiSturct(127, table.data(), 0, static_cast<int>(table.size())),
            table.data() + many.size());
}

TEST(SmbapiIdentity, FieldsAreReadOnlyFromLongEnoughStructures) {
  unsigned char uuid[16];
  std::memset(uuid, 0x5A, sizeof uuid);
  Bytes uuidBytes(16);
  for (int i = 0; i < 16; ++i) uuidBytes[i] = static_cast<uint8_t>(i + 1);

  // Length 8 (SMBIOS 2.0) and 0x18 (UUID present, but a structure of that length
  // is not one that carries it): the output stays as it was.
  for (size_t fields : {4u, 0x14u}) {
    Bytes f(fields, 0);
    f[1] = 1;  // product name: string 1
    if (fields > 4) std::copy(uuidBytes.begin(), uuidBytes.end(), f.begin() + 4);
    Bytes table = Concat({MakeStructure(1, 1, f, {"Model"}), MakeStructure(127, 2, {})});
    EXPECT_EQ(GetUUID(uuid, table.data(), static_cast<int>(table.size())), 0);
    EXPECT_EQ(uuid[0], 0x5A);
    EXPECT_STREQ(GetProductName(table.data(), static_cast<int>(table.size())), "Model");
  }
  Bytes f(0x15, 0);
  f[1] = 3;  // a string number beyond the set
  std::copy(uuidBytes.begin(), uuidBytes.end(), f.begin() + 4);
  Bytes table = Concat({MakeStructure(1, 1, f, {"Model"}), MakeStructure(127, 2, {})});
  EXPECT_EQ(GetUUID(uuid, table.data(), static_cast<int>(table.size())), 1);
  EXPECT_EQ(Bytes(uuid, uuid + 16), uuidBytes);
  EXPECT_EQ(GetProductName(table.data(), static_cast<int>(table.size())), nullptr);
  EXPECT_EQ(GetModelName(table.data(), static_cast<int>(table.size())), nullptr);

  // A product name byte outside a short structure (length 5) is not read.
  Bytes shortOne = Concat({Bytes{1, 5, 1, 0, 1, 'X', 0, 0}, MakeStructure(127, 2, {})});
  EXPECT_EQ(GetProductName(shortOne.data(), static_cast<int>(shortOne.size())), nullptr);
  // A table cut inside the strings of its only type 1 structure has none.
  EXPECT_EQ(GetProductName(table.data(), 30), nullptr);
  EXPECT_EQ(GetUUID(uuid, table.data(), 30), 0);
}

// The tool functions with a stand-in tool at the installed path that prints
// `line` and records its arguments.
class SmbapiToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A root whose path a shell would split and expand: the tool must be run
    // without one.
    root_ = dir_.Path() / "root $(touch pwned) ;x";
    std::filesystem::create_directories(root_ / "usr/local/share/mgmtagent/smbdrv");
    scoped_ = std::make_unique<mgmt::test::ScopedRoot>(root_);
  }
  void InstallTool(const std::string& output) {
    const auto tool = root_ / "usr/local/share/mgmtagent/smbdrv/smbiosinfo";
    {
      std::ofstream script(tool);
      script << "#!/bin/sh\necho \"$@\" >\"$MGMTAGENT_ROOT/args\"\nprintf '%s' '" << output
             << "'\n";
    }
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
  }
  std::string Args() {
    std::ifstream in(root_ / "args");
    std::string line;
    std::getline(in, line);
    return line;
  }

  mgmt::test::TempDir dir_;
  std::filesystem::path root_;
  std::unique_ptr<mgmt::test::ScopedRoot> scoped_;
};

TEST_F(SmbapiToolTest, PlatformTypeIsTheToolsFirstLine) {
  InstallTool("IPMI2.0\nsecond line\n");
  char out[256];
  std::memset(out, 'x', sizeof out);
  mgmt::smbapi::GetPlatformType(out);
  EXPECT_STREQ(out, "IPMI2.0\n");
  EXPECT_EQ(Args(), "-t");
  EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "pwned"));
  EXPECT_FALSE(std::filesystem::exists("pwned"));

  InstallTool(std::string(300, 'A'));
  mgmt::smbapi::GetPlatformType(out);
  EXPECT_EQ(std::string(out), std::string(255, 'A'));

  // A tool that prints nothing, or none at all: empty, never a stale answer.
  InstallTool("");
  mgmt::smbapi::GetPlatformType(out);
  EXPECT_STREQ(out, "");
  InstallTool("PNPBIOS\n");
  mgmt::smbapi::GetPlatformType(out);
  std::filesystem::remove(root_ / "usr/local/share/mgmtagent/smbdrv/smbiosinfo");
  mgmt::smbapi::GetPlatformType(out);
  EXPECT_STREQ(out, "");
}

TEST_F(SmbapiToolTest, OutputFileIsNeverWrittenThroughALink) {
  InstallTool("IPMI2.0\n");
  const auto victim = dir_.Write("victim", "precious\n");
  const auto file = root_ / "usr/local/share/mgmtagent/smbdrv/platformtype";
  char out[256];
  for (const bool hard : {false, true}) {
    std::filesystem::remove(file);
    if (hard) {
      std::filesystem::create_hard_link(victim, file);
    } else {
      std::filesystem::create_symlink(victim, file);
    }
    mgmt::smbapi::GetPlatformType(out);
    EXPECT_EQ(mgmt::test::ReadFile(victim), "precious\n");
  }
}

TEST_F(SmbapiToolTest, ModelNameFollowsThePrefix) {
  char out[256];
  InstallTool("Product Name: Rack  Server __\n");
  mgmt::smbapi::GetModelName(out);
  EXPECT_STREQ(out, "Rack  Server __\n");
  EXPECT_EQ(Args(), "-m");
  mgmt::smbapi::GetModelName_Trimed(out);
  EXPECT_STREQ(out, "Rack__Server");

  InstallTool("Product Name: \n");
  mgmt::smbapi::GetModelName_Trimed(out);
  EXPECT_STREQ(out, "");
  InstallTool("Product Name: ");
  mgmt::smbapi::GetModelName(out);
  EXPECT_STREQ(out, "");
  InstallTool("Product Name: Corvid Ash");
  mgmt::smbapi::GetModelName_Trimed(out);
  EXPECT_STREQ(out, "Corvid_Ash");
}

}  // namespace
