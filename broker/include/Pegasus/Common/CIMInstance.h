//%/////////////////////////////////////////////////////////////////////////////
// CIMInstance.h: an instance of a CIM class: its path and its properties.
//
// Handle semantics: copies share one representation (clone() deep-copies), so
// `inst.getProperty(i).setValue(v)` changes the instance in place, and an
// instance handed on is the same object unless it was cloned.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_CIMInstance_h
#define Pegasus_CIMInstance_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMQualifier.h>

#include <memory>

namespace Pegasus {

class CIMConstClass;
class CIMConstInstance;
class CIMPropertyList;

class CIMInstance
{
public:
    /// Uninitialized; members other than assignment throw UninitializedObjectException.
    CIMInstance();
    CIMInstance(const CIMInstance& x) = default;
    CIMInstance(CIMInstance&& x) noexcept = default;
    /** Path (host "", null namespace, className, no keys). Throws
        UninitializedObjectException for a null class name. */
    CIMInstance(const CIMName& className);
    ~CIMInstance();
    CIMInstance& operator=(const CIMInstance& x) = default;
    CIMInstance& operator=(CIMInstance&& x) noexcept = default;

    /// The class name held in the path.
    const CIMName& getClassName() const;
    const CIMObjectPath& getPath() const;
    /** Throws UninitializedObjectException when the path has no class name
        and TypeMismatchException when it names another class. */
    void setPath(const CIMObjectPath& path);

    CIMInstance& addQualifier(const CIMQualifier& qualifier);
    Uint32 findQualifier(const CIMName& name) const;
    CIMQualifier getQualifier(Uint32 index);
    CIMConstQualifier getQualifier(Uint32 index) const;
    void removeQualifier(Uint32 index);
    Uint32 getQualifierCount() const;

    /** Appends, keeping insertion order. Throws AlreadyExistsException for a
        second property of the same name (ignoring case). */
    CIMInstance& addProperty(const CIMProperty& x);
    /// Case-insensitive; PEG_NOT_FOUND when absent.
    Uint32 findProperty(const CIMName& name) const;
    /// The property itself (shared), not a copy.
    CIMProperty getProperty(Uint32 index);
    CIMConstProperty getProperty(Uint32 index) const;
    void removeProperty(Uint32 index);
    Uint32 getPropertyCount() const;

    /** (host "", null namespace, class name, one binding per property the
        class marks Key, sorted). Throws NoSuchProperty when the instance lacks
        a key property. Does not change the instance's own path. */
    CIMObjectPath buildPath(const CIMConstClass& cimClass) const;

    Boolean identical(const CIMConstInstance& x) const;
    CIMInstance clone() const;
    Boolean isUninitialized() const { return !_rep; }

    /** Drops the properties a non-null list does not name, the qualifiers
        unless includeQualifiers, and class origins unless includeClassOrigin. */
    void instanceFilter(Boolean includeQualifiers, Boolean includeClassOrigin,
        const CIMPropertyList& propertyList);
    /// Kept for source compatibility; does nothing.
    void filter(Boolean includeQualifiers, Boolean includeClassOrigin,
        const CIMPropertyList& propertyList);

    struct Rep;

private:
    friend class CIMConstInstance;
    Rep& _checked() const;
    std::shared_ptr<Rep> _rep;
};

/// Read-only view of an instance; shares the representation it was made from.
class CIMConstInstance
{
public:
    CIMConstInstance() = default;
    CIMConstInstance(const CIMConstInstance& x) = default;
    CIMConstInstance(const CIMInstance& x) : _i(x) {}
    CIMConstInstance(const CIMName& className) : _i(className) {}
    CIMConstInstance& operator=(const CIMConstInstance& x) = default;
    CIMConstInstance& operator=(const CIMInstance& x) { _i = x; return *this; }

    const CIMName& getClassName() const { return _i.getClassName(); }
    const CIMObjectPath& getPath() const { return _i.getPath(); }
    Uint32 findQualifier(const CIMName& name) const { return _i.findQualifier(name); }
    CIMConstQualifier getQualifier(Uint32 index) const
    {
        const CIMInstance& i = _i;
        return i.getQualifier(index);
    }
    Uint32 getQualifierCount() const { return _i.getQualifierCount(); }
    Uint32 findProperty(const CIMName& name) const { return _i.findProperty(name); }
    CIMConstProperty getProperty(Uint32 index) const
    {
        const CIMInstance& i = _i;
        return i.getProperty(index);
    }
    Uint32 getPropertyCount() const { return _i.getPropertyCount(); }
    CIMObjectPath buildPath(const CIMConstClass& cimClass) const { return _i.buildPath(cimClass); }
    Boolean identical(const CIMConstInstance& x) const { return _i.identical(x); }
    CIMInstance clone() const { return _i.clone(); }
    Boolean isUninitialized() const { return _i.isUninitialized(); }

private:
    friend class CIMInstance;
    CIMInstance _i;
};

} // namespace Pegasus

#endif
