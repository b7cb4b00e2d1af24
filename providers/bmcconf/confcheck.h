// Checks of the values a client sends before they reach a configuration file
// or the BMC, and the log line for a value that is refused.
#ifndef MGMT_PROVIDERS_BMCCONF_CONFCHECK_H
#define MGMT_PROVIDERS_BMCCONF_CONFCHECK_H

#include <optional>
#include <string>
#include <string_view>

namespace mgmt::bmcconf {

/// Printable ASCII only (blank to "~"): what the BMC takes for user names and
/// passwords, and what a configuration file line can carry unchanged.
bool IsPrintableAscii(std::string_view text);

/// True for an empty text (no address) or a dotted-decimal IPv4 address.
bool IsIPv4OrEmpty(const std::string& text);

/// A MAC address as the files keep it: twelve lower-case hexadecimal digits
/// (":" and "-" between them are dropped); empty for an empty text; nothing
/// when the text is no MAC address.
std::optional<std::string> NormalisedMac(const std::string& text);

/// The text as it may appear in a log line: at most 40 characters, anything
/// but printable ASCII written as \xNN.
std::string LogSafe(std::string_view text);

/// Logs that `property` of `className` was refused and left as it was.
void LogRefused(const char* className, const char* property, const std::string& why);

}  // namespace mgmt::bmcconf

#endif
