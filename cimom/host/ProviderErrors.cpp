#include "ProviderErrors.h"

#include "NameKey.h"

#include <exception>

using namespace Pegasus;

namespace mgmt::cimom {

void RethrowAsCimException() {
  try {
    throw;
  } catch (const CIMException&) {
    throw;
  } catch (const Exception& e) {
    throw CIMException(CIM_ERR_FAILED, e.getMessage());
  } catch (const std::exception& e) {
    String message;
    try {
      message = String(e.what());
    } catch (const Exception&) {
      message = "provider error (message is not valid UTF-8)";
    }
    throw CIMException(CIM_ERR_FAILED, message);
  } catch (...) {
    throw CIMException(CIM_ERR_FAILED, "Unknown error.");
  }
}

std::string CurrentExceptionText() {
  try {
    throw;
  } catch (const CIMException& e) {
    return std::string(cimStatusCodeToString(e.getCode())) + ": " + ToStd(e.getMessage());
  } catch (const Exception& e) {
    return ToStd(e.getMessage());
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error.";
  }
}

}  // namespace mgmt::cimom
