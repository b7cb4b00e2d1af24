// The one place where whatever a provider throws becomes a CIM error.
#ifndef MGMT_CIMOM_HOST_PROVIDERERRORS_H
#define MGMT_CIMOM_HOST_PROVIDERERRORS_H

#include <Pegasus/Common/Exception.h>

#include <string>

namespace mgmt::cimom {

/// Call from inside a catch block: rethrows a CIMException unchanged and turns any
/// other broker Exception, std::exception or foreign object into a CIMException
/// with CIM_ERR_FAILED and the best message available.
[[noreturn]] void RethrowAsCimException();

/// Inside a catch block: the message of the exception in flight (for logging).
std::string CurrentExceptionText();

/// Runs `op`, converting anything it throws with RethrowAsCimException().
template <class Op>
decltype(auto) GuardProviderCall(Op&& op) {
  try {
    return op();
  } catch (...) {
    RethrowAsCimException();
  }
}

}  // namespace mgmt::cimom

#endif
