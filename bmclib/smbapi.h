// SMBIOS access and platform identity.
//
// Driver side (plain C names): read the SMBIOS structure table through the SMBIOS
// table driver at /dev/smbdrv (a kernel driver, or the device seam serving it from
// the tables the kernel exports) and pick single values out of it: the system
// product name, the base board's product name and the system UUID. Every walk over
// a table is bounded by the table's length (platform/smbios/walker.h): a structure
// that does not fit, a length byte under 4 or a string set without its end stops
// it, and a field is read only from inside its structure's formatted area.
//
// Tool side (namespace mgmt::smbapi, so the tool's GetModelName does not clash
// with the driver side's): ask the installed tool smbiosinfo for the platform type
// and the model name through files under /usr/local/share/mgmtagent/smbdrv/. The
// tool is started directly (no shell) with its output sent to the file.
#ifndef MGMT_BMCLIB_SMBAPI_H
#define MGMT_BMCLIB_SMBAPI_H

#ifdef __cplusplus
#include <cstddef>
#include <optional>
#include <vector>
extern "C" {
#endif

/** Size of the header buffer GetSMHeader fills. */
#define SMBIOS_HEADER_SIZE 64
/** Entries of a string list: entry 0 (the empty text) and up to 32 strings. */
#define SMBIOS_STRING_LIST_SIZE 33
/** What SelectString gives for a string number above the count. */
#define SMBIOS_BAD_STRING_TEXT "** Error ** Bad string number"

/** Opens "/dev/smbdrv" read-only: the descriptor, or -1. */
int OpenSBMiosDrv(void);

/** Closes a descriptor from OpenSBMiosDrv. */
void CloseSBMiosDrv(int fd);

/**
 * Zeroes the first 64 bytes of `buf` and fills them with the driver's header
 * record (request 1).
 * @return 64, or -1 when `size` is below 64 or the request fails.
 */
int GetSMHeader(int fd, unsigned char* buf, int size);

/**
 * Reads the header and, when `buf` holds at least the table length it announces,
 * the structure table into `buf` (request 2).
 * @return the table length; the table was read only when `size` was at least
 *         that long (otherwise the caller retries with a buffer of that length).
 *         -1 when a request fails or the header is not a legacy record this
 *         reader understands (a raw "_SM3_" record is refused, not misread).
 */
int GetSMTable(int fd, unsigned char* buf, int size);

/**
 * The first structure of `type` starting between `start` and `end` (offsets into
 * `table`; `end` is the table's length), or null. Only structures that lie wholly
 * before `end` are found.
 */
unsigned char* GetDmiSturct(unsigned char type, unsigned char* table, int start, int end);

/**
 * Fills `strings` (SMBIOS_STRING_LIST_SIZE entries: entry 0 the empty text,
 * entries 1 to *count the structure's strings) and `*count` (0 to 32).
 * @return the start of the next structure, or null when 32 strings were read
 *         without reaching the end of the set.
 * Without a table length, the scan trusts that the set ends inside the caller's
 * buffer, as it does for a structure found by GetDmiSturct or GetStructureStrings.
 */
unsigned char* GetDmiStrings(unsigned char* structure, char** strings, int* count);

/** String `n` of a list: entry n for 0 <= n <= count (0 is the empty text), else
 *  SMBIOS_BAD_STRING_TEXT. */
const char* SelectString(char** strings, int count, int n);

/** Product name of the system information structure (type 1, string number at
 *  byte 5), or null when there is none or the number names no string. */
const char* GetProductName(unsigned char* table, int length);

/** Product name of the base board structure (type 2, string number at byte 5),
 *  or null. */
const char* GetModelName(unsigned char* table, int length);

/** Copies the 16 UUID bytes (offsets 8 to 23) of the system information
 *  structure to `uuid`, as the firmware stores them. Only a structure long enough
 *  to have them (length 0x19 or more) is used; otherwise `uuid` is left as it is.
 *  @return 1 when copied, 0 when not. */
int GetUUID(unsigned char* uuid, unsigned char* table, int length);

#ifdef __cplusplus
}

namespace mgmt::smbapi {

/// Reads the whole table through an open driver descriptor, retrying with the
/// length the driver announced when the first buffer was too small. nullopt when
/// the driver fails or its header is not understood.
std::optional<std::vector<unsigned char>> ReadTable(int fd);

/// Opens the driver, reads the table and closes the driver again.
std::optional<std::vector<unsigned char>> ReadTable();

/// Bounded form of GetDmiStrings for a structure inside `table` of `length`
/// bytes: fills the list the same way (a set of more than 32 strings keeps the
/// first 32) and returns the start of the next structure, or null when the
/// structure does not lie wholly inside the table.
unsigned char* GetStructureStrings(unsigned char* table, int length, unsigned char* structure,
                                   char** strings, int* count);

/// Where the tool and its output files are.
inline constexpr const char* kSmbiosInfoPath = "/usr/local/share/mgmtagent/smbdrv/smbiosinfo";
inline constexpr const char* kPlatformTypeFile = "/usr/local/share/mgmtagent/smbdrv/platformtype";
inline constexpr const char* kModelNameFile = "/usr/local/share/mgmtagent/smbdrv/modelname";
/// Room the tool functions need in their output.
inline constexpr size_t kToolOutputSize = 256;

/// Runs "smbiosinfo -t" with its output in the platform type file and copies the
/// file's first line (at most 255 characters, line end included when present)
/// into `output` (at least 256 bytes). Empty when the tool or file gives nothing.
void GetPlatformType(char* output);

/// Runs "smbiosinfo -m" with its output in the model name file; `output` (at least
/// 256 bytes) gets what follows "Product Name: " on the file's first line (line
/// end included when present), or stays empty.
void GetModelName(char* output);

/// GetModelName without the line end, trailing blanks and underscores, and with
/// every remaining blank replaced by an underscore: "Rack  Server __" gives
/// "Rack__Server".
void GetModelName_Trimed(char* output);

}  // namespace mgmt::smbapi
#endif

#endif
