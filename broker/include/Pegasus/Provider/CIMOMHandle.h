//%/////////////////////////////////////////////////////////////////////////////
// CIMOMHandle.h: the provider's way back into the object manager (up-calls).
//
// The broker does not know the object manager; it installs itself behind the
// handle through CIMOMHandleBackend. A handle without a backend (the default
// one) answers every up-call with CIM_ERR_NOT_SUPPORTED.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_CIMOMHandle_h
#define Pegasus_CIMOMHandle_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/OperationContext.h>

#include <memory>

namespace Pegasus {

/** What the object manager implements to serve up-calls. Every member has a
    default that throws CIMException(CIM_ERR_NOT_SUPPORTED), so a backend
    overrides only what it offers. Called from provider threads. */
class CIMOMHandleBackend
{
public:
    virtual ~CIMOMHandleBackend();

    virtual CIMClass getClass(const OperationContext& context, const CIMNamespaceName& nameSpace,
        const CIMName& className, Boolean localOnly, Boolean includeQualifiers,
        Boolean includeClassOrigin, const CIMPropertyList& propertyList);
    virtual Array<CIMName> enumerateClassNames(const OperationContext& context,
        const CIMNamespaceName& nameSpace, const CIMName& className, Boolean deepInheritance);
    virtual CIMInstance getInstance(const OperationContext& context,
        const CIMNamespaceName& nameSpace, const CIMObjectPath& instanceName, Boolean localOnly,
        Boolean includeQualifiers, Boolean includeClassOrigin,
        const CIMPropertyList& propertyList);
    virtual Array<CIMInstance> enumerateInstances(const OperationContext& context,
        const CIMNamespaceName& nameSpace, const CIMName& className, Boolean deepInheritance,
        Boolean localOnly, Boolean includeQualifiers, Boolean includeClassOrigin,
        const CIMPropertyList& propertyList);
    virtual Array<CIMObjectPath> enumerateInstanceNames(const OperationContext& context,
        const CIMNamespaceName& nameSpace, const CIMName& className);
    virtual CIMObjectPath createInstance(const OperationContext& context,
        const CIMNamespaceName& nameSpace, const CIMInstance& newInstance);
    virtual void modifyInstance(const OperationContext& context,
        const CIMNamespaceName& nameSpace, const CIMInstance& modifiedInstance,
        Boolean includeQualifiers, const CIMPropertyList& propertyList);
    virtual void deleteInstance(const OperationContext& context,
        const CIMNamespaceName& nameSpace, const CIMObjectPath& instanceName);
    virtual CIMValue invokeMethod(const OperationContext& context,
        const CIMNamespaceName& nameSpace, const CIMObjectPath& instanceName,
        const CIMName& methodName, const Array<CIMParamValue>& inParameters,
        Array<CIMParamValue>& outParameters);
};

class CIMOMHandle
{
public:
    /// No backend: up-calls throw CIM_ERR_NOT_SUPPORTED.
    CIMOMHandle();
    CIMOMHandle(const CIMOMHandle& handle);
    virtual ~CIMOMHandle();
    CIMOMHandle& operator=(const CIMOMHandle& handle);

    /// Used by the object manager: up-calls go to backend.
    explicit CIMOMHandle(std::shared_ptr<CIMOMHandleBackend> backend);

    CIMClass getClass(const OperationContext& context, const CIMNamespaceName& nameSpace,
        const CIMName& className, Boolean localOnly, Boolean includeQualifiers,
        Boolean includeClassOrigin, const CIMPropertyList& propertyList);
    /// Not offered: throws CIM_ERR_NOT_SUPPORTED.
    Array<CIMClass> enumerateClasses(const OperationContext& context,
        const CIMNamespaceName& nameSpace, const CIMName& className, Boolean deepInheritance,
        Boolean localOnly, Boolean includeQualifiers, Boolean includeClassOrigin);
    Array<CIMName> enumerateClassNames(const OperationContext& context,
        const CIMNamespaceName& nameSpace, const CIMName& className, Boolean deepInheritance);
    /// Not offered: throws CIM_ERR_NOT_SUPPORTED.
    void createClass(const OperationContext& context, const CIMNamespaceName& nameSpace,
        const CIMClass& newClass);
    /// Not offered: throws CIM_ERR_NOT_SUPPORTED.
    void modifyClass(const OperationContext& context, const CIMNamespaceName& nameSpace,
        const CIMClass& modifiedClass);
    /// Not offered: throws CIM_ERR_NOT_SUPPORTED.
    void deleteClass(const OperationContext& context, const CIMNamespaceName& nameSpace,
        const CIMName& className);

    CIMInstance getInstance(const OperationContext& context, const CIMNamespaceName& nameSpace,
        const CIMObjectPath& instanceName, Boolean localOnly, Boolean includeQualifiers,
        Boolean includeClassOrigin, const CIMPropertyList& propertyList);
    Array<CIMInstance> enumerateInstances(const OperationContext& context,
        const CIMNamespaceName& nameSpace, const CIMName& className, Boolean deepInheritance,
        Boolean localOnly, Boolean includeQualifiers, Boolean includeClassOrigin,
        const CIMPropertyList& propertyList);
    Array<CIMObjectPath> enumerateInstanceNames(const OperationContext& context,
        const CIMNamespaceName& nameSpace, const CIMName& className);
    CIMObjectPath createInstance(const OperationContext& context,
        const CIMNamespaceName& nameSpace, const CIMInstance& newInstance);
    void modifyInstance(const OperationContext& context, const CIMNamespaceName& nameSpace,
        const CIMInstance& modifiedInstance, Boolean includeQualifiers,
        const CIMPropertyList& propertyList);
    void deleteInstance(const OperationContext& context, const CIMNamespaceName& nameSpace,
        const CIMObjectPath& instanceName);
    /// Reads one property through getInstance.
    CIMValue getProperty(const OperationContext& context, const CIMNamespaceName& nameSpace,
        const CIMObjectPath& instanceName, const CIMName& propertyName);
    /// Writes one property through modifyInstance with a one-name property list.
    void setProperty(const OperationContext& context, const CIMNamespaceName& nameSpace,
        const CIMObjectPath& instanceName, const CIMName& propertyName,
        const CIMValue& newValue);
    CIMValue invokeMethod(const OperationContext& context, const CIMNamespaceName& nameSpace,
        const CIMObjectPath& instanceName, const CIMName& methodName,
        const Array<CIMParamValue>& inParameters, Array<CIMParamValue>& outParameters);

    /// Providers are never unloaded while running here; kept for source compatibility.
    void disallowProviderUnload();
    void allowProviderUnload();

private:
    CIMOMHandleBackend& _backend() const;
    std::shared_ptr<CIMOMHandleBackend> _rep;
};

} // namespace Pegasus

#endif
