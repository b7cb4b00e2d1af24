// ResponseHandler family (array deliveries fan out to single ones) and the
// collecting handlers.
#include <Pegasus/Common/ResponseHandler.h>
#include <Pegasus/Common/SimpleResponseHandler.h>

namespace Pegasus {

ResponseHandler::ResponseHandler() = default;
ResponseHandler::~ResponseHandler() = default;

ResponseHandler::ResponseHandler(const ResponseHandler& handler) {
  if (handler._context) _context = std::make_unique<OperationContext>(*handler._context);
}

ResponseHandler& ResponseHandler::operator=(const ResponseHandler& handler) {
  if (this != &handler)
    _context = handler._context ? std::make_unique<OperationContext>(*handler._context) : nullptr;
  return *this;
}

void ResponseHandler::setContext(const OperationContext& context) {
  _context = std::make_unique<OperationContext>(context);
}

OperationContext ResponseHandler::getContext() const {
  return _context ? *_context : OperationContext();
}

void InstanceResponseHandler::deliver(const Array<CIMInstance>& instances) {
  for (const auto& i : instances) deliver(i);
}

void ObjectPathResponseHandler::deliver(const Array<CIMObjectPath>& objectPaths) {
  for (const auto& p : objectPaths) deliver(p);
}

void MethodResultResponseHandler::deliverParamValue(const Array<CIMParamValue>& outParamValues) {
  for (const auto& p : outParamValues) deliverParamValue(p);
}

void ValueResponseHandler::deliver(const Array<CIMValue>& values) {
  for (const auto& v : values) deliver(v);
}

SimpleResponseHandler::SimpleResponseHandler() = default;
SimpleResponseHandler::~SimpleResponseHandler() = default;
void SimpleResponseHandler::processing() { _processing = true; }
void SimpleResponseHandler::complete() { _complete = true; }

void SimpleInstanceResponseHandler::deliver(const CIMInstance& instance) {
  _countDelivery();
  _objects.append(instance);
}

void SimpleObjectPathResponseHandler::deliver(const CIMObjectPath& objectPath) {
  _countDelivery();
  _objects.append(objectPath);
}

void SimpleMethodResultResponseHandler::deliverParamValue(const CIMParamValue& outParamValue) {
  _countDelivery();
  _params.append(outParamValue);
}

void SimpleMethodResultResponseHandler::deliver(const CIMValue& returnValue) {
  _countDelivery();
  _returnCount++;
  _returnValue = returnValue;
}

void SimpleValueResponseHandler::deliver(const CIMValue& value) {
  _countDelivery();
  _objects.append(value);
}

}  // namespace Pegasus
