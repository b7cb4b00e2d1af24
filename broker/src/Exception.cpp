// The exception hierarchy, the status-code names and the message parameters.
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/Exception.h>

#include <vector>

namespace Pegasus {

void ArrayThrowIndexOutOfBoundsException() { throw IndexOutOfBoundsException(); }

// ------------------------------------------------------ MessageLoaderParms

MessageLoaderParms::MessageLoaderParms(const String& id, const String& defaultMessage)
    : msg_id(id), default_msg(defaultMessage) {}

MessageLoaderParms::MessageLoaderParms(const String& id, const String& defaultMessage,
                                       const String& a0)
    : msg_id(id), default_msg(defaultMessage), arg0(a0) {}

MessageLoaderParms::MessageLoaderParms(const String& id, const String& defaultMessage,
                                       const String& a0, const String& a1)
    : msg_id(id), default_msg(defaultMessage), arg0(a0), arg1(a1) {}

MessageLoaderParms::MessageLoaderParms(const String& id, const String& defaultMessage,
                                       const String& a0, const String& a1, const String& a2)
    : msg_id(id), default_msg(defaultMessage), arg0(a0), arg1(a1), arg2(a2) {}

String MessageLoaderParms::format() const {
  String out;
  Uint32 n = default_msg.size();
  for (Uint32 i = 0; i < n; i++) {
    Char16 c = default_msg[i];
    if (c == '$' && i + 1 < n) {
      Char16 d = default_msg[i + 1];
      if (d == '0' || d == '1' || d == '2') {
        out.append(d == '0' ? arg0 : (d == '1' ? arg1 : arg2));
        i++;
        continue;
      }
    }
    out.append(c);
  }
  return out;
}

// --------------------------------------------------------------- Exception

Exception::Exception() = default;
Exception::Exception(const String& message) : _message(message) {}
Exception::Exception(const MessageLoaderParms& msgParms) : _message(msgParms.format()) {}
Exception::Exception(const Exception& exception) = default;
Exception& Exception::operator=(const Exception& exception) = default;
Exception::~Exception() = default;
const String& Exception::getMessage() const { return _message; }
const ContentLanguageList& Exception::getContentLanguages() const { return _languages; }
void Exception::setContentLanguages(const ContentLanguageList& langs) { _languages = langs; }

IndexOutOfBoundsException::IndexOutOfBoundsException() : Exception("index out of bounds") {}
AlreadyExistsException::AlreadyExistsException(const String& name)
    : Exception(String("already exists: ") + name) {}
AlreadyExistsException::AlreadyExistsException(const MessageLoaderParms& msgParms)
    : Exception(msgParms) {}
InvalidNameException::InvalidNameException(const String& name)
    : Exception(String("The CIM name is not valid: ") + name) {}
InvalidNamespaceNameException::InvalidNamespaceNameException(const String& name)
    : Exception(String("invalid CIM namespace name: ") + name) {}
UninitializedObjectException::UninitializedObjectException() : Exception("uninitialized object") {}
TypeMismatchException::TypeMismatchException() : Exception("type mismatch") {}
TypeMismatchException::TypeMismatchException(const String& message)
    : Exception(String("type mismatch: ") + message) {}
DynamicCastFailedException::DynamicCastFailedException() : Exception("dynamic cast failed") {}
InvalidDateTimeFormatException::InvalidDateTimeFormatException()
    : Exception("invalid datetime format") {}
DateTimeOutOfRangeException::DateTimeOutOfRangeException(const String& message)
    : Exception(String("datetime is out of range: ") + message) {}
MalformedObjectNameException::MalformedObjectNameException(const String& objectName)
    : Exception(String("malformed object name: ") + objectName) {}
BindFailedException::BindFailedException(const String& message)
    : Exception(String("Bind failed: ") + message) {}
InvalidLocatorException::InvalidLocatorException(const String& locator)
    : Exception(String("Invalid locator: ") + locator) {}
CannotCreateSocketException::CannotCreateSocketException() : Exception("Cannot create socket") {}
CannotConnectException::CannotConnectException(const String& message) : Exception(message) {}
AlreadyConnectedException::AlreadyConnectedException() : Exception("already connected") {}
NotConnectedException::NotConnectedException() : Exception("not connected") {}
ConnectionTimeoutException::ConnectionTimeoutException() : Exception("connection timed out") {}
SSLException::SSLException(const String& message)
    : Exception(String("SSL Exception: ") + message) {}
NullPointer::NullPointer() : Exception("null pointer") {}
NoSuchProperty::NoSuchProperty(const String& message)
    : Exception(String("no such property: ") + message) {}

// ------------------------------------------------------------ CIMException

struct CIMException::ErrorList {
  std::vector<CIMInstance> errors;
};

CIMException::CIMException(CIMStatusCode code, const String& message)
    : Exception(message), _code(code) {}

CIMException::CIMException(CIMStatusCode code, const String& message, const CIMInstance& instance)
    : Exception(message), _code(code) {
  addError(instance);
}

CIMException::CIMException(CIMStatusCode code, const String& message,
                           const Array<CIMInstance>& instances)
    : Exception(message), _code(code) {
  for (const auto& i : instances) addError(i);
}

CIMException::CIMException(CIMStatusCode code, const MessageLoaderParms& msgParms)
    : Exception(msgParms), _code(code) {}

CIMException::CIMException(CIMStatusCode code, const MessageLoaderParms& msgParms,
                           const CIMInstance& instance)
    : Exception(msgParms), _code(code) {
  addError(instance);
}

CIMException::CIMException(CIMStatusCode code, const MessageLoaderParms& msgParms,
                           const Array<CIMInstance>& instances)
    : Exception(msgParms), _code(code) {
  for (const auto& i : instances) addError(i);
}

CIMException::CIMException(const CIMException& cimException) = default;
CIMException& CIMException::operator=(const CIMException& cimException) = default;
CIMException::~CIMException() = default;

CIMStatusCode CIMException::getCode() const { return _code; }

Uint32 CIMException::getErrorCount() const { return _errors ? Uint32(_errors->errors.size()) : 0; }

CIMInstance CIMException::getError(Uint32 index) const {
  if (index >= getErrorCount()) throw IndexOutOfBoundsException();
  return _errors->errors[index];
}

void CIMException::addError(const CIMInstance& instance) {
  // Copies of an exception must not see each other's additions.
  auto fresh = std::make_shared<ErrorList>();
  if (_errors) fresh->errors = _errors->errors;
  fresh->errors.push_back(instance);
  _errors = std::move(fresh);
}

// ---------------------------------------------------------- CIMStatusCode

const char* cimStatusCodeToString(CIMStatusCode code) {
  switch (code) {
    case CIM_ERR_SUCCESS:
      return "CIM_ERR_SUCCESS";
    case CIM_ERR_FAILED:
      return "CIM_ERR_FAILED";
    case CIM_ERR_ACCESS_DENIED:
      return "CIM_ERR_ACCESS_DENIED";
    case CIM_ERR_INVALID_NAMESPACE:
      return "CIM_ERR_INVALID_NAMESPACE";
    case CIM_ERR_INVALID_PARAMETER:
      return "CIM_ERR_INVALID_PARAMETER";
    case CIM_ERR_INVALID_CLASS:
      return "CIM_ERR_INVALID_CLASS";
    case CIM_ERR_NOT_FOUND:
      return "CIM_ERR_NOT_FOUND";
    case CIM_ERR_NOT_SUPPORTED:
      return "CIM_ERR_NOT_SUPPORTED";
    case CIM_ERR_CLASS_HAS_CHILDREN:
      return "CIM_ERR_CLASS_HAS_CHILDREN";
    case CIM_ERR_CLASS_HAS_INSTANCES:
      return "CIM_ERR_CLASS_HAS_INSTANCES";
    case CIM_ERR_INVALID_SUPERCLASS:
      return "CIM_ERR_INVALID_SUPERCLASS";
    case CIM_ERR_ALREADY_EXISTS:
      return "CIM_ERR_ALREADY_EXISTS";
    case CIM_ERR_NO_SUCH_PROPERTY:
      return "CIM_ERR_NO_SUCH_PROPERTY";
    case CIM_ERR_TYPE_MISMATCH:
      return "CIM_ERR_TYPE_MISMATCH";
    case CIM_ERR_QUERY_LANGUAGE_NOT_SUPPORTED:
      return "CIM_ERR_QUERY_LANGUAGE_NOT_SUPPORTED";
    case CIM_ERR_INVALID_QUERY:
      return "CIM_ERR_INVALID_QUERY";
    case CIM_ERR_METHOD_NOT_AVAILABLE:
      return "CIM_ERR_METHOD_NOT_AVAILABLE";
    case CIM_ERR_METHOD_NOT_FOUND:
      return "CIM_ERR_METHOD_NOT_FOUND";
    case CIM_ERR_NAMESPACE_NOT_EMPTY:
      return "CIM_ERR_NAMESPACE_NOT_EMPTY";
    case CIM_ERR_INVALID_ENUMERATION_CONTEXT:
      return "CIM_ERR_INVALID_ENUMERATION_CONTEXT";
    case CIM_ERR_INVALID_OPERATION_TIMEOUT:
      return "CIM_ERR_INVALID_OPERATION_TIMEOUT";
    case CIM_ERR_PULL_HAS_BEEN_ABANDONED:
      return "CIM_ERR_PULL_HAS_BEEN_ABANDONED";
    case CIM_ERR_PULL_CANNOT_BE_ABANDONED:
      return "CIM_ERR_PULL_CANNOT_BE_ABANDONED";
    case CIM_ERR_FILTERED_ENUMERATION_NOT_SUPPORTED:
      return "CIM_ERR_FILTERED_ENUMERATION_NOT_SUPPORTED";
    case CIM_ERR_CONTINUATION_ON_ERROR_NOT_SUPPORTED:
      return "CIM_ERR_CONTINUATION_ON_ERROR_NOT_SUPPORTED";
    case CIM_ERR_SERVER_LIMITS_EXCEEDED:
      return "CIM_ERR_SERVER_LIMITS_EXCEEDED";
    case CIM_ERR_SERVER_IS_SHUTTING_DOWN:
      return "CIM_ERR_SERVER_IS_SHUTTING_DOWN";
  }
  return "Unrecognized CIM status code";
}

}  // namespace Pegasus
