//%/////////////////////////////////////////////////////////////////////////////
// ResponseHandler.h: how a provider hands results back. A provider calls
// processing(), then deliver() any number of times, then complete() (or
// throws). Every handler derives virtually from ResponseHandler so that one
// object can implement several of them.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_ResponseHandler_h
#define Pegasus_ResponseHandler_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/OperationContext.h>

#include <memory>

namespace Pegasus {

class ResponseHandler
{
public:
    virtual ~ResponseHandler();
    virtual void processing() = 0;
    virtual void complete() = 0;
    void setContext(const OperationContext& context);

protected:
    ResponseHandler();
    ResponseHandler(const ResponseHandler& handler);
    ResponseHandler& operator=(const ResponseHandler& handler);
    OperationContext getContext() const;

private:
    std::unique_ptr<OperationContext> _context;
};

class InstanceResponseHandler : virtual public ResponseHandler
{
public:
    virtual void deliver(const CIMInstance& instance) = 0;
    virtual void deliver(const Array<CIMInstance>& instances);
};

class ObjectPathResponseHandler : virtual public ResponseHandler
{
public:
    virtual void deliver(const CIMObjectPath& objectPath) = 0;
    virtual void deliver(const Array<CIMObjectPath>& objectPaths);
};

class MethodResultResponseHandler : virtual public ResponseHandler
{
public:
    virtual void deliverParamValue(const CIMParamValue& outParamValue) = 0;
    virtual void deliverParamValue(const Array<CIMParamValue>& outParamValues);
    virtual void deliver(const CIMValue& returnValue) = 0;
};

/// Values delivered for getProperty; kept for completeness of the family.
class ValueResponseHandler : virtual public ResponseHandler
{
public:
    virtual void deliver(const CIMValue& value) = 0;
    virtual void deliver(const Array<CIMValue>& values);
};

} // namespace Pegasus

#endif
