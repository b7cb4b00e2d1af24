//%/////////////////////////////////////////////////////////////////////////////
// CIMProperty.h: a named value of an instance or class.
//
// Handle semantics: copies share one representation, so a property taken from
// an instance with getProperty() and changed with setValue() changes that
// instance. clone() is the only deep copy. The value's type is fixed when the
// property is made: setValue() with another type throws.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_CIMProperty_h
#define Pegasus_CIMProperty_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/CIMQualifier.h>

#include <memory>

namespace Pegasus {

class CIMConstProperty;

class CIMProperty
{
public:
    /// Uninitialized; members other than assignment throw UninitializedObjectException.
    CIMProperty();
    CIMProperty(const CIMProperty& x) = default;
    CIMProperty(CIMProperty&& x) noexcept = default;
    /** Throws UninitializedObjectException for a null name, and
        TypeMismatchException when arraySize is non-zero and the value is not
        an array of that size, when the value is an array of references, or
        when a reference class is given for a value that is not a reference. */
    CIMProperty(const CIMName& name, const CIMValue& value, Uint32 arraySize = 0,
        const CIMName& referenceClassName = CIMName(), const CIMName& classOrigin = CIMName(),
        Boolean propagated = false);
    ~CIMProperty();
    CIMProperty& operator=(const CIMProperty& x) = default;
    CIMProperty& operator=(CIMProperty&& x) noexcept = default;

    const CIMName& getName() const;
    /// Throws AlreadyExistsException when the property sits in an instance or class.
    void setName(const CIMName& name);
    const CIMValue& getValue() const;
    CIMType getType() const;
    Boolean isArray() const;
    /// Throws TypeMismatchException unless value is typeCompatible with the current value.
    void setValue(const CIMValue& value);
    Uint32 getArraySize() const;
    const CIMName& getReferenceClassName() const;
    const CIMName& getClassOrigin() const;
    void setClassOrigin(const CIMName& classOrigin);
    Boolean getPropagated() const;
    void setPropagated(Boolean propagated);

    /// Throws AlreadyExistsException for a second qualifier of the same name.
    CIMProperty& addQualifier(const CIMQualifier& x);
    Uint32 findQualifier(const CIMName& name) const;
    CIMQualifier getQualifier(Uint32 index);
    CIMConstQualifier getQualifier(Uint32 index) const;
    void removeQualifier(Uint32 index);
    Uint32 getQualifierCount() const;

    /// Name (ignoring case), value, reference class, qualifiers, origin and propagation.
    Boolean identical(const CIMConstProperty& x) const;
    CIMProperty clone() const;
    Boolean isUninitialized() const { return !_rep; }

    struct Rep;

private:
    friend class CIMConstProperty;
    friend struct PropertyAccess;
    Rep& _checked() const;
    std::shared_ptr<Rep> _rep;
};

/// Read-only view of a property; shares the representation it was made from.
class CIMConstProperty
{
public:
    CIMConstProperty() = default;
    CIMConstProperty(const CIMConstProperty& x) = default;
    CIMConstProperty(const CIMProperty& x) : _p(x) {}
    CIMConstProperty(const CIMName& name, const CIMValue& value, Uint32 arraySize = 0,
        const CIMName& referenceClassName = CIMName(), const CIMName& classOrigin = CIMName(),
        Boolean propagated = false)
        : _p(name, value, arraySize, referenceClassName, classOrigin, propagated) {}
    CIMConstProperty& operator=(const CIMConstProperty& x) = default;
    CIMConstProperty& operator=(const CIMProperty& x) { _p = x; return *this; }

    const CIMName& getName() const { return _p.getName(); }
    const CIMValue& getValue() const { return _p.getValue(); }
    CIMType getType() const { return _p.getType(); }
    Boolean isArray() const { return _p.isArray(); }
    Uint32 getArraySize() const { return _p.getArraySize(); }
    const CIMName& getReferenceClassName() const { return _p.getReferenceClassName(); }
    const CIMName& getClassOrigin() const { return _p.getClassOrigin(); }
    Boolean getPropagated() const { return _p.getPropagated(); }
    Uint32 findQualifier(const CIMName& name) const { return _p.findQualifier(name); }
    CIMConstQualifier getQualifier(Uint32 index) const
    {
        const CIMProperty& p = _p;
        return p.getQualifier(index);
    }
    Uint32 getQualifierCount() const { return _p.getQualifierCount(); }
    Boolean identical(const CIMConstProperty& x) const { return _p.identical(x); }
    CIMProperty clone() const { return _p.clone(); }
    Boolean isUninitialized() const { return _p.isUninitialized(); }

private:
    friend class CIMProperty;
    CIMProperty _p;
};

} // namespace Pegasus

#endif
