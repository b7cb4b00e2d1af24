// smbiosinfo: what kind of management platform this machine is, and its product
// name, for the configuration tools and providers.
//
//   smbiosinfo -t   the platform type: from the IPMI device structure (type 38) of
//                   the SMBIOS table ("IPMI15", "IPMI10", or "IPMI" and the version
//                   such as "IPMI2.0"); without one, from the BMC's Get Device ID
//                   answer through /dev/imb; without a BMC, "PNPBIOS" when the table
//                   describes voltage, temperature or cooling probes.
//   smbiosinfo -m   "Product Name: " and the system product name of the table.
// Each prints one line ending in a newline and exits 0, or prints nothing and
// exits 1 when it has nothing to say (the reason goes to standard error).
#ifndef MGMT_BMCLIB_TOOLS_SMBIOSINFO_H
#define MGMT_BMCLIB_TOOLS_SMBIOSINFO_H

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mgmt::smbiosinfo {

/// The platform type of an IPMI version given as major and minor digits.
std::string IpmiPlatformType(unsigned major, unsigned minor);

/// From the table's first IPMI device structure (type 38): its IPMI
/// revision byte holds the major version in the high nibble. nullopt without one.
std::optional<std::string> PlatformTypeFromTable(std::span<const uint8_t> table);

/// From Get Device ID's IPMI version byte, which holds the major version in the
/// low nibble (0x51 is 1.5, 0x02 is 2.0).
std::string PlatformTypeFromDeviceId(uint8_t ipmiVersion);

/// The table describes voltage, temperature or cooling probes (types 26, 27, 28).
bool HasPnpProbes(std::span<const uint8_t> table);

/// What the tool runs on: the SMBIOS table (nullopt when the driver gave none) and
/// Get Device ID's IPMI version byte (nullopt when no BMC answered).
struct Sources {
  std::function<std::optional<std::vector<uint8_t>>()> table;
  std::function<std::optional<uint8_t>()> ipmiVersion;
};

/// The platform type in the order described above, or nullopt.
std::optional<std::string> PlatformType(const Sources& sources);

/// "Product Name: <name>" from the table, or nullopt without a product name.
std::optional<std::string> ProductNameLine(std::span<const uint8_t> table);

/// Runs the tool for `args` (without the program name); writes to `out` and `err`.
/// Returns the exit status: 0 printed, 1 nothing to print, 2 bad usage.
int Run(const std::vector<std::string_view>& args, const Sources& sources, std::string& out,
        std::string& err);

/// The sources of a real run: /dev/smbdrv and /dev/imb through the device seam.
Sources SystemSources();

}  // namespace mgmt::smbiosinfo

#endif
