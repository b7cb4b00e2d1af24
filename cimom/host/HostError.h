// Errors found in the host's own input files (class definitions, registrations).
#ifndef MGMT_CIMOM_HOST_HOSTERROR_H
#define MGMT_CIMOM_HOST_HOSTERROR_H

#include <stdexcept>
#include <string>

namespace mgmt::cimom {

/// A bad class or registration file; the message starts with "file:line: ".
class ConfigError : public std::runtime_error {
 public:
  ConfigError(const std::string& file, int line, const std::string& message)
      : std::runtime_error(file + ":" + std::to_string(line) + ": " + message) {}
  explicit ConfigError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace mgmt::cimom

#endif
