// Base64 (RFC 4648, standard alphabet, with padding): the credentials of HTTP
// Basic authentication, on both the client and the server side.
#ifndef MGMT_BASE_BASE64_H
#define MGMT_BASE_BASE64_H

#include <optional>
#include <string>
#include <string_view>

namespace mgmt::base {

std::string Base64Encode(std::string_view in);

/// nullopt on any invalid input: a length that is not a multiple of four, a
/// character outside the alphabet, padding anywhere but at the end.
std::optional<std::string> Base64Decode(std::string_view in);

}  // namespace mgmt::base

#endif
