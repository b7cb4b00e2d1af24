// Address texts and their byte forms in the IPMI LAN parameters, the checks every
// address passes before it is written to the BMC or a file, and the two
// one-value settings files of the library (smbios.conf, the legacy ipmi.conf line).
//
// In memory an IPv4 address is dotted-decimal text of at most 15 characters and
// a MAC address twelve hexadecimal digits without separators.
#ifndef MGMT_BMCLIB_UTIL_H
#define MGMT_BMCLIB_UTIL_H

#include <cstddef>
#include <cstdint>

/// Writes the four bytes as "%d.%d.%d.%d" into `text` of `size` bytes.
/// @return 0, or -1 (and `text` empty when size > 0) when it does not fit.
int IP2STR(char* text, size_t size, const unsigned char* ip);

/// Parses dotted-decimal text into four bytes the lenient historical way: a
/// text longer than 15 characters leaves `ip` untouched; each part is read like
/// atoi; a missing "." makes all four bytes 255. Callers check the text with
/// IsValidIPv4 first: this conversion accepts anything.
void STR2IP(const char* text, unsigned char* ip);

/// Writes the six bytes as twelve lower-case hexadecimal digits into `text` of
/// `size` bytes. @return 0, or -1 (and `text` empty when size > 0).
int Mac2STR(char* text, size_t size, const unsigned char* mac);

/// Reads up to six bytes of two hexadecimal digits each, no separators; stops at
/// the end of the text and at the first character that is not a hexadecimal
/// digit, leaving the remaining bytes untouched. Callers normalise and check the
/// text with FormatMAC and IsValidMacText first.
void STR2Mac(const char* text, unsigned char* mac);

/// True for exactly four decimal parts of one to three digits, each 0-255.
bool IsValidIPv4(const char* text);

/// True when the text is a MAC address: hexadecimal digits, optionally separated
/// by ":" or "-", twelve digits in all.
bool IsValidMacText(const char* text);

/// True for an IP address source the BMC knows (LAN parameter 4): 0 unspecified,
/// 1 static, 2 DHCP, 3 BIOS or system software, 4 other.
bool IsValidIPSource(long source);

/// True for the addresses that mean "no destination": 0.0.0.0 and 255.255.255.255.
bool IsPlaceholderIP(const char* text);

/// True for twelve zero digits or twelve F digits (any case, separators allowed).
bool IsPlaceholderMac(const char* text);

/// Copies `text` into `buf` of `size` bytes when it fits whole (with its NUL).
/// @return true when copied; false leaves `buf` unchanged.
bool CopyText(char* buf, size_t size, const char* text);

/// The SMBIOS-platform setting in smbios.conf: one decimal integer on one line.
/// Load sets `value` to 0, then to the number on the file's first line if the
/// file can be read. Save replaces the file atomically with "%d", no line end;
/// it returns 0, or -1 (errno set) when the file could not be written (the old
/// one then stays as it was).
void SMBLoadSettings(int* value);
int SMBSaveSettings(int value);

/// Five integers on one line "%d %d %d %d %d" of ipmi.conf, the file's form before
/// it held sections. Load zeroes the five values first and leaves them so unless
/// the first line holds five numbers. Save replaces the file with that line, but
/// refuses (-1) when the file holds a "[section]": the settings CBMCLanConf keeps
/// there would be lost. @return 0 or -1.
void IPMILoadSettings(int32_t* values);
int IPMISaveSettings(const int32_t* values);

#endif
