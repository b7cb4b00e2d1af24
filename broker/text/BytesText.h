// Text that arrives as bytes in no declared encoding (firmware strings, /proc
// files, command output) made into a CIM string. CIM strings are Unicode and
// String refuses bytes that are not UTF-8, so every provider publishing such text
// needs the same rule: valid UTF-8 is taken as it is, anything else byte by byte
// as Latin-1, so nothing is lost and no reading fails on one odd byte. Ours, not
// part of the OpenPegasus API.
#ifndef MGMT_BROKER_BYTESTEXT_H
#define MGMT_BROKER_BYTESTEXT_H

#include <Pegasus/Common/String.h>

#include <string_view>

namespace mgmt::broker {

/// `bytes` as UTF-8 when they are valid UTF-8, otherwise each byte as the
/// character of the same number (Latin-1).
Pegasus::String StringFromBytes(std::string_view bytes);

}  // namespace mgmt::broker

#endif
