// Provider base classes and the provider exceptions.
#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMMethodProvider.h>
#include <Pegasus/Provider/CIMProvider.h>
#include <Pegasus/Provider/ProviderException.h>

namespace Pegasus {

CIMProvider::CIMProvider() = default;
CIMProvider::~CIMProvider() = default;
CIMInstanceProvider::CIMInstanceProvider() = default;
CIMInstanceProvider::~CIMInstanceProvider() = default;
CIMMethodProvider::CIMMethodProvider() = default;
CIMMethodProvider::~CIMMethodProvider() = default;

CIMOperationFailedException::CIMOperationFailedException(const String& message)
    : CIMException(CIM_ERR_FAILED, message) {}
CIMOperationFailedException::CIMOperationFailedException(const MessageLoaderParms& parms)
    : CIMException(CIM_ERR_FAILED, parms) {}
CIMOperationFailedException::CIMOperationFailedException(const CIMStatusCode code,
                                                         const String& message)
    : CIMException(code, message) {}
CIMOperationFailedException::CIMOperationFailedException(const CIMStatusCode code,
                                                         const MessageLoaderParms& parms)
    : CIMException(code, parms) {}

#define BROKER_DEFINE_PROVIDER_EXCEPTION(NAME, CODE)                                \
  NAME::NAME(const String& message) : CIMOperationFailedException(CODE, message) {} \
  NAME::NAME(const MessageLoaderParms& parms) : CIMOperationFailedException(CODE, parms) {}

BROKER_DEFINE_PROVIDER_EXCEPTION(CIMAccessDeniedException, CIM_ERR_ACCESS_DENIED)
BROKER_DEFINE_PROVIDER_EXCEPTION(CIMInvalidParameterException, CIM_ERR_INVALID_PARAMETER)
BROKER_DEFINE_PROVIDER_EXCEPTION(CIMInvalidClassException, CIM_ERR_INVALID_CLASS)
BROKER_DEFINE_PROVIDER_EXCEPTION(CIMObjectNotFoundException, CIM_ERR_NOT_FOUND)
BROKER_DEFINE_PROVIDER_EXCEPTION(CIMNotSupportedException, CIM_ERR_NOT_SUPPORTED)
BROKER_DEFINE_PROVIDER_EXCEPTION(CIMObjectAlreadyExistsException, CIM_ERR_ALREADY_EXISTS)
BROKER_DEFINE_PROVIDER_EXCEPTION(CIMPropertyNotFoundException, CIM_ERR_NO_SUCH_PROPERTY)
BROKER_DEFINE_PROVIDER_EXCEPTION(CIMInvalidQueryException, CIM_ERR_INVALID_QUERY)
BROKER_DEFINE_PROVIDER_EXCEPTION(CIMMethodNotFoundException, CIM_ERR_METHOD_NOT_FOUND)

#undef BROKER_DEFINE_PROVIDER_EXCEPTION

}  // namespace Pegasus
