// Test helpers for everything that reads SMBIOS: the real tables of the shared test
// data (dmidecode dumps with dmidecode's output beside each, read in place from
// MGMT_SMBIOS_DATA_DIR, by default ../shared/data/smbios beside the checkout),
// installation roots made from them, synthetic tables, and dmidecode's view of a
// dump. Temporary directories and roots: support/temp_dir.h.
#ifndef MGMT_TESTS_PLATFORM_SMBIOSFIXTURE_H
#define MGMT_TESTS_PLATFORM_SMBIOSFIXTURE_H

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "support/temp_dir.h"

/// First statement of a test that reads the real tables: skips it without them.
#define MGMT_REQUIRE_SMBIOS_DATA()                                                  \
  do {                                                                              \
    if (!::mgmt::test::SmbiosDataAvailable())                                       \
      GTEST_SKIP() << "no real SMBIOS tables in " << ::mgmt::test::SmbiosDataDir(); \
  } while (0)

namespace mgmt::test {

using Bytes = std::vector<uint8_t>;

/// A dmidecode dump split into what the kernel would export.
struct SmbiosDump {
  std::string name;  ///< file name without ".bin", e.g. "04-dell-poweredge-r630"
  Bytes entryPoint;  ///< as many bytes as the entry point's length byte says
  Bytes table;       ///< everything from offset 0x20
  /// dmidecode's output for the dump, kept beside it.
  std::string dmidecodeText;
};

/// Folder of the real tables (the build's MGMT_SMBIOS_DATA_DIR).
std::filesystem::path SmbiosDataDir();
/// True when that folder holds at least one dump. The tables are shared test data
/// kept outside the project, so a checkout without them skips the tests that read
/// them (MGMT_REQUIRE_SMBIOS_DATA) instead of failing.
bool SmbiosDataAvailable();
/// Every dump there, in name order (none when the folder is absent).
std::vector<std::string> SmbiosDumpNames();
SmbiosDump LoadSmbiosDump(const std::string& name);

/// The bytes as text, for the file writers of support/temp_dir.h.
std::string_view AsText(const Bytes& bytes);

/// Writes sys/firmware/dmi/tables/{smbios_entry_point,DMI} under `root`.
void WriteFirmwareTables(const std::filesystem::path& root, const Bytes& entryPoint,
                         const Bytes& table);

/// One "Handle 0x...., DMI type N, L bytes" line of dmidecode's output.
struct DecodedStructure {
  uint16_t handle;
  int type;
  int length;
  bool operator==(const DecodedStructure&) const = default;
};
std::ostream& operator<<(std::ostream& out, const DecodedStructure& s);
std::vector<DecodedStructure> DecodedStructures(const std::string& dmidecodeText);

/// The value dmidecode prints after "\t<key>: " in the first record of `type`
/// ("Handle ..., DMI type <type>") that has it, or nullopt.
std::optional<std::string> DmidecodeValue(const std::string& dmidecodeText, int type,
                                          const std::string& key);

/// Runs `dmidecode --from-dump FILE` plus `extraArgs`; its standard output.
std::string DmidecodeFromDump(const std::filesystem::path& dump,
                              const std::vector<std::string>& extraArgs = {});

/// A dump file as dmidecode reads it: the entry point at 0 with its table address
/// set to 0x20 and its checksums made valid, the table from 0x20.
Bytes AssembleDump(Bytes entryPoint, const Bytes& table);

/// Builds a structure: `formatted` (type, length byte and handle filled in from the
/// arguments, then `fields`) followed by `strings` and the closing NULs.
Bytes MakeStructure(uint8_t type, uint16_t handle, const Bytes& fields,
                    std::initializer_list<std::string_view> strings = {});
/// Concatenates structures into a table.
Bytes Concat(std::initializer_list<Bytes> parts);

/// Entry points for synthetic tables, checksums valid.
Bytes MakeSmEntryPoint(uint16_t tableLength, uint16_t structureCount, uint8_t major = 2,
                       uint8_t minor = 8);
Bytes MakeSm3EntryPoint(uint32_t maximumSize, uint8_t major = 3, uint8_t minor = 2);

/// True when the bytes of `span` sum to 0 modulo 256.
bool ChecksumValid(const uint8_t* bytes, size_t count);

}  // namespace mgmt::test

#endif
