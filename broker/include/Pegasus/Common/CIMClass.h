//%/////////////////////////////////////////////////////////////////////////////
// CIMClass.h: a class definition (superclass, properties with their Key
// qualifiers, methods). CIMConstClass is its read-only view; buildPath() of
// CIMInstance takes one. Handle semantics like CIMInstance.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_CIMClass_h
#define Pegasus_CIMClass_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMQualifier.h>
#include <Pegasus/Common/CIMMethod.h>
#include <Pegasus/Common/CIMInstance.h>

#include <memory>

namespace Pegasus {

class CIMConstClass;
class CIMPropertyList;

class CIMClass
{
public:
    /// Uninitialized; members other than assignment throw UninitializedObjectException.
    CIMClass();
    CIMClass(const CIMClass& x) = default;
    /// Throws UninitializedObjectException for a null class name.
    CIMClass(const CIMName& className, const CIMName& superClassName = CIMName());
    CIMClass& operator=(const CIMClass& x) = default;

    /// The Association qualifier is true.
    Boolean isAssociation() const;
    /// The Abstract qualifier is true.
    Boolean isAbstract() const;
    const CIMName& getClassName() const;
    const CIMObjectPath& getPath() const;
    void setPath(const CIMObjectPath& path);
    const CIMName& getSuperClassName() const;
    void setSuperClassName(const CIMName& superClassName);

    CIMClass& addQualifier(const CIMQualifier& qualifier);
    Uint32 findQualifier(const CIMName& name) const;
    CIMQualifier getQualifier(Uint32 index);
    CIMConstQualifier getQualifier(Uint32 index) const;
    void removeQualifier(Uint32 index);
    Uint32 getQualifierCount() const;

    /// Throws AlreadyExistsException for a second property of the same name.
    CIMClass& addProperty(const CIMProperty& x);
    Uint32 findProperty(const CIMName& name) const;
    CIMProperty getProperty(Uint32 index);
    CIMConstProperty getProperty(Uint32 index) const;
    void removeProperty(Uint32 index);
    Uint32 getPropertyCount() const;

    /// Throws AlreadyExistsException for a second method of the same name.
    CIMClass& addMethod(const CIMMethod& x);
    Uint32 findMethod(const CIMName& name) const;
    CIMMethod getMethod(Uint32 index);
    CIMConstMethod getMethod(Uint32 index) const;
    void removeMethod(Uint32 index);
    Uint32 getMethodCount() const;

    /// Properties whose Key qualifier is a non-null boolean true, in property order.
    void getKeyNames(Array<CIMName>& keyNames) const;
    Boolean hasKeys() const;

    /** A new instance of this class holding every property (or those a
        non-null list names) with the class's default values. */
    CIMInstance buildInstance(Boolean includeQualifiers, Boolean includeClassOrigin,
        const CIMPropertyList& propertyList) const;

    CIMClass clone() const;
    Boolean identical(const CIMConstClass& x) const;
    Boolean isUninitialized() const { return !_rep; }

    struct Rep;

private:
    friend class CIMConstClass;
    Rep& _checked() const;
    std::shared_ptr<Rep> _rep;
};

/// Read-only view of a class; shares the representation it was made from.
class CIMConstClass
{
public:
    CIMConstClass() = default;
    CIMConstClass(const CIMConstClass& x) = default;
    CIMConstClass(const CIMClass& x) : _c(x) {}
    CIMConstClass(const CIMName& className, const CIMName& superClassName = CIMName())
        : _c(className, superClassName) {}
    CIMConstClass& operator=(const CIMConstClass& x) = default;
    CIMConstClass& operator=(const CIMClass& x) { _c = x; return *this; }

    Boolean isAssociation() const { return _c.isAssociation(); }
    Boolean isAbstract() const { return _c.isAbstract(); }
    const CIMName& getClassName() const { return _c.getClassName(); }
    const CIMObjectPath& getPath() const { return _c.getPath(); }
    const CIMName& getSuperClassName() const { return _c.getSuperClassName(); }
    Uint32 findQualifier(const CIMName& name) const { return _c.findQualifier(name); }
    CIMConstQualifier getQualifier(Uint32 index) const
    {
        const CIMClass& c = _c;
        return c.getQualifier(index);
    }
    Uint32 getQualifierCount() const { return _c.getQualifierCount(); }
    Uint32 findProperty(const CIMName& name) const { return _c.findProperty(name); }
    CIMConstProperty getProperty(Uint32 index) const
    {
        const CIMClass& c = _c;
        return c.getProperty(index);
    }
    Uint32 getPropertyCount() const { return _c.getPropertyCount(); }
    Uint32 findMethod(const CIMName& name) const { return _c.findMethod(name); }
    CIMConstMethod getMethod(Uint32 index) const
    {
        const CIMClass& c = _c;
        return c.getMethod(index);
    }
    Uint32 getMethodCount() const { return _c.getMethodCount(); }
    void getKeyNames(Array<CIMName>& keyNames) const { _c.getKeyNames(keyNames); }
    Boolean hasKeys() const { return _c.hasKeys(); }
    CIMInstance buildInstance(Boolean includeQualifiers, Boolean includeClassOrigin,
        const CIMPropertyList& propertyList) const
    {
        return _c.buildInstance(includeQualifiers, includeClassOrigin, propertyList);
    }
    CIMClass clone() const { return _c.clone(); }
    Boolean identical(const CIMConstClass& x) const { return _c.identical(x); }
    Boolean isUninitialized() const { return _c.isUninitialized(); }

private:
    friend class CIMClass;
    CIMClass _c;
};

} // namespace Pegasus

#endif
