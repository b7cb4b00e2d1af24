// The host form an object path accepts. (Numeric key values are read by
// broker/number/CimNumber.h like every other CIM number text.)
#ifndef BROKER_HOSTTEXT_H
#define BROKER_HOSTTEXT_H

#include <string_view>

namespace Pegasus::broker {

/// host[:port], IPv4, or [IPv6][:port].
bool validHost(std::u16string_view host);

}  // namespace Pegasus::broker

#endif
