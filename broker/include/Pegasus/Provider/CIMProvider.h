//%/////////////////////////////////////////////////////////////////////////////
// CIMProvider.h: base of every provider. The object manager creates a
// provider through the module's PegasusCreateProvider, calls initialize() once,
// then operations (possibly from several threads at once), then terminate().
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_CIMProvider_h
#define Pegasus_CIMProvider_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/OperationContext.h>
#include <Pegasus/Common/ResponseHandler.h>
#include <Pegasus/Provider/CIMOMHandle.h>
#include <Pegasus/Provider/ProviderException.h>

namespace Pegasus {

class CIMProvider
{
public:
    CIMProvider();
    virtual ~CIMProvider();
    /// The handle stays valid for the provider's lifetime; keep a copy if needed.
    virtual void initialize(CIMOMHandle& cimom) = 0;
    virtual void terminate() = 0;
};

} // namespace Pegasus

#endif
