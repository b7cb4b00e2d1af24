//%/////////////////////////////////////////////////////////////////////////////
// Exception.h: the broker's exception hierarchy. As in the original API none
// of these derives from std::exception; code that catches std::exception does
// not see them, so the object manager catches Exception separately.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_Exception_h
#define Pegasus_Exception_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Common/CIMStatusCode.h>
#include <Pegasus/Common/Array.h>

#include <memory>

namespace Pegasus {

class CIMInstance;

/** Stand-in for the localisation parameters of the original API: carries the
    message id and the default text with up to three $0..$2 substitutions. */
class MessageLoaderParms
{
public:
    MessageLoaderParms(const String& id, const String& defaultMessage);
    MessageLoaderParms(const String& id, const String& defaultMessage, const String& arg0);
    MessageLoaderParms(const String& id, const String& defaultMessage, const String& arg0,
        const String& arg1);
    MessageLoaderParms(const String& id, const String& defaultMessage, const String& arg0,
        const String& arg1, const String& arg2);
    /// The default text with $0..$2 replaced by the arguments.
    String format() const;

    String msg_id;
    String default_msg;
    String arg0, arg1, arg2;
};

/// Language tags attached to a message; kept only for source compatibility.
class ContentLanguageList
{
public:
    ContentLanguageList() = default;
};

/// Base of every broker exception.
class Exception
{
public:
    Exception(const String& message);
    Exception(const MessageLoaderParms& msgParms);
    Exception(const Exception& exception);
    Exception& operator=(const Exception& exception);
    virtual ~Exception();
    virtual const String& getMessage() const;
    const ContentLanguageList& getContentLanguages() const;
    void setContentLanguages(const ContentLanguageList& langs);

protected:
    Exception();
    String _message;
    ContentLanguageList _languages;
};

class IndexOutOfBoundsException : public Exception
{
public:
    IndexOutOfBoundsException();
};

class AlreadyExistsException : public Exception
{
public:
    AlreadyExistsException(const String& name);
    AlreadyExistsException(const MessageLoaderParms& msgParms);
};

class InvalidNameException : public Exception
{
public:
    InvalidNameException(const String& name);
};

class InvalidNamespaceNameException : public Exception
{
public:
    InvalidNamespaceNameException(const String& name);
};

class UninitializedObjectException : public Exception
{
public:
    UninitializedObjectException();
};

class TypeMismatchException : public Exception
{
public:
    TypeMismatchException();
    TypeMismatchException(const String& message);
};

class DynamicCastFailedException : public Exception
{
public:
    DynamicCastFailedException();
};

class InvalidDateTimeFormatException : public Exception
{
public:
    InvalidDateTimeFormatException();
};

class DateTimeOutOfRangeException : public Exception
{
public:
    DateTimeOutOfRangeException(const String& message);
};

class MalformedObjectNameException : public Exception
{
public:
    MalformedObjectNameException(const String& objectName);
};

class BindFailedException : public Exception
{
public:
    BindFailedException(const String& message);
};

class InvalidLocatorException : public Exception
{
public:
    InvalidLocatorException(const String& locator);
};

class CannotCreateSocketException : public Exception
{
public:
    CannotCreateSocketException();
};

class CannotConnectException : public Exception
{
public:
    CannotConnectException(const String& message);
};

class AlreadyConnectedException : public Exception
{
public:
    AlreadyConnectedException();
};

class NotConnectedException : public Exception
{
public:
    NotConnectedException();
};

class ConnectionTimeoutException : public Exception
{
public:
    ConnectionTimeoutException();
};

class SSLException : public Exception
{
public:
    SSLException(const String& message);
};

/// A null pointer passed where text was required (internal in the original).
class NullPointer : public Exception
{
public:
    NullPointer();
};

/// A key property named by the class is missing from an instance (buildPath).
class NoSuchProperty : public Exception
{
public:
    NoSuchProperty(const String& message);
};

/** An error with a DMTF status code. getMessage() returns only the message
    text; the object manager adds the code's symbol when it writes the error. */
class CIMException : public Exception
{
public:
    CIMException(CIMStatusCode code = CIM_ERR_SUCCESS, const String& message = String::EMPTY);
    CIMException(CIMStatusCode code, const String& message, const CIMInstance& instance);
    CIMException(CIMStatusCode code, const String& message, const Array<CIMInstance>& instances);
    CIMException(CIMStatusCode code, const MessageLoaderParms& msgParms);
    CIMException(CIMStatusCode code, const MessageLoaderParms& msgParms,
        const CIMInstance& instance);
    CIMException(CIMStatusCode code, const MessageLoaderParms& msgParms,
        const Array<CIMInstance>& instances);
    CIMException(const CIMException& cimException);
    CIMException& operator=(const CIMException& cimException);
    virtual ~CIMException();

    CIMStatusCode getCode() const;
    /// Embedded CIM_Error instances.
    Uint32 getErrorCount() const;
    CIMInstance getError(Uint32 index) const;
    void addError(const CIMInstance& instance);

private:
    struct ErrorList;
    CIMStatusCode _code;
    std::shared_ptr<ErrorList> _errors;
};

} // namespace Pegasus

#endif
