// The platform model name as the BMC configuration compares it: the trimmed
// SMBIOS product name ("corvid_hazel"), read once per process.
#ifndef MGMT_BMCLIB_PLATFORMMODEL_H
#define MGMT_BMCLIB_PLATFORMMODEL_H

#include <functional>
#include <string>
#include <string_view>

namespace mgmt::bmc {

/// The trimmed model name, empty when the platform cannot tell.
std::string PlatformModel();

/// Case-insensitive comparisons of the model name.
bool ModelIs(std::string_view name);
bool ModelStartsWith(std::string_view prefix);

/// Replaces where the model name comes from (tests; null restores the
/// platform's own) and forgets the name read so far.
void SetPlatformModelSource(std::function<std::string()> source);

}  // namespace mgmt::bmc

#endif
