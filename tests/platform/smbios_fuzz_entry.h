// One input of the SMBIOS table fuzzer: the bytes are walked as a structure table
// with every field and string touched, and prepared under entry points of each
// kind (the input's own first bytes, "_SM_" and "_SM3_" records made for it).
// The unit suite replays real tables and mutations of them through the same entry.
#ifndef MGMT_TESTS_PLATFORM_SMBIOS_FUZZ_ENTRY_H
#define MGMT_TESTS_PLATFORM_SMBIOS_FUZZ_ENTRY_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace mgmt::test {

/// Empty when every invariant held, else what was broken.
std::string FuzzSmbiosTable(const uint8_t* data, size_t size);

}  // namespace mgmt::test

#endif
