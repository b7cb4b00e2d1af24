// The SMBIOS side of libDmiInventoryProvider: the module-wide copy of the firmware's
// structure table, read once from the SMBIOS table driver (/dev/smbdrv) and shared by
// the eight table-based providers, and the string functions they use.
//
// Every walk over the table goes through the bounded walker of platform/smbios, so
// a damaged table from the firmware or a driver can end a walk early but never make
// it read outside the buffer. All state here is guarded by DmiTableMutex(): the
// load, every parse of the table and its release.
#ifndef MGMT_PROVIDERS_DMI_BIOSDEVICEPROVIDER_H
#define MGMT_PROVIDERS_DMI_BIOSDEVICEPROVIDER_H

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>

#include "smbios/walker.h"

namespace Pegasus {

/// Descriptor of /dev/smbdrv; open (non-zero) only while a table load runs.
extern int smbdrv_fd;
/// During a load, the DMI part of the header record; null otherwise.
extern unsigned char* g_pBIOSBuf;
/// The structure table, owned by the module; null when not loaded.
extern unsigned char* g_pBIOSBufContent;
/// Length of the structure table in bytes.
extern std::uint32_t g_nBIOSBufSize;
/// Table-based providers that ran initialize and not yet terminate.
extern int g_nBIOSBufUsedNum;
/// 1 while a table load is in progress.
extern int g_nInitBiosNow;

/// Entries of a structure's string table: entry 0 (the empty text) and 32 strings.
inline constexpr int kDmiStringTableSize = 33;
/// What a string number above the structure's count selects.
inline constexpr const char* kBadStringText = "** Error ** Bad string number";

/// Reads the table through the open smbdrv_fd: 0 when loaded, -1 on any failure
/// (logged; nothing stays allocated). The caller holds DmiTableMutex().
int init_dmiInfo();

/// Fills `strings` (kDmiStringTableSize entries) and `*count` for a structure of the
/// loaded table. Returns the start of the next structure, or null when `structure`
/// is not a whole structure inside the loaded table (then `*count` is 0). A set of
/// more than 32 strings keeps its first 32.
unsigned char* GetDmiStrings(unsigned char* structure, unsigned char** strings, int* count);

/// String `n` of a string table: entry n for 0 <= n <= count (0 is the empty
/// text), kBadStringText otherwise. `structure` is not used.
const char* SelectString(unsigned char* structure, unsigned char** strings, int count, int n);

/// Looks a string up in a handle-keyed list: groups of NUL-terminated strings, each
/// ended by an empty string and headed by a handle written as four or more
/// upper-case hexadecimal digits; an empty group ends the list. For the group of
/// `handle`, the n-th string after the handle (status 0), or null when the group is
/// shorter (status 2). Without such a group, status 1 and the position just past
/// the list's end.
char* GetStringForHandle(unsigned short handle, int n, char* list, int* status);

}  // namespace Pegasus

namespace mgmt::dmi {

/// Guards the table and its globals: the load, every parse and the release.
std::mutex& DmiTableMutex();

/// One driver request: (request number, argument) to the ioctl result.
using DriverRequest = std::function<int(unsigned long request, void* argument)>;

/// init_dmiInfo with the driver requests going to `request` instead of smbdrv_fd.
int LoadDmiTable(const DriverRequest& request);

/// Loads the table from /dev/smbdrv unless it is loaded: true when it is loaded
/// afterwards. Failures are logged with the factory's messages. The caller holds
/// DmiTableMutex().
bool EnsureDmiTableLoaded();

/// Frees the table so that the next load reads it afresh. The caller holds
/// DmiTableMutex().
void DiscardDmiTable();

/// The loaded table as a span (empty when none is loaded).
std::span<const std::uint8_t> LoadedDmiTable();

/// A structure of a table with its string table filled, as the per-class parsers
/// read it. Views into the table, which must outlive it.
class DmiStructure {
 public:
  explicit DmiStructure(const smbios::Structure& structure);

  std::uint8_t Type() const { return structure_.Type(); }
  std::uint8_t Length() const { return structure_.Length(); }
  const smbios::Structure& Raw() const { return structure_; }

  /// Fields read only from inside the formatted area; nullopt otherwise.
  std::optional<std::uint8_t> Byte(std::size_t offset) const { return structure_.Byte(offset); }
  std::optional<std::uint16_t> Word(std::size_t offset) const { return structure_.Word(offset); }
  std::optional<std::uint32_t> Dword(std::size_t offset) const { return structure_.Dword(offset); }

  /// The string whose number stands in the byte at `offset` as SelectString gives
  /// it (the bad-number text for a number above the count), or null when that byte
  /// lies outside the formatted area.
  const char* StringAt(std::size_t offset) const;
  /// String number `n` as SelectString gives it.
  const char* Select(int n) const;
  int StringCount() const { return count_; }

 private:
  smbios::Structure structure_;
  unsigned char* strings_[Pegasus::kDmiStringTableSize];
  int count_ = 0;
};

/// Calls `visit` for every structure of `table` (start and length as parseDmiV2
/// gets them), in order, through the bounded walker.
void ForEachDmiStructure(unsigned char* table, unsigned long length,
                         const std::function<void(const DmiStructure&)>& visit);

}  // namespace mgmt::dmi

#endif
