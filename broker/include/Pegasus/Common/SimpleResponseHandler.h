//%/////////////////////////////////////////////////////////////////////////////
// SimpleResponseHandler.h: handlers that simply collect what a provider
// delivers, for callers that want the results as arrays (the object manager's
// in-process operations, tests, up-calls through CIMOMHandle).
//
// They record the call sequence (processing / complete) but apply no
// operation rules such as "exactly one instance for getInstance"; the caller
// that knows the operation checks those on the collected results.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_SimpleResponseHandler_h
#define Pegasus_SimpleResponseHandler_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/ResponseHandler.h>


namespace Pegasus {

/// Records processing() and complete(); base of the collecting handlers.
class SimpleResponseHandler : virtual public ResponseHandler
{
public:
    SimpleResponseHandler();
    virtual ~SimpleResponseHandler();
    virtual void processing();
    virtual void complete();

    Boolean isProcessing() const { return _processing; }
    Boolean isComplete() const { return _complete; }
    /// Number of deliver calls (one per object, also for array deliveries).
    Uint32 deliveredCount() const { return _delivered; }

protected:
    void _countDelivery(Uint32 n = 1) { _delivered += n; }

private:
    Boolean _processing = false;
    Boolean _complete = false;
    Uint32 _delivered = 0;
};

/// Does nothing but track the sequence (modifyInstance, deleteInstance).
class SimpleResponseHandlerImpl : public SimpleResponseHandler
{
};

class SimpleInstanceResponseHandler : public SimpleResponseHandler,
                                      public InstanceResponseHandler
{
public:
    using InstanceResponseHandler::deliver;
    virtual void processing() { SimpleResponseHandler::processing(); }
    virtual void complete() { SimpleResponseHandler::complete(); }
    /// Keeps the delivered handle itself (not a clone).
    virtual void deliver(const CIMInstance& instance);
    const Array<CIMInstance>& getObjects() const { return _objects; }

private:
    Array<CIMInstance> _objects;
};

class SimpleObjectPathResponseHandler : public SimpleResponseHandler,
                                        public ObjectPathResponseHandler
{
public:
    using ObjectPathResponseHandler::deliver;
    virtual void processing() { SimpleResponseHandler::processing(); }
    virtual void complete() { SimpleResponseHandler::complete(); }
    virtual void deliver(const CIMObjectPath& objectPath);
    const Array<CIMObjectPath>& getObjects() const { return _objects; }

private:
    Array<CIMObjectPath> _objects;
};

class SimpleMethodResultResponseHandler : public SimpleResponseHandler,
                                          public MethodResultResponseHandler
{
public:
    using MethodResultResponseHandler::deliverParamValue;
    virtual void processing() { SimpleResponseHandler::processing(); }
    virtual void complete() { SimpleResponseHandler::complete(); }
    virtual void deliverParamValue(const CIMParamValue& outParamValue);
    virtual void deliver(const CIMValue& returnValue);
    const Array<CIMParamValue>& getParamValues() const { return _params; }
    /// The last return value delivered (null CIMValue when none).
    const CIMValue& getReturnValue() const { return _returnValue; }
    /// Number of deliver(CIMValue) calls.
    Uint32 returnValueCount() const { return _returnCount; }

private:
    Array<CIMParamValue> _params;
    CIMValue _returnValue;
    Uint32 _returnCount = 0;
};

class SimpleValueResponseHandler : public SimpleResponseHandler,
                                   public ValueResponseHandler
{
public:
    using ValueResponseHandler::deliver;
    virtual void processing() { SimpleResponseHandler::processing(); }
    virtual void complete() { SimpleResponseHandler::complete(); }
    virtual void deliver(const CIMValue& value);
    const Array<CIMValue>& getObjects() const { return _objects; }

private:
    Array<CIMValue> _objects;
};

} // namespace Pegasus

#endif
