// Reading the text of key values: the integer forms a NUMERIC key accepts and
// the host form a path accepts.
#ifndef BROKER_KEYTEXT_H
#define BROKER_KEYTEXT_H

#include <Pegasus/Common/Config.h>

#include <optional>
#include <string_view>

namespace Pegasus::broker {

/** Decimal without leading zeros ("0" itself is fine) or 0x/0X hex; no sign,
    no spaces; nullopt on junk or overflow. */
std::optional<Uint64> parseUnsigned(std::u16string_view text);
/// As parseUnsigned with an optional leading '-'; nullopt outside Sint64.
std::optional<Sint64> parseSigned(std::u16string_view text);
/// host[:port], IPv4, or [IPv6][:port].
bool validHost(std::u16string_view host);

}  // namespace Pegasus::broker

#endif
