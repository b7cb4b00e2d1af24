//%/////////////////////////////////////////////////////////////////////////////
// ProviderException.h: the exceptions providers throw to end an operation with
// a specific CIM status code.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_ProviderException_h
#define Pegasus_ProviderException_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/String.h>

namespace Pegasus {

/// CIM_ERR_FAILED, and the base of the other provider exceptions.
class CIMOperationFailedException : public CIMException
{
public:
    CIMOperationFailedException(const String& message);
    CIMOperationFailedException(const MessageLoaderParms& parms);

protected:
    CIMOperationFailedException(const CIMStatusCode code, const String& message);
    CIMOperationFailedException(const CIMStatusCode code, const MessageLoaderParms& parms);
};

#define PEGASUS_BROKER_PROVIDER_EXCEPTION(NAME)                  \
    class NAME : public CIMOperationFailedException             \
    {                                                           \
    public:                                                     \
        NAME(const String& message);                            \
        NAME(const MessageLoaderParms& parms);                  \
    };

/// CIM_ERR_ACCESS_DENIED
PEGASUS_BROKER_PROVIDER_EXCEPTION(CIMAccessDeniedException)
/// CIM_ERR_INVALID_PARAMETER
PEGASUS_BROKER_PROVIDER_EXCEPTION(CIMInvalidParameterException)
/// CIM_ERR_INVALID_CLASS
PEGASUS_BROKER_PROVIDER_EXCEPTION(CIMInvalidClassException)
/// CIM_ERR_NOT_FOUND
PEGASUS_BROKER_PROVIDER_EXCEPTION(CIMObjectNotFoundException)
/// CIM_ERR_NOT_SUPPORTED
PEGASUS_BROKER_PROVIDER_EXCEPTION(CIMNotSupportedException)
/// CIM_ERR_ALREADY_EXISTS
PEGASUS_BROKER_PROVIDER_EXCEPTION(CIMObjectAlreadyExistsException)
/// CIM_ERR_NO_SUCH_PROPERTY
PEGASUS_BROKER_PROVIDER_EXCEPTION(CIMPropertyNotFoundException)
/// CIM_ERR_INVALID_QUERY
PEGASUS_BROKER_PROVIDER_EXCEPTION(CIMInvalidQueryException)
/// CIM_ERR_METHOD_NOT_FOUND
PEGASUS_BROKER_PROVIDER_EXCEPTION(CIMMethodNotFoundException)

#undef PEGASUS_BROKER_PROVIDER_EXCEPTION

} // namespace Pegasus

#endif
