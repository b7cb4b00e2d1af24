// CIMClient: a CIM client speaking CIM-XML over HTTP to an object manager, either
// on a TCP port (connect) or on the object manager's local socket (connectLocal).
// Operations block until the response arrives or the time-out passes. Errors the
// server reports arrive as CIMException with its status code; transport failures
// as the connection exceptions of Exception.h. Not thread-safe: one client object
// per thread.
#ifndef Pegasus_CIMClient_h
#define Pegasus_CIMClient_h

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/String.h>

#include <memory>

PEGASUS_NAMESPACE_BEGIN

class CIMClientRep;

/// Where connectLocal() finds the object manager (below the installation root).
#define PEGASUS_CIMXML_LOCAL_SOCKET "/run/mgmtagent/cimxml.socket"

class PEGASUS_CLIENT_LINKAGE CIMClient
{
public:
    CIMClient();
    ~CIMClient();
    CIMClient(const CIMClient&) = delete;
    CIMClient& operator=(const CIMClient&) = delete;

    /// Time-out of each operation in milliseconds (default 20000).
    Uint32 getTimeout() const;
    void setTimeout(Uint32 timeoutMilliseconds);

    /** Connects to host:port with HTTP Basic credentials (empty user: none).
        Throws AlreadyConnectedException, InvalidLocatorException (empty host or
        port 0), CannotConnectException. */
    void connect(const String& host, const Uint32 portNumber, const String& userName,
        const String& password);

    /** Connects to the object manager's local socket; the server identifies the
        caller by its process credentials. The socket is
        PEGASUS_CIMXML_LOCAL_SOCKET under the installation root, or the path in
        the environment variable MGMT_CIMXML_SOCKET when that is set. */
    void connectLocal();

    /// Closes the connection; no effect when not connected.
    void disconnect();

    Array<CIMInstance> enumerateInstances(const CIMNamespaceName& nameSpace,
        const CIMName& className, Boolean deepInheritance = true, Boolean localOnly = true,
        Boolean includeQualifiers = false, Boolean includeClassOrigin = false,
        const CIMPropertyList& propertyList = CIMPropertyList());

    Array<CIMObjectPath> enumerateInstanceNames(const CIMNamespaceName& nameSpace,
        const CIMName& className);

    CIMInstance getInstance(const CIMNamespaceName& nameSpace, const CIMObjectPath& instanceName,
        Boolean localOnly = true, Boolean includeQualifiers = false,
        Boolean includeClassOrigin = false,
        const CIMPropertyList& propertyList = CIMPropertyList());

    void modifyInstance(const CIMNamespaceName& nameSpace, const CIMInstance& modifiedInstance,
        Boolean includeQualifiers = true,
        const CIMPropertyList& propertyList = CIMPropertyList());

    CIMObjectPath createInstance(const CIMNamespaceName& nameSpace,
        const CIMInstance& newInstance);

    void deleteInstance(const CIMNamespaceName& nameSpace, const CIMObjectPath& instanceName);

    CIMClass getClass(const CIMNamespaceName& nameSpace, const CIMName& className,
        Boolean localOnly = true, Boolean includeQualifiers = true,
        Boolean includeClassOrigin = false,
        const CIMPropertyList& propertyList = CIMPropertyList());

    Array<CIMName> enumerateClassNames(const CIMNamespaceName& nameSpace,
        const CIMName& className = CIMName(), Boolean deepInheritance = false);

    Array<CIMClass> enumerateClasses(const CIMNamespaceName& nameSpace,
        const CIMName& className = CIMName(), Boolean deepInheritance = false,
        Boolean localOnly = true, Boolean includeQualifiers = true,
        Boolean includeClassOrigin = false);

    /** One property's value. The wire form carries no type, so scalars arrive as
        String and arrays as Array<String>; references keep their type. */
    CIMValue getProperty(const CIMNamespaceName& nameSpace, const CIMObjectPath& instanceName,
        const CIMName& propertyName);

    /// Sets one property; the server types the value from the class.
    void setProperty(const CIMNamespaceName& nameSpace, const CIMObjectPath& instanceName,
        const CIMName& propertyName, const CIMValue& newValue = CIMValue());

    CIMValue invokeMethod(const CIMNamespaceName& nameSpace, const CIMObjectPath& instanceName,
        const CIMName& methodName, const Array<CIMParamValue>& inParameters,
        Array<CIMParamValue>& outParameters);

private:
    std::unique_ptr<CIMClientRep> _rep;
};

PEGASUS_NAMESPACE_END

#endif
