//%/////////////////////////////////////////////////////////////////////////////
// CIMMethodProvider.h: extrinsic method calls. A provider may implement this
// together with CIMInstanceProvider (both derive virtually from CIMProvider).
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_CIMMethodProvider_h
#define Pegasus_CIMMethodProvider_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/OperationContext.h>
#include <Pegasus/Common/ResponseHandler.h>
#include <Pegasus/Provider/CIMProvider.h>

namespace Pegasus {

class CIMMethodProvider : public virtual CIMProvider
{
public:
    CIMMethodProvider();
    virtual ~CIMMethodProvider();

    virtual void invokeMethod(const OperationContext& context,
        const CIMObjectPath& objectReference, const CIMName& methodName,
        const Array<CIMParamValue>& inParameters, MethodResultResponseHandler& handler) = 0;
};

} // namespace Pegasus

#endif
